// NAL unit header fields and the unit types the decoder tells apart.
#ifndef ORVEX_DECLIB_NAL_UNIT_H
#define ORVEX_DECLIB_NAL_UNIT_H

#include <cstdint>

namespace OrvexIPP::Detail {

inline constexpr uint32_t kNalSlice = 1;
inline constexpr uint32_t kNalSlicePartitionA = 2;
inline constexpr uint32_t kNalSlicePartitionB = 3;
inline constexpr uint32_t kNalSlicePartitionC = 4;
inline constexpr uint32_t kNalIdrSlice = 5;
inline constexpr uint32_t kNalSei = 6;
inline constexpr uint32_t kNalSps = 7;
inline constexpr uint32_t kNalPps = 8;
inline constexpr uint32_t kNalAccessUnitDelimiter = 9;
inline constexpr uint32_t kNalEndOfSequence = 10;
inline constexpr uint32_t kNalEndOfStream = 11;
inline constexpr uint32_t kNalFiller = 12;

inline uint32_t NalType(uint8_t header)
{
    return header & 0x1Fu;
}
inline uint32_t NalRefIdc(uint8_t header)
{
    return (header >> 5) & 3u;
}
inline bool ForbiddenBitSet(uint8_t header)
{
    return (header & 0x80u) != 0;
}

// Slice units that begin a coded picture's data.
inline bool IsSliceStart(uint32_t type)
{
    return type == kNalSlice || type == kNalIdrSlice || type == kNalSlicePartitionA;
}

} // namespace OrvexIPP::Detail

#endif

// The texts the H.264 syntax layer throws when it refuses a parameter set or
// a configuration record. A refusal is thrown as the text itself (a pointer
// to one of these constants), so callers catch `const char *`.
#pragma once

namespace MyH264Refusal {

// Bit reader
inline constexpr const char kOutOfData[] = "H.264 syntax ends before its fields";
inline constexpr const char kExpGolombTooLong[] = "Exp-Golomb code longer than 32 bits";
inline constexpr const char kBitCount[] = "more than 32 bits asked of the bit reader";

// Sequence parameter set
inline constexpr const char kProfile[] = "m_profile_idc is neither Baseline nor Main profile";
inline constexpr const char kSpsId[] = "31 < seq_parameter_set_id";
inline constexpr const char kLog2MaxFrameNum[] = "12 < m_log2_max_frame_num_minus4";
inline constexpr const char kFrameMbsOnly[] = "!m_frame_mbs_only_flag";
inline constexpr const char kPictureTooLarge[] = "picture larger than any H.264 level allows";
inline constexpr const char kCropTooLarge[] = "frame cropping leaves no picture";
inline constexpr const char kEmptyNalUnit[] = "parameter set has no payload";

// Picture parameter set
inline constexpr const char kPpsId[] = "255 < m_pic_parameter_set_id";
inline constexpr const char kPpsSpsId[] = "31 < m_seq_parameter_set_id";
inline constexpr const char kCabac[] = "m_entropy_coding_mode_flag CABAC";

// AVC configuration record
inline constexpr const char kAtomFormat[] = "atomFormat != kAVCConfigurationAtom";
inline constexpr const char kAtomSize[] = "atomSize < kMinimumSizeOfAVCConfigurationAtom";
inline constexpr const char kVersion[] = "1 != pAVCCAtom->configurationVersion";
inline constexpr const char kLengthSizeReserved[] = "0xFC != (pAVCCAtom->lengthSizeMinusOne & 0xFC)";
inline constexpr const char kSpsCountReserved[] = "0xE0 != (pAVCCAtom->numOfSequenseParameterSets & 0xE0";
inline constexpr const char kSpsCount[] = "1 != nSPSs";
inline constexpr const char kPpsCount[] = "1 != nPPSs";
inline constexpr const char kSpsIdMismatch[] = "SPSId != SPSIdOfPPS";
inline constexpr const char kRecordTruncated[] = "avcC record runs past its sample description";

} // namespace MyH264Refusal

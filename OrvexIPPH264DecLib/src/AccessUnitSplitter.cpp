#include "AccessUnitSplitter.h"

#include "NalUnit.h"

namespace OrvexIPP::Detail {

UnitRole AccessUnitSplitter::Boundary(bool isPicture)
{
    const UnitRole role = m_hasPicture ? UnitRole::StartsNext : UnitRole::Append;
    if (role == UnitRole::StartsNext) m_hasPicture = false;
    if (isPicture) m_hasPicture = true;
    return role;
}

UnitInfo AccessUnitSplitter::Classify(const uint8_t *nal, size_t size, ParameterSetTable &sets)
{
    UnitInfo info;
    if (size == 0) return info; // Skip
    info.type = NalType(nal[0]);
    if (ForbiddenBitSet(nal[0])) {
        info.role = UnitRole::Corrupt;
        return info;
    }

    switch (info.type) {
    case kNalSlice:
    case kNalIdrSlice:
    case kNalSlicePartitionA: {
        const auto slice = ParseSliceHeader(nal, size, sets);
        if (!slice) {
            info.role = UnitRole::Corrupt;
            return info;
        }
        const bool newPicture = !m_hasPicture || StartsNewPicture(m_lastSlice, *slice);
        if (slice->redundant_pic_cnt == 0) m_lastSlice = *slice;
        if (newPicture) {
            info.role = Boundary(true);
        } else {
            info.role = UnitRole::Append;
        }
        return info;
    }
    case kNalSps: {
        const auto sps = ParseSequenceParameterSet(nal, size);
        if (!sps) {
            info.role = UnitRole::Corrupt;
            return info;
        }
        sets.Store(*sps);
        info.parameterSetId = sps->seq_parameter_set_id;
        info.role = Boundary(false);
        return info;
    }
    case kNalPps: {
        const auto pps = ParsePictureParameterSet(nal, size);
        if (!pps) {
            info.role = UnitRole::Corrupt;
            return info;
        }
        sets.Store(*pps);
        info.parameterSetId = pps->pic_parameter_set_id;
        info.role = Boundary(false);
        return info;
    }
    case kNalSei:
    case kNalAccessUnitDelimiter:
    case 14:
    case 15:
    case 16:
    case 17:
    case 18: // prefix, subset SPS, reserved
        info.role = Boundary(false);
        return info;
    default:
        // Partitions B and C, end of sequence or stream, filler, extensions
        // and unspecified types stay with the picture before them.
        info.role = UnitRole::Append;
        return info;
    }
}

} // namespace OrvexIPP::Detail

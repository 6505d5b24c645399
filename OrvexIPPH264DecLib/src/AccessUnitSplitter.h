// Finds where access units end in a sequence of NAL units, one unit at a
// time, without looking ahead: the first unit of the next access unit is
// recognised when it arrives.
#ifndef ORVEX_DECLIB_ACCESS_UNIT_SPLITTER_H
#define ORVEX_DECLIB_ACCESS_UNIT_SPLITTER_H

#include "ParameterSets.h"
#include "SliceHeader.h"

#include <cstddef>
#include <cstdint>

namespace OrvexIPP::Detail {

enum class UnitRole {
    Append,     // belongs to the access unit being gathered
    StartsNext, // ends the access unit being gathered and starts the next one
    Skip,       // carries nothing (an empty unit)
    Corrupt,    // cannot be right; it is dropped
};

struct UnitInfo {
    UnitRole role = UnitRole::Skip;
    uint32_t type = 0;
    uint32_t parameterSetId = 0; // of an SPS or PPS unit
};

class AccessUnitSplitter {
public:
    // Looks at the unit just read and moves on past it. SPS and PPS units
    // that parse are stored in sets, so later slices can be read.
    UnitInfo Classify(const uint8_t *nal, size_t size, ParameterSetTable &sets);

    // Whether the access unit being gathered holds a coded picture.
    bool HasPicture() const { return m_hasPicture; }
    // Starts gathering from nothing (after a reset or a drain).
    void Restart() { m_hasPicture = false; }

private:
    UnitRole Boundary(bool isPicture);

    bool m_hasPicture = false;
    SliceHeader m_lastSlice;
};

} // namespace OrvexIPP::Detail

#endif

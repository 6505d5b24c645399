// The bytes of the latest SPS and PPS units by id, so that a decoder that
// has dropped its state can be given them again before the next picture.
#ifndef ORVEX_DECLIB_PARAMETER_SET_STORE_H
#define ORVEX_DECLIB_PARAMETER_SET_STORE_H

#include "AccessUnitBuffer.h"
#include "ParameterSets.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace OrvexIPP::Detail {

class ParameterSetStore {
public:
    void KeepSps(uint32_t id, const uint8_t *nal, size_t size);
    void KeepPps(uint32_t id, const uint8_t *nal, size_t size);
    // Appends every kept SPS, then every kept PPS, as units. False when the
    // buffer refuses one.
    bool AppendTo(AccessUnitBuffer &units) const;
    bool Empty() const;
    void Clear();

private:
    std::array<std::vector<uint8_t>, kMaxSpsCount> m_sps;
    std::array<std::vector<uint8_t>, kMaxPpsCount> m_pps;
};

} // namespace OrvexIPP::Detail

#endif

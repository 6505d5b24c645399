#include "ParameterSetStore.h"

#include <cstring>

namespace OrvexIPP::Detail {

void ParameterSetStore::KeepSps(uint32_t id, const uint8_t *nal, size_t size)
{
    if (id < kMaxSpsCount) m_sps[id].assign(nal, nal + size);
}

void ParameterSetStore::KeepPps(uint32_t id, const uint8_t *nal, size_t size)
{
    if (id < kMaxPpsCount) m_pps[id].assign(nal, nal + size);
}

bool ParameterSetStore::AppendTo(AccessUnitBuffer &units) const
{
    auto append = [&units](const std::vector<uint8_t> &nal) {
        if (nal.empty()) return true;
        uint8_t *dst = units.AppendUnit(nal.size());
        if (!dst) return false;
        std::memcpy(dst, nal.data(), nal.size());
        return true;
    };
    for (const auto &sps : m_sps)
        if (!append(sps)) return false;
    for (const auto &pps : m_pps)
        if (!append(pps)) return false;
    return true;
}

bool ParameterSetStore::Empty() const
{
    for (const auto &sps : m_sps)
        if (!sps.empty()) return false;
    for (const auto &pps : m_pps)
        if (!pps.empty()) return false;
    return true;
}

void ParameterSetStore::Clear()
{
    for (auto &sps : m_sps)
        sps.clear();
    for (auto &pps : m_pps)
        pps.clear();
}

} // namespace OrvexIPP::Detail

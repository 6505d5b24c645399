// NAL units behind 4-byte big-endian lengths, as the parser delivers them.
#ifndef ORVEX_TESTS_DECODER_LENGTH_PREFIXED_H
#define ORVEX_TESTS_DECODER_LENGTH_PREFIXED_H

#include <cstdint>
#include <vector>

namespace wrapper_test {

inline std::vector<uint8_t> LengthPrefixed(const std::vector<std::vector<uint8_t>> &units)
{
    std::vector<uint8_t> bytes;
    for (const auto &unit : units) {
        const auto n = static_cast<uint32_t>(unit.size());
        bytes.insert(bytes.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
        bytes.insert(bytes.end(), unit.begin(), unit.end());
    }
    return bytes;
}

} // namespace wrapper_test

#endif

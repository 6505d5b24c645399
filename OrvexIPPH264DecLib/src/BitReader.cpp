#include "BitReader.h"

namespace OrvexIPP::Detail {

void UnescapeRbsp(const uint8_t *payload, size_t size, size_t maxBytes, std::vector<uint8_t> &rbsp)
{
    rbsp.clear();
    rbsp.reserve(size < maxBytes ? size : maxBytes);
    unsigned zeros = 0;
    for (size_t i = 0; i < size && rbsp.size() < maxBytes; ++i) {
        const uint8_t b = payload[i];
        if (zeros >= 2 && b == 3) {
            zeros = 0;
            continue;
        }
        zeros = b == 0 ? zeros + 1 : 0;
        rbsp.push_back(b);
    }
}

uint32_t BitReader::U(unsigned count)
{
    if (m_failed || count > 32 || m_bits - m_pos < count) {
        m_failed = true;
        return 0;
    }
    uint32_t value = 0;
    for (unsigned i = 0; i < count; ++i, ++m_pos)
        value = (value << 1) | ((m_data[m_pos >> 3] >> (7 - (m_pos & 7))) & 1u);
    return value;
}

uint32_t BitReader::Ue()
{
    unsigned leadingZeros = 0;
    while (!m_failed && U(1) == 0) {
        // 32 leading zeros would give a value beyond 32 bits.
        if (++leadingZeros == 32) {
            m_failed = true;
            return 0;
        }
    }
    if (m_failed) return 0;
    const uint64_t value = (uint64_t{1} << leadingZeros) - 1 + U(leadingZeros);
    return m_failed ? 0 : static_cast<uint32_t>(value);
}

int32_t BitReader::Se()
{
    const uint32_t k = Ue();
    // k = 2|v| - (v > 0): odd codes are positive.
    const int64_t magnitude = (int64_t{k} + 1) / 2;
    return static_cast<int32_t>((k & 1) ? magnitude : -magnitude);
}

void BitReader::Skip(size_t count)
{
    if (m_failed || m_bits - m_pos < count) {
        m_failed = true;
        return;
    }
    m_pos += count;
}

} // namespace OrvexIPP::Detail

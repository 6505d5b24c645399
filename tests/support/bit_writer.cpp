#include "support/bit_writer.h"

#include <climits>
#include <stdexcept>

namespace orvex::test {

void BitWriter::putBit(unsigned bit)
{
    if (m_bitCount % 8 == 0) m_bytes.push_back(0);
    if (bit) m_bytes.back() |= static_cast<uint8_t>(0x80u >> (m_bitCount % 8));
    ++m_bitCount;
}

BitWriter &BitWriter::bits(uint32_t value, unsigned n)
{
    if (n > 32) throw std::invalid_argument("BitWriter::bits: more than 32 bits");
    for (unsigned i = n; i > 0; --i)
        putBit((value >> (i - 1)) & 1u);
    return *this;
}

BitWriter &BitWriter::ue(uint32_t value)
{
    if (value == 0xFFFFFFFFu) throw std::invalid_argument("BitWriter::ue: value does not fit");
    const uint64_t codeNum = uint64_t{value} + 1;
    unsigned length = 0;
    while ((codeNum >> (length + 1)) != 0)
        ++length;
    zeros(length);
    for (unsigned i = length + 1; i > 0; --i)
        putBit(static_cast<unsigned>((codeNum >> (i - 1)) & 1u));
    return *this;
}

BitWriter &BitWriter::se(int32_t value)
{
    if (value == INT32_MIN) throw std::invalid_argument("BitWriter::se: value does not fit");
    const int64_t v = value;
    return ue(static_cast<uint32_t>(v > 0 ? 2 * v - 1 : -2 * v));
}

BitWriter &BitWriter::zeros(unsigned n)
{
    for (unsigned i = 0; i < n; ++i)
        putBit(0);
    return *this;
}

BitWriter &BitWriter::trailingBits()
{
    putBit(1);
    while (m_bitCount % 8 != 0)
        putBit(0);
    return *this;
}

std::vector<uint8_t> addEmulationPrevention(const std::vector<uint8_t> &rbsp)
{
    std::vector<uint8_t> out;
    unsigned zeroRun = 0;
    for (uint8_t b : rbsp) {
        if (zeroRun >= 2 && b <= 0x03) {
            out.push_back(0x03);
            zeroRun = 0;
        }
        out.push_back(b);
        zeroRun = b == 0 ? zeroRun + 1 : 0;
    }
    return out;
}

std::vector<uint8_t> makeNalUnit(uint8_t header, const std::vector<uint8_t> &rbsp)
{
    std::vector<uint8_t> nal{header};
    const std::vector<uint8_t> payload = addEmulationPrevention(rbsp);
    nal.insert(nal.end(), payload.begin(), payload.end());
    return nal;
}

} // namespace orvex::test

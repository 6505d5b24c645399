// Writes H.264-style bit strings for tests: fixed-width fields and
// Exp-Golomb codes, most significant bit first, so a test can build a
// parameter set from the values of its fields instead of opaque hex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvex::test {

class BitWriter {
public:
    // u(n): the low n bits of value (n from 0 to 32).
    BitWriter &bits(uint32_t value, unsigned n);
    // u(1)
    BitWriter &flag(bool value) { return bits(value ? 1 : 0, 1); }
    // ue(v), for values up to 2^32 - 2.
    BitWriter &ue(uint32_t value);
    // se(v), for values from -(2^31 - 1) to 2^31 - 1.
    BitWriter &se(int32_t value);
    // A raw run of n zero bits (to build over-long Exp-Golomb codes).
    BitWriter &zeros(unsigned n);
    // rbsp_trailing_bits: a one bit, then zero bits to the byte boundary.
    BitWriter &trailingBits();

    size_t bitCount() const { return m_bitCount; }
    // The bytes written; a last partial byte is padded with zero bits.
    std::vector<uint8_t> bytes() const { return m_bytes; }

private:
    void putBit(unsigned bit);
    std::vector<uint8_t> m_bytes;
    size_t m_bitCount = 0;
};

// Inserts an emulation-prevention byte 0x03 wherever two zero bytes are
// followed by a byte of 0x00 to 0x03, as an encoder does.
std::vector<uint8_t> addEmulationPrevention(const std::vector<uint8_t> &rbsp);

// A NAL unit: the header byte followed by the escaped payload.
std::vector<uint8_t> makeNalUnit(uint8_t header, const std::vector<uint8_t> &rbsp);

} // namespace orvex::test

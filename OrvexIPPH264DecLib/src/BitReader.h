// Bounded reader of an H.264 RBSP: fixed-width and Exp-Golomb fields.
#ifndef ORVEX_DECLIB_BIT_READER_H
#define ORVEX_DECLIB_BIT_READER_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace OrvexIPP::Detail {

// Copies up to maxBytes of a NAL unit's payload (the bytes after the NAL
// header) into rbsp, removing the emulation prevention bytes (00 00 03).
void UnescapeRbsp(const uint8_t *payload, size_t size, size_t maxBytes, std::vector<uint8_t> &rbsp);

// Every read checks the end: reading past it sets the failed flag and yields
// 0, so a parser can read a whole structure and look at Failed() once.
class BitReader {
public:
    BitReader(const uint8_t *data, size_t size) : m_data(data), m_bits(size * 8) {}

    uint32_t U(unsigned count); // u(n), n <= 32
    bool Flag() { return U(1) != 0; }
    uint32_t Ue(); // ue(v), up to 2^32 - 2
    int32_t Se();  // se(v)
    void Skip(size_t count);
    // Marks the data as unusable: a value read was out of its range.
    void Fail() { m_failed = true; }

    bool Failed() const { return m_failed; }
    size_t BitsLeft() const { return m_failed ? 0 : m_bits - m_pos; }

private:
    const uint8_t *m_data;
    size_t m_bits;
    size_t m_pos = 0;
    bool m_failed = false;
};

} // namespace OrvexIPP::Detail

#endif

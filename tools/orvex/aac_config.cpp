#include "aac_config.h"

#include <string>

namespace orvex {

namespace {

// A view that never reads past its end.
class ByteView {
public:
    ByteView(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    size_t left() const { return m_size - m_pos; }
    uint8_t byte()
    {
        need(1);
        return m_data[m_pos++];
    }
    void skip(size_t n)
    {
        need(n);
        m_pos += n;
    }
    // A descriptor's tag and length (up to four 7-bit length bytes); the
    // returned view is its body, bounded by this one.
    ByteView descriptor(uint8_t &tag)
    {
        tag = byte();
        size_t length = 0;
        for (int i = 0; i < 4; ++i) {
            const uint8_t b = byte();
            length = (length << 7) | (b & 0x7f);
            if (!(b & 0x80)) break;
            if (i == 3) throw AacConfigError("the 'esds' has a descriptor length of more than four bytes");
        }
        need(length);
        ByteView body(m_data + m_pos, length);
        m_pos += length;
        return body;
    }
    const uint8_t *here() const { return m_data + m_pos; }

private:
    void need(size_t n) const
    {
        if (n > left()) throw AacConfigError("the 'esds' ends inside a descriptor");
    }
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

class BitView {
public:
    BitView(const uint8_t *data, size_t size) : m_data(data), m_bits(size * 8) {}
    unsigned bits(unsigned n)
    {
        if (m_pos + n > m_bits) throw AacConfigError("the AudioSpecificConfig is truncated");
        unsigned v = 0;
        for (unsigned i = 0; i < n; ++i, ++m_pos)
            v = (v << 1) | ((m_data[m_pos / 8] >> (7 - m_pos % 8)) & 1);
        return v;
    }

private:
    const uint8_t *m_data;
    size_t m_bits;
    size_t m_pos = 0;
};

unsigned objectType(BitView &bits)
{
    const unsigned type = bits.bits(5);
    return type == 31 ? 32 + bits.bits(6) : type;
}

unsigned frequencyIndex(BitView &bits)
{
    static const unsigned kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                      22050, 16000, 12000, 11025, 8000,  7350};
    const unsigned index = bits.bits(4);
    if (index < 13) return index;
    if (index != 15) throw AacConfigError("the AudioSpecificConfig has a reserved sampling frequency index");
    const unsigned rate = bits.bits(24);
    for (unsigned i = 0; i < 13; ++i)
        if (kRates[i] == rate) return i;
    throw AacConfigError("a sample rate of " + std::to_string(rate) + " Hz cannot be written as ADTS");
}

AacConfig parseAudioSpecificConfig(const uint8_t *data, size_t size)
{
    BitView bits(data, size);
    AacConfig c;
    c.objectType = objectType(bits);
    c.frequencyIndex = frequencyIndex(bits);
    c.channelConfig = bits.bits(4);
    // Explicit HE-AAC signalling: the core's type follows the extension rate.
    if (c.objectType == 5 || c.objectType == 29) {
        frequencyIndex(bits);
        c.objectType = objectType(bits);
    }
    if (c.objectType < 1 || c.objectType > 4)
        throw AacConfigError("AAC object type " + std::to_string(c.objectType) + " cannot be written as ADTS");
    if (c.channelConfig < 1 || c.channelConfig > 7)
        throw AacConfigError("AAC channel configuration " + std::to_string(c.channelConfig) +
                             " cannot be written as ADTS");
    return c;
}

} // namespace

AacConfig parseEsdsConfig(const uint8_t *data, size_t size)
{
    ByteView esds(data, size);
    uint8_t tag = 0;
    ByteView es = esds.descriptor(tag);
    if (tag != 0x03) throw AacConfigError("the 'esds' does not start with an ES descriptor");
    es.skip(2); // ES_ID
    const uint8_t flags = es.byte();
    if (flags & 0x80) es.skip(2);         // dependsOn_ES_ID
    if (flags & 0x40) es.skip(es.byte()); // URL
    if (flags & 0x20) es.skip(2);         // OCR_ES_Id
    while (es.left()) {
        ByteView child = es.descriptor(tag);
        if (tag != 0x04) continue;
        child.skip(13); // object type, stream type, buffer size, bit rates
        while (child.left()) {
            ByteView info = child.descriptor(tag);
            if (tag == 0x05) return parseAudioSpecificConfig(info.here(), info.left());
        }
        break;
    }
    throw AacConfigError("the 'esds' has no AudioSpecificConfig");
}

void adtsHeader(const AacConfig &c, size_t payloadSize, uint8_t h[7])
{
    const size_t length = payloadSize + 7;
    if (length > 0x1fff)
        throw AacConfigError("an AAC frame of " + std::to_string(payloadSize) +
                             " bytes is too large for an ADTS header");
    h[0] = 0xff;
    h[1] = 0xf1; // MPEG-4, layer 0, no CRC
    h[2] = uint8_t(((c.objectType - 1) << 6) | (c.frequencyIndex << 2) | (c.channelConfig >> 2));
    h[3] = uint8_t(((c.channelConfig & 3) << 6) | (length >> 11));
    h[4] = uint8_t(length >> 3);
    h[5] = uint8_t(((length & 7) << 5) | 0x1f); // buffer fullness 0x7ff: variable rate
    h[6] = 0xfc;                                // one raw data block
}

} // namespace orvex

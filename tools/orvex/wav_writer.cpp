#include "wav_writer.h"

#include <cstring>
#include <limits>
#include <vector>

namespace orvex {

namespace {

void put32(std::vector<uint8_t> &b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

void put16(std::vector<uint8_t> &b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

} // namespace

WavWriter::WavWriter(const std::string &path, const WAVEFORMATEX *format, size_t formatSize) : m_file(path)
{
    if (!format || formatSize < 16) throw OutputError("cannot write " + path + ": the sound has no wave format");
    const bool extensible = format->wFormatTag == WAVE_FORMAT_EXTENSIBLE;
    if (format->wFormatTag != WAVE_FORMAT_PCM && !extensible)
        throw OutputError("cannot write " + path + ": .wav takes PCM sound");
    if (format->nChannels == 0 || format->nBlockAlign == 0)
        throw OutputError("cannot write " + path + ": the wave format has no channels or block size");
    // Plain PCM keeps the classic 16-byte chunk; an extensible format keeps
    // its extra bytes, as far as the block holds them.
    size_t extra = 0;
    if (extensible && formatSize >= sizeof(WAVEFORMATEX))
        extra = std::min<size_t>(format->cbSize, formatSize - sizeof(WAVEFORMATEX));
    std::vector<uint8_t> h;
    h.insert(h.end(), {'R', 'I', 'F', 'F'});
    put32(h, 0);
    h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(h, uint32_t(extensible ? 18 + extra : 16));
    put16(h, format->wFormatTag);
    put16(h, format->nChannels);
    put32(h, format->nSamplesPerSec);
    put32(h, format->nAvgBytesPerSec);
    put16(h, format->nBlockAlign);
    put16(h, format->wBitsPerSample);
    if (extensible) {
        put16(h, uint16_t(extra));
        const auto *bytes = reinterpret_cast<const uint8_t *>(format) + sizeof(WAVEFORMATEX);
        h.insert(h.end(), bytes, bytes + extra);
    }
    h.insert(h.end(), {'d', 'a', 't', 'a'});
    put32(h, 0);
    m_file.write(h.data(), h.size());
    m_dataOffset = h.size();
}

void WavWriter::writeSample(const uint8_t *data, size_t size)
{
    // RIFF sizes are 32-bit: refuse to grow past what the header can say.
    if (m_file.size() + size + 8 > std::numeric_limits<uint32_t>::max())
        throw OutputError("cannot write " + m_file.path() + ": the sound exceeds the 4 GB a WAV file can hold");
    m_file.write(data, size);
}

void WavWriter::finish()
{
    const uint64_t dataSize = m_file.size() - m_dataOffset;
    if (dataSize & 1) {
        const uint8_t pad = 0;
        m_file.write(&pad, 1);
    }
    uint8_t field[4];
    auto set32 = [&field](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            field[i] = uint8_t(v >> (8 * i));
    };
    set32(uint32_t(m_file.size() - 8));
    m_file.writeAt(4, field, 4);
    set32(uint32_t(dataSize));
    m_file.writeAt(m_dataOffset - 4, field, 4);
    m_file.commit();
}

} // namespace orvex

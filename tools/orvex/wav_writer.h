// RIFF WAVE output of PCM samples; the format chunk is the sound's
// WAVEFORMATEX, the sizes are filled in by finish().
#pragma once

#include "audio_sink.h"
#include "output_file.h"

#include <mmreg.h>

#include <string>

namespace orvex {

class WavWriter : public AudioSink {
public:
    // format and its cbSize extra bytes (formatSize in all); throws
    // OutputError for a format that is not PCM.
    WavWriter(const std::string &path, const WAVEFORMATEX *format, size_t formatSize);
    void writeSample(const uint8_t *data, size_t size) override;
    void finish() override;

private:
    OutputFile m_file;
    uint64_t m_dataOffset = 0;
};

} // namespace orvex

// ADTS output: each raw AAC frame from the parser behind a 7-byte header
// built from the track's AudioSpecificConfig.
#pragma once

#include "aac_config.h"
#include "audio_sink.h"
#include "output_file.h"

#include <string>

namespace orvex {

class AdtsWriter : public AudioSink {
public:
    // config: the parser's AAC format block (header, then the 'esds' bytes);
    // throws OutputError for a block that cannot give an ADTS header.
    AdtsWriter(const std::string &path, const uint8_t *formatBlock, size_t formatSize);
    void writeSample(const uint8_t *data, size_t size) override;
    void finish() override;

private:
    OutputFile m_file;
    AacConfig m_config;
};

} // namespace orvex

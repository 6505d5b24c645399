// Where play sends the sound samples: bytes as the parser delivers them,
// then finish().
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvex {

class AudioSink {
public:
    virtual ~AudioSink() = default;
    virtual void writeSample(const uint8_t *data, size_t size) = 0; // throws OutputError
    virtual void finish() = 0;
};

} // namespace orvex

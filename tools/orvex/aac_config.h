// The AudioSpecificConfig of an AAC track, found in the bytes of its 'esds'
// (ES descriptor -> decoder config descriptor -> decoder specific info),
// reduced to what an ADTS header carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace orvex {

struct AacConfig {
    unsigned objectType = 0;     // 1 Main, 2 LC, 3 SSR, 4 LTP (the core of HE-AAC)
    unsigned frequencyIndex = 0; // 0..12
    unsigned channelConfig = 0;  // 1..7
};

class AacConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses the 'esds' contents after its version and flags; throws
// AacConfigError saying what is missing or cannot go into ADTS.
AacConfig parseEsdsConfig(const uint8_t *data, size_t size);

// The 7-byte ADTS header (no CRC) of one raw frame of payloadSize bytes;
// throws AacConfigError when the frame is too large for the 13-bit length.
void adtsHeader(const AacConfig &config, size_t payloadSize, uint8_t header[7]);

} // namespace orvex

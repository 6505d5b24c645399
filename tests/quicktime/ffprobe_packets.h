// Packets of one stream as the ffprobe program reports them: the reference
// the sample tables of real movies are compared with. ffprobe is looked up on
// PATH when a test runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvex::test {

struct ProbePacket {
    int64_t dts = 0; // in the stream's time base (the media time scale for a movie track)
    int64_t duration = 0;
    int64_t pos = -1; // file offset
    int64_t size = 0;
    bool key = false;
};

// The full path of a program found on PATH, or empty.
std::string findOnPath(const std::string &program);

// The packets of stream `selector` (e.g. "v:0", "a:0"); throws std::runtime_error
// if ffprobe cannot be run or reports nothing.
std::vector<ProbePacket> probePackets(const std::string &path, const std::string &selector);

} // namespace orvex::test

// Test input: an H.264 Annex B file cut into NAL units and grouped the way a
// movie file holds them: the SPS and the PPS apart, then one sample per
// picture (with the SEI or delimiter units that precede its slices).
#ifndef ORVEX_TESTS_DECODER_ANNEXB_STREAM_H
#define ORVEX_TESTS_DECODER_ANNEXB_STREAM_H

#include <cstdint>
#include <string>
#include <vector>

namespace declib_test {

using Nal = std::vector<uint8_t>;
using Sample = std::vector<Nal>;

struct AnnexBStream {
    Nal sps;
    Nal pps;
    std::vector<Sample> samples;
};

// The grouping described above; the first SPS and PPS go apart, later
// parameter sets stay in their sample.
AnnexBStream GroupSamples(const std::vector<Nal> &nals);

// A stream of tests/data/decoder by file name.
std::string StreamPath(const std::string &name);
AnnexBStream LoadStream(const std::string &name);

} // namespace declib_test

#endif

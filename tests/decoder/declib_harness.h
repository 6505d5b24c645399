// The H.264 streams of tests/data/decoder, and any Annex B file (the
// benchmark's movie), as a movie holds them: the first SPS and PPS apart,
// then one sample of NAL units per picture.
#ifndef ORVEX_TESTS_DECODER_DECLIB_HARNESS_H
#define ORVEX_TESTS_DECODER_DECLIB_HARNESS_H

#include "OrvexIPPH264DecLib.h"
#include "support/ffmpeg_reference.h"

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

std::string StreamPath(const std::string &name);
AnnexBStream LoadStream(const std::string &name);
AnnexBStream LoadAnnexB(const std::string &path);

} // namespace declib_test

#endif

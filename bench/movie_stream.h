// A movie's H.264 video as the parser delivers it to the decode filter:
// the parameter sets of its configuration record, its image description,
// and every sample's bytes (NAL units behind 4-byte big-endian lengths) with
// its time stamps. Movies are read through the QuickTime layer (sample
// offsets and sizes from the sample tables, bytes from the file).
#ifndef ORVEX_BENCH_MOVIE_STREAM_H
#define ORVEX_BENCH_MOVIE_STREAM_H

#include "MyQuickTimeAPIs/MySampleDescription.h"

#include <streams.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace wrapper_test {

struct MovieSample {
    std::vector<uint8_t> bytes;
    REFERENCE_TIME start = 0, stop = 0;
};

struct MovieStream {
    std::vector<uint8_t> sps, pps;
    std::shared_ptr<CMyImageDescription> description;
    std::vector<MovieSample> samples;

    size_t LargestSample() const;
};

// A movie under tests/data by relative path (for example "movies/baseline_sowt.mov").
std::string DataPath(const std::string &relative);

// Throws std::runtime_error when the movie has no H.264 video track.
MovieStream LoadMovie(const std::string &path);

} // namespace wrapper_test

#endif

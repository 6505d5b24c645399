// Runs the ffmpeg program as the reference for test inputs: its decoded
// pictures as raw frames. Results are kept in the build folder
// (ffmpeg-reference/) and in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvex::test {

// "ffmpeg -i FILE [-vf FILTER] -f rawvideo -pix_fmt PIXFMT": the frames cut
// into pieces of frameBytes.
const std::vector<std::vector<uint8_t>> &referenceFrames(const std::string &path, const std::string &pixFmt,
                                                         size_t frameBytes, const std::string &filter = "");

// PSNR in dB over the first `channels` bytes of each pixel of two packed
// pictures of the same pixel count; infinity when they are equal.
double packedPsnr(const std::vector<uint8_t> &a, size_t aBytesPerPixel, const std::vector<uint8_t> &b,
                  size_t bBytesPerPixel, size_t channels);
} // namespace orvex::test

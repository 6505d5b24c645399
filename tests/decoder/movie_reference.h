// What the ffmpeg program decodes from a test file's first video stream
// (sound streams of movies left out): the MD5 of every picture
// (-f framemd5) and raw converted pictures. Cached per command for the life
// of the test program.
#ifndef ORVEX_TESTS_DECODER_MOVIE_REFERENCE_H
#define ORVEX_TESTS_DECODER_MOVIE_REFERENCE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wrapper_test {

// "ffmpeg -i FILE -map 0:v:0 -f framemd5 -pix_fmt PIXFMT": one MD5 (hex) per picture.
const std::vector<std::string> &VideoMd5s(const std::string &path, const std::string &pixFmt = "yuv420p");
// "ffmpeg -i FILE -map 0:v:0 -f rawvideo -pix_fmt PIXFMT", cut into frames of frameBytes.
const std::vector<std::vector<uint8_t>> &VideoFrames(const std::string &path, const std::string &pixFmt,
                                                     size_t frameBytes);

} // namespace wrapper_test

#endif

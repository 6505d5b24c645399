// Reference output of the ffmpeg program for the test streams: the MD5 of
// every decoded picture and raw converted frames. Results are kept in the
// build folder (declib-reference/) and in memory.
#ifndef ORVEX_TESTS_DECODER_FFMPEG_REFERENCE_H
#define ORVEX_TESTS_DECODER_FFMPEG_REFERENCE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace declib_test {

// "ffmpeg -i FILE -f framemd5 -pix_fmt yuv420p": one MD5 (hex) per picture.
// A full-range stream takes yuvj420p, the same planes without a conversion
// to limited range. Throws std::runtime_error when ffmpeg fails.
const std::vector<std::string> &ReferenceMd5s(const std::string &path, const std::string &pixFmt = "yuv420p");

// "ffmpeg -i FILE [-vf FILTER] -f rawvideo -pix_fmt PIXFMT": the frames cut
// into pieces of frameBytes.
const std::vector<std::vector<uint8_t>> &ReferenceFrames(const std::string &path, const std::string &pixFmt,
                                                         size_t frameBytes, const std::string &filter = "");

// "ffprobe -show_entries frame=pict_type": 'I', 'P' or 'B' per picture, in
// output order.
const std::vector<char> &ReferencePictureTypes(const std::string &path);

std::string Md5Hex(const std::vector<uint8_t> &bytes);

// PSNR in dB over the first `channels` bytes of each pixel of two packed
// pictures of the same pixel count; infinity when they are equal.
double PackedPsnr(const std::vector<uint8_t> &a, size_t aBytesPerPixel, const std::vector<uint8_t> &b,
                  size_t bBytesPerPixel, size_t channels);
// PSNR in dB of two byte arrays of the same length.
double Psnr(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b);

} // namespace declib_test

#endif

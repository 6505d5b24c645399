// Runs the ffmpeg program as the reference for test inputs: the MD5 of every
// decoded picture, raw converted frames. Results are kept in the build folder
// (ffmpeg-reference/) and in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvex::test {

// "ffmpeg -i FILE -f framemd5 -pix_fmt yuv420p": one MD5 (hex) per picture.
// A full-range stream takes yuvj420p, the same planes without a conversion
// to limited range. Throws std::runtime_error when ffmpeg fails.
const std::vector<std::string> &referenceMd5s(const std::string &path, const std::string &pixFmt = "yuv420p");

// "ffmpeg -i FILE [-vf FILTER] -fps_mode passthrough -f rawvideo -pix_fmt
// PIXFMT": each decoded picture once (no frame-rate padding), cut into pieces
// of frameBytes.
const std::vector<std::vector<uint8_t>> &referenceFrames(const std::string &path, const std::string &pixFmt,
                                                         size_t frameBytes, const std::string &filter = "");

std::string md5Hex(const std::vector<uint8_t> &bytes);

// PSNR in dB over the first `channels` bytes of each pixel of two packed
// pictures of the same pixel count; infinity when they are equal.
double packedPsnr(const std::vector<uint8_t> &a, size_t aBytesPerPixel, const std::vector<uint8_t> &b,
                  size_t bBytesPerPixel, size_t channels);
// PSNR in dB of two byte arrays of the same length.
double psnr(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b);

// "ffprobe -select_streams SELECTOR -show_entries
// stream=width,height,time_base:packet=pts,duration": a stream's picture
// size (0 for sound) and the times of its packets in file order, in 100-ns
// units; no packets when the file has no such stream ("v:0", "a:0").
struct ReferenceStream {
    struct Packet {
        int64_t start = 0;
        int64_t stop = 0;
        int64_t size = 0;
        int64_t pos = -1; // file offset
    };
    int width = 0;
    int height = 0;
    std::vector<Packet> packets;
};
const ReferenceStream &referenceStream(const std::string &path, const std::string &selector);

} // namespace orvex::test

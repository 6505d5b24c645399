// ffmpeg and ffprobe as the reference for test inputs: decoded pictures and
// streams' packets, kept in the build folder (ffmpeg-reference/) and in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvex::test {

// The MD5 (hex) of each picture of referenceFrames in yuv420p. Throws
// std::runtime_error when ffmpeg fails.
std::vector<std::string> referenceMd5s(const std::string &path);

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
inline double psnr(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b)
{
    return a.size() == b.size() ? packedPsnr(a, 1, b, 1, 1) : -1.0;
}

// ffprobe's view of a stream ("v:0", "a:0"): its picture size (0 for sound)
// and its packets in file order, times in 100-ns units; no packets when the
// file has no such stream.
struct ReferenceStream {
    struct Packet {
        int64_t start = 0, stop = 0, size = 0, pos = -1; // pos: the file offset
    };
    int width = 0, height = 0;
    std::vector<Packet> packets;
};
const ReferenceStream &referenceStream(const std::string &path, const std::string &selector);

} // namespace orvex::test

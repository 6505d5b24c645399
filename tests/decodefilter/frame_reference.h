// What the ffmpeg program decodes from a file's first video stream: the MD5
// of every picture as yuv420p planes, with its times in reference time.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ReferenceFrame {
    std::string md5;
    LONGLONG start = 0; // 100-ns units
    LONGLONG stop = 0;
    bool sync = false; // a key packet
};

// Throws std::runtime_error when ffmpeg fails.
std::vector<ReferenceFrame> ReferenceFrames(const std::string &path);

// The MD5 (hex) of bytes.
std::string Md5Hex(const BYTE *bytes, size_t count);

// "ffmpeg ... [-vf FILTER] -f rawvideo -pix_fmt PIXFMT" of the first video
// stream, cut into frames of frameBytes.
std::vector<std::vector<BYTE>> ReferenceRawFrames(const std::string &path, const std::string &pixFmt, size_t frameBytes,
                                                  const std::string &filter = "");

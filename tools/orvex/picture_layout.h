// Where the pixels of one decoded picture lie in a sample of the decode
// filter's output type: plane offsets and strides for YV12 and IYUV, row
// stride for top-down RGB24 and RGB32 (the decode filter's strides).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvex {

enum class PixelFormat { kYV12, kIYUV, kRGB24, kRGB32 };

struct PictureLayout {
    PixelFormat format = PixelFormat::kYV12;
    uint32_t width = 0; // visible size
    uint32_t height = 0;
    // Planar: Y, U and V offsets and strides; RGB: row stride in rows[0].
    size_t offset[3] = {0, 0, 0};
    size_t stride[3] = {0, 0, 0};
    size_t bytes = 0; // what one sample must hold
};

// The layout for a frame buffer of width x height with buffer width
// (biWidth) and buffer height (|biHeight|); throws std::invalid_argument
// for sizes that make no picture.
PictureLayout pictureLayout(PixelFormat format, uint32_t width, uint32_t height, uint32_t bufferWidth,
                            uint32_t bufferHeight);

bool parsePixelFormat(const std::string &name, PixelFormat &out);
const char *pixelFormatName(PixelFormat format);
bool isPlanar(PixelFormat format);

} // namespace orvex

#include "picture_layout.h"

#include <stdexcept>

namespace orvex {

PictureLayout pictureLayout(PixelFormat format, uint32_t width, uint32_t height, uint32_t bufferWidth,
                            uint32_t bufferHeight)
{
    if (width == 0 || height == 0 || width > bufferWidth || height > bufferHeight || bufferWidth > 65536 ||
        bufferHeight > 65536)
        throw std::invalid_argument("the picture size " + std::to_string(width) + "x" + std::to_string(height) +
                                    " does not fit its buffer");
    PictureLayout l;
    l.format = format;
    l.width = width;
    l.height = height;
    if (isPlanar(format)) {
        const size_t y = size_t(bufferWidth) * bufferHeight;
        const size_t chromaStride = bufferWidth / 2;
        const size_t chroma = chromaStride * (bufferHeight / 2);
        // YV12 stores V before U, IYUV U before V.
        const size_t first = y, second = y + chroma;
        l.offset[0] = 0;
        l.offset[1] = format == PixelFormat::kIYUV ? first : second;
        l.offset[2] = format == PixelFormat::kIYUV ? second : first;
        l.stride[0] = bufferWidth;
        l.stride[1] = l.stride[2] = chromaStride;
        l.bytes = y + 2 * chroma;
    } else {
        const size_t bits = format == PixelFormat::kRGB24 ? 24 : 32;
        l.stride[0] = ((bufferWidth * bits + 31) & ~size_t(31)) / 8;
        l.bytes = l.stride[0] * height;
    }
    return l;
}

bool parsePixelFormat(const std::string &name, PixelFormat &out)
{
    static const struct {
        const char *name;
        PixelFormat format;
    } kNames[] = {{"yv12", PixelFormat::kYV12},
                  {"iyuv", PixelFormat::kIYUV},
                  {"rgb24", PixelFormat::kRGB24},
                  {"rgb32", PixelFormat::kRGB32}};
    for (const auto &n : kNames)
        if (name == n.name) {
            out = n.format;
            return true;
        }
    return false;
}

const char *pixelFormatName(PixelFormat format)
{
    switch (format) {
    case PixelFormat::kYV12:
        return "yv12";
    case PixelFormat::kIYUV:
        return "iyuv";
    case PixelFormat::kRGB24:
        return "rgb24";
    case PixelFormat::kRGB32:
        return "rgb32";
    }
    return "?";
}

bool isPlanar(PixelFormat format)
{
    return format == PixelFormat::kYV12 || format == PixelFormat::kIYUV;
}

} // namespace orvex

// Where play sends decoded pictures: one call a picture, then finish().
#pragma once

#include "picture_layout.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvex {

class VideoSink {
public:
    virtual ~VideoSink() = default;
    // One picture laid out as layout says; throws OutputError.
    virtual void writePicture(const PictureLayout &layout, const uint8_t *data, size_t size) = 0;
    // Puts the file in place; without it nothing is left behind.
    virtual void finish() = 0;
};

// A sink by the output file's extension: .y4m takes yv12 and iyuv, .ppm
// rgb24 and rgb32. Throws OutputError naming the mismatch. frameRate is
// numerator/denominator (pictures a second).
std::unique_ptr<VideoSink> makeVideoSink(const std::string &path, PixelFormat format, uint32_t rateNum,
                                         uint32_t rateDen);

// Throws OutputError when size cannot hold the layout.
void checkPictureSize(const PictureLayout &layout, size_t size);

} // namespace orvex

// A multi-image PPM stream: one binary P6 image a picture, back to back, from
// top-down RGB24 or RGB32 pictures (blue, green, red byte order).
#pragma once

#include "output_file.h"
#include "video_sink.h"

#include <vector>

namespace orvex {

class PpmWriter : public VideoSink {
public:
    explicit PpmWriter(const std::string &path);
    void writePicture(const PictureLayout &layout, const uint8_t *data, size_t size) override;
    void finish() override;

private:
    OutputFile m_file;
    std::vector<uint8_t> m_rgb;
};

// Top-down rows of red, green, blue bytes from a BGR or BGRX picture.
void toRgbRows(const PictureLayout &layout, const uint8_t *data, std::vector<uint8_t> &rgb);

} // namespace orvex

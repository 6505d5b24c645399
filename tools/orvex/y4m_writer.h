// YUV4MPEG2 output: 4:2:0 planes (Y, U, V) a frame, whatever the order and
// strides of the planes the pictures come in.
#pragma once

#include "output_file.h"
#include "video_sink.h"

namespace orvex {

class Y4mWriter : public VideoSink {
public:
    Y4mWriter(const std::string &path, uint32_t rateNum, uint32_t rateDen);
    void writePicture(const PictureLayout &layout, const uint8_t *data, size_t size) override;
    void finish() override;

private:
    OutputFile m_file;
    uint32_t m_rateNum, m_rateDen;
    uint32_t m_width = 0, m_height = 0; // of the first picture: the stream's size
    std::string m_frame;                // one frame's bytes, reused
};

} // namespace orvex

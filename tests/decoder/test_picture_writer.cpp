// The picture writer over a frame made here: cropping on every side reaches
// the chroma planes at half the offsets, rows are taken at the frame's stride.
#include "PictureWriter.h"
#include "declib_harness.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <gtest/gtest.h>

#include <memory>

namespace declib_test {
namespace {

struct FrameFree {
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};

TEST(DecLibPictureWriter, CropsEverySideOfEveryPlane)
{
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = 16;
    frame->height = 8;
    ASSERT_EQ(av_frame_get_buffer(frame.get(), 64), 0);
    // Each sample tells its plane, row and column.
    for (int p = 0; p < 3; ++p)
        for (int y = 0; y < (p ? 4 : 8); ++y)
            for (int x = 0; x < (p ? 8 : 16); ++x)
                frame->data[p][y * frame->linesize[p] + x] = uint8_t(p * 100 + y * 16 + x);
    frame->crop_left = 2;
    frame->crop_right = 4;
    frame->crop_top = 2;
    frame->crop_bottom = 2;
    OrvexIPP::Detail::PictureWriter writer;
    writer.SetOutputFormat(AVCD_PARAM_OUTPUT_FORMAT_ID_I420);
    PictureSink sink(false);
    ASSERT_TRUE(writer.Write(frame.get(), &sink));
    ASSERT_EQ(sink.Pictures().size(), 1u);
    const Picture &picture = sink.Pictures()[0];
    EXPECT_EQ(picture.width, 10u);
    EXPECT_EQ(picture.height, 4u);
    const auto plane = [](int p, int top, int left, int rows, int columns) {
        std::vector<uint8_t> out;
        for (int y = top; y < top + rows; ++y)
            for (int x = left; x < left + columns; ++x)
                out.push_back(uint8_t(p * 100 + y * 16 + x));
        return out;
    };
    EXPECT_EQ(picture.y, plane(0, 2, 2, 4, 10));
    EXPECT_EQ(picture.cb, plane(1, 1, 1, 2, 5));
    EXPECT_EQ(picture.cr, plane(2, 1, 1, 2, 5));
    EXPECT_TRUE(sink.Errors().empty());
}

} // namespace
} // namespace declib_test

// Whole streams through the library's contract, driven like the decode
// filter, each run summed up in one line against the ffmpeg program's
// pictures: output formats and scaling, the stream's life (thresholds, end of
// stream, resets, seeks), bad input, and the parameters.
#include "PictureWriter.h"
#include "declib_harness.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <sstream>
#include <string>

namespace declib_test {
namespace {

constexpr int32_t I420 = AVCD_PARAM_OUTPUT_FORMAT_ID_I420, YV12 = AVCD_PARAM_OUTPUT_FORMAT_ID_YV12,
                  RGB32 = AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32, RGB24 = AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24,
                  FULL = AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24;

const char *const kBase = "baseline_176x144.h264", *const kSlices = "baseline_slices_176x144.h264",
                  *const kMain = "main_cavlc_320x240.h264", *const kBFrames = "main_cavlc_bframes_176x144.h264",
                  *const kCropped = "baseline_cropped_202x118.h264", *const kTiny = "baseline_6x2.h264";

// A stream's samples, changed before the run.
using Spoil = std::function<void(AnnexBStream &)>;

// Drives a harness over a stream by the operations in `ops`, then gives the
// outcome. Operations, N a sample, "N-M", "N-" (to the end) or nothing (all)
// a range of them: P play the stream; H the header; E end of stream; F flush;
// RN Reset(N); SN receive samples; BN! sample N with its first unit announced
// as 0xFFFFFFFF bytes.
std::string Drive(const std::string &name, const Settings &settings, const std::string &ops, const Spoil &spoil)
{
    AnnexBStream s = LoadStream(name);
    if (spoil) spoil(s);
    Harness h(settings);
    if (!h.Ready()) return "not ready";
    std::istringstream in(ops);
    for (std::string op; in >> op;) {
        size_t from = 0, to = s.samples.size(), used = 0;
        if (op.size() > 1 && std::isdigit(static_cast<unsigned char>(op[1]))) {
            from = std::stoul(op.substr(1), &used);
            to = from + 1;
            if (op[1 + used] == '-') to = op.size() > 2 + used ? std::stoul(op.substr(2 + used)) + 1 : s.samples.size();
        }
        if (op[0] == 'P') h.Play(s);
        if (op[0] == 'H') h.SendHeader(s.sps, s.pps);
        if (op[0] == 'E') h.EndOfStream();
        if (op[0] == 'F') h.Flush();
        if (op[0] == 'R') h.Decoder().Reset(int32_t(from));
        for (size_t i = from; op[0] == 'S' && i < to; ++i)
            h.Receive(MakeRecord(s.samples.at(i)));
        if (op[0] == 'B') {
            Record r = MakeRecord(s.samples.at(from));
            r.units[0].announcedSize = 0xFFFF'FFFFu;
            h.Receive(r);
        }
    }
    return h.Outcome(name);
}

TEST(DecLibRuns, FormatsScalingAndStreamLifeAgainstFfmpeg)
{
    // baseline_176x144 has IDR pictures at 0 and 6.
    const struct {
        const char *stream;
        Settings settings;
        const char *ops;
        Spoil spoil;
        const char *expected;
    } rows[] = {
        {kBase, {.format = I420}, "P", nullptr, "176x144 0-11 | steps 12 err 0 end 1"},
        {kBase, {.format = RGB24}, "P", nullptr, "176x144 0-11 | steps 12 err 0 end 1"},
        {kBase, {.format = RGB32}, "P", nullptr, "176x144 0-11 | steps 12 err 0 end 1"},
        // Full-range RGB24 reads a limited-range stream as full range.
        {kBase, {.format = FULL}, "P", nullptr, "176x144 0-11 | steps 12 err 0 end 1"},
        {kMain, {.format = YV12}, "P", nullptr, "320x240 0-9 | steps 10 err 0 end 1"},
        {kBFrames, {.format = I420}, "P", nullptr, "176x144 0-9 | steps 10 err 0 end 1"},
        {kSlices, {.format = YV12}, "P", nullptr, "176x144 0-5 | steps 6 err 0 end 1"},
        {kCropped, {.format = I420}, "P", nullptr, "202x118 0-7 | steps 8 err 0 end 1"},
        {kTiny, {.format = YV12}, "P", nullptr, "6x2 0-1 | steps 2 err 0 end 1"},
        // The stream's own matrix (BT.709) chooses the conversion, not BT.601.
        {"baseline_bt709_128x96.h264", {.format = RGB24}, "P", nullptr, "128x96 0-3 | steps 4 err 0 end 1"},
        {"baseline_fullrange_128x96.h264", {.format = FULL}, "P", nullptr, "128x96 0-3 | steps 4 err 0 end 1"},
        {kBase, {.format = I420, .scaling = 1}, "P", nullptr, "88x72 0-11 | steps 12 err 0 end 1"},
        {kCropped, {.format = FULL, .scaling = 1}, "P", nullptr, "101x59 0-7 | steps 8 err 0 end 1"},
        {kCropped, {.format = RGB32, .scaling = 2}, "P", nullptr, "50x29 0-7 | steps 8 err 0 end 1"},
        // 6 x 2 quarters to 1 x 0: announced without bytes.
        {kTiny, {.format = RGB24, .scaling = 2}, "P", nullptr, "1x0 -*2 | steps 2 err 0 end 1"},
        // Decoding never asks for a record that is not queued, whatever waits.
        {kCropped, {.threshold = 16}, "P", nullptr, "202x118 0-7 | steps 8 err 0 end 1"},
        {kBase, {}, "E", nullptr, "none | steps 1 err 0 end 1"},
        // A reset keeps the parameter sets; a seek to the next IDR picture.
        {kMain, {}, "H R0 S E", nullptr, "320x240 0-9 | steps 10 err 0 end 1"},
        {kBase, {}, "H S0-3 F S6- E", nullptr, "176x144 0 6-11 | steps 8 err 0 end 1"},
        // A spoiled unit fails its step once; decoding goes on, intact again
        // from the next IDR picture on. A unit announced too large to hold is
        // not read.
        {kBase,
         {},
         "P",
         [](AnnexBStream &s) { s.samples[3][0][0] |= 0x80; },
         "176x144 0-2 x*2 6-11 | steps 11 err 1 end 1"},
        {kBase, {}, "H S0-2 B3! S4- E", nullptr, "176x144 0-2 x*2 6-11 | steps 11 err 1 end 1"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Drive(row.stream, row.settings, row.ops, row.spoil), row.expected)
            << row.stream << ": " << row.ops << " format " << row.settings.format << " scaling "
            << row.settings.scaling;
}

TEST(DecLibContract, ParametersAndCallsOutOfOrder)
{
    DecoderPtr decoder(CreateAVCDecInstance());
    ASSERT_TRUE(decoder);
    std::string accepted;
    for (int32_t id : {AVCD_PARAM_OUTPUT_FORMAT, AVCD_PARAM_DEBLOCKING_SKIP, AVCD_PARAM_OUTPUT_SCALING, 2, 4, -1}) {
        accepted += std::to_string(id) + ":";
        for (int64_t value : {int64_t{-2}, int64_t{-1}, int64_t{0}, int64_t{1}, int64_t{2}, int64_t{3}, int64_t{4},
                              int64_t{5}, int64_t{6}, int64_t{7}, int64_t{8}, int64_t{0x1'0000'0001}})
            accepted += std::to_string(decoder->SetParam(id, value));
        accepted += " ";
    }
    EXPECT_EQ(accepted, "0:001100011100 1:001110000000 3:001110000000 2:000000000000 4:000000000000 -1:000000000000 ");

    // Before Initialize and after Close nothing reads.
    QueueReader reader;
    reader.PushEndOfStream();
    PictureSink sink(false);
    EXPECT_EQ(decoder->Decode(), AVCD_DECODE_ERROR);
    EXPECT_EQ(decoder->DecodeHeader(), AVCD_RESULT_FAILURE);
    decoder->Reset(0);
    EXPECT_EQ(decoder->Initialize(nullptr, &sink), AVCD_RESULT_FAILURE);
    EXPECT_EQ(decoder->Initialize(&reader, nullptr), AVCD_RESULT_FAILURE);
    EXPECT_EQ(decoder->Decode(), AVCD_DECODE_ERROR);
    EXPECT_EQ(decoder->Initialize(&reader, &sink), AVCD_RESULT_SUCCESS);
    EXPECT_EQ(decoder->Initialize(&reader, &sink), AVCD_RESULT_SUCCESS); // again, from nothing
    decoder->Close();
    EXPECT_EQ(decoder->Decode(), AVCD_DECODE_ERROR);
    EXPECT_EQ(decoder->DecodeHeader(), AVCD_RESULT_FAILURE);
    decoder->Close();
    EXPECT_EQ(reader.GetDataSizeCalls(), 0u);
    EXPECT_EQ(decoder->Reserved3() + decoder->Reserved5() + decoder->Reserved7(), 0);
    FreeAVCDecInstance(nullptr);
}

struct FrameFree {
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};

// Cropping on every side reaches the chroma planes at half the offsets; rows
// are taken at the frame's stride.
TEST(DecLibPictureWriter, CropsEverySideOfEveryPlane)
{
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = 16;
    frame->height = 8;
    ASSERT_EQ(av_frame_get_buffer(frame.get(), 64), 0);
    for (int p = 0; p < 3; ++p) // each sample tells its plane, row and column
        for (int y = 0; y < (p ? 4 : 8); ++y)
            for (int x = 0; x < (p ? 8 : 16); ++x)
                frame->data[p][y * frame->linesize[p] + x] = uint8_t(p * 100 + y * 16 + x);
    frame->crop_left = frame->crop_top = frame->crop_bottom = 2;
    frame->crop_right = 4;
    OrvexIPP::Detail::PictureWriter writer;
    writer.SetOutputFormat(I420);
    PictureSink sink(false);
    ASSERT_TRUE(writer.Write(frame.get(), &sink));
    ASSERT_EQ(sink.Pictures().size(), 1u);
    const auto plane = [](int p, int top, int left, int rows, int columns) {
        std::vector<uint8_t> out;
        for (int y = top; y < top + rows; ++y)
            for (int x = left; x < left + columns; ++x)
                out.push_back(uint8_t(p * 100 + y * 16 + x));
        return out;
    };
    const Picture &picture = sink.Pictures()[0];
    EXPECT_EQ(picture.width * 100 + picture.height, 1004u);
    EXPECT_EQ(picture.y, plane(0, 2, 2, 4, 10));
    EXPECT_EQ(picture.cb, plane(1, 1, 1, 2, 5));
    EXPECT_EQ(picture.cr, plane(2, 1, 1, 2, 5));
    EXPECT_TRUE(sink.Errors().empty());
}

} // namespace
} // namespace declib_test

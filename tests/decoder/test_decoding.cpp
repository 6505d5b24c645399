// Whole streams through the library's contract, driven like the decode
// filter, each run summed up in one line against the ffmpeg program's
// pictures: output formats and scaling, the stream's life (thresholds, end of
// stream, "no more input", resets, new parameter sets), bad input, and the
// parameters.
#include "PictureWriter.h"
#include "declib_harness.h"
#include "support/h264_writer.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <map>
#include <sstream>
#include <string>

namespace declib_test {
namespace {

using namespace orvex::test;

constexpr int32_t I420 = AVCD_PARAM_OUTPUT_FORMAT_ID_I420, YV12 = AVCD_PARAM_OUTPUT_FORMAT_ID_YV12,
                  RGB32 = AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32, RGB24 = AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24,
                  FULL = AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24;

const char *const kBase = "baseline_176x144.h264", *const kSlices = "baseline_slices_176x144.h264",
                  *const kMain = "main_cavlc_320x240.h264", *const kBFrames = "main_cavlc_bframes_176x144.h264",
                  *const kCropped = "baseline_cropped_202x118.h264", *const kTiny = "baseline_6x2.h264";

TEST(DecLibOutput, EveryStreamFormatAndScalingAgainstFfmpeg)
{
    const struct {
        const char *stream;
        int32_t format, scaling;
        const char *expected;
    } rows[] = {
        {kBase, I420, 0, "176x144 0-11 | steps 12 err 0 end 1"},
        {kBase, YV12, 0, "176x144 0-11 | steps 12 err 0 end 1"},
        {kBase, RGB24, 0, "176x144 0-11 | steps 12 err 0 end 1"},
        {kBase, RGB32, 0, "176x144 0-11 | steps 12 err 0 end 1"},
        {kMain, YV12, 0, "320x240 0-9 | steps 10 err 0 end 1"},
        {kMain, RGB32, 0, "320x240 0-9 | steps 10 err 0 end 1"},
        {kCropped, I420, 0, "202x118 0-7 | steps 8 err 0 end 1"},
        {kCropped, RGB24, 0, "202x118 0-7 | steps 8 err 0 end 1"},
        {kCropped, RGB32, 0, "202x118 0-7 | steps 8 err 0 end 1"},
        {kSlices, YV12, 0, "176x144 0-5 | steps 6 err 0 end 1"},
        {kBFrames, I420, 0, "176x144 0-9 | steps 10 err 0 end 1"},
        {kBFrames, RGB24, 0, "176x144 0-9 | steps 10 err 0 end 1"},
        {kTiny, YV12, 0, "6x2 0-1 | steps 2 err 0 end 1"},
        {kTiny, RGB24, 0, "6x2 0-1 | steps 2 err 0 end 1"},
        // The stream's own matrix (BT.709) chooses the conversion, not BT.601.
        {"baseline_bt709_128x96.h264", RGB24, 0, "128x96 0-3 | steps 4 err 0 end 1"},
        {"baseline_fullrange_128x96.h264", I420, 0, "128x96 0-3 | steps 4 err 0 end 1"},
        {"baseline_fullrange_128x96.h264", RGB24, 0, "128x96 0-3 | steps 4 err 0 end 1"},
        {"baseline_fullrange_128x96.h264", FULL, 0, "128x96 0-3 | steps 4 err 0 end 1"},
        // Full-range RGB24 reads a limited-range stream as full range.
        {kBase, FULL, 0, "176x144 0-11 | steps 12 err 0 end 1"},
        {kBase, I420, 1, "88x72 0-11 | steps 12 err 0 end 1"},
        {kBase, YV12, 2, "44x36 0-11 | steps 12 err 0 end 1"},
        {kCropped, YV12, 1, "101x59 0-7 | steps 8 err 0 end 1"},
        {kCropped, I420, 2, "50x29 0-7 | steps 8 err 0 end 1"},
        {kMain, RGB24, 1, "160x120 0-9 | steps 10 err 0 end 1"},
        {kMain, RGB32, 2, "80x60 0-9 | steps 10 err 0 end 1"},
        {kCropped, RGB32, 2, "50x29 0-7 | steps 8 err 0 end 1"},
        {kCropped, FULL, 1, "101x59 0-7 | steps 8 err 0 end 1"},
        // 6 x 2 halves to 3 x 1 and quarters to 1 x 0: announced without bytes.
        {kTiny, I420, 1, "3x1 0-1 | steps 2 err 0 end 1"},
        {kTiny, YV12, 2, "1x0 -*2 | steps 2 err 0 end 1"},
        {kTiny, RGB32, 1, "3x1 0-1 | steps 2 err 0 end 1"},
        {kTiny, RGB24, 2, "1x0 -*2 | steps 2 err 0 end 1"},
    };
    for (const auto &row : rows) {
        Harness h({.format = row.format, .scaling = row.scaling});
        ASSERT_TRUE(h.Ready());
        h.Play(LoadStream(row.stream));
        EXPECT_EQ(Outcome(h, {row.stream}), row.expected)
            << row.stream << " format " << row.format << " scaling " << row.scaling;
    }
}

// A stream's samples, changed before the run.
using Spoil = std::function<void(AnnexBStream &)>;

// Drives a harness over a stream by the operations in `ops`, then gives the
// notes they took and the outcome. Operations, N a sample, "N-M", "N-" (to
// the end) or nothing (all) a range of them:
//   P play the stream; H the header; E end of stream; F flush; RN Reset(N)
//   SN receive samples; QN queue them without a step; QN.K queue unit K of
//   sample N only, QN.K- units K on; J all samples as one record; WN sample N
//   with the parameter sets before it; eN sample N with an empty unit first
//   and behind it; BN+K, BN! sample N with its first unit announced K bytes
//   larger, or as 0xFFFFFFFF; r an empty record; i an SEI record
//   T a step (noting its result); A, a abort the reader and start it again
//   DN, ON, ZN set deblocking skip, output format, scaling (noting refusals)
//   u, c note the units read, the GetDataSize calls
std::string Drive(const std::string &name, const Settings &settings, const std::string &ops,
                  const Spoil &spoil = nullptr)
{
    AnnexBStream s = LoadStream(name);
    if (spoil) spoil(s);
    Harness h(settings);
    std::ostringstream notes;
    std::string op;
    size_t from = 0, to = 0;
    const auto record = [&](size_t i) { return MakeRecord(s.samples.at(i)); };
    const auto withUnits = [&](size_t i, const std::vector<Unit> &before, const std::vector<Unit> &after) {
        Record r = record(i);
        r.units.insert(r.units.begin(), before.begin(), before.end());
        r.units.insert(r.units.end(), after.begin(), after.end());
        return r;
    };
    const auto setParam = [&](int32_t id) {
        if (h.Decoder().SetParam(id, int64_t(from)) != 1) notes << op << " refused ";
    };
    const std::map<char, std::function<void()>> run = {
        {'P', [&] { h.Play(s); }},
        {'H', [&] { h.SendHeader(s.sps, s.pps); }},
        {'E', [&] { h.EndOfStream(); }},
        {'F', [&] { h.Flush(); }},
        {'R', [&] { h.Decoder().Reset(int32_t(from)); }},
        {'S',
         [&] {
             for (size_t i = from; i < to; ++i)
                 h.Receive(record(i));
         }},
        {'Q',
         [&] {
             const size_t dot = op.find('.');
             for (size_t i = from; dot == op.npos && i < to; ++i)
                 h.Reader().Push(record(i));
             if (dot == op.npos) return;
             Record r = record(from);
             r.units.erase(r.units.begin(), r.units.begin() + std::ptrdiff_t(std::stoul(op.substr(dot + 1))));
             if (op.back() != '-') r.units.resize(1);
             h.Reader().Push(r);
         }},
        {'J',
         [&] {
             Sample all;
             for (const Sample &sample : s.samples)
                 all.insert(all.end(), sample.begin(), sample.end());
             h.Receive(MakeRecord(all));
         }},
        {'W',
         [&] {
             h.Receive(withUnits(from, {Unit{s.sps, {}}, Unit{s.pps, {}}}, {}));
         }},
        {'e', [&] { h.Receive(withUnits(from, {Unit{}}, {Unit{}})); }},
        {'B',
         [&] {
             Record r = record(from);
             r.units[0].announcedSize =
                 op.back() == '!' ? 0xFFFF'FFFFu
                                  : uint32_t(r.units[0].bytes.size() + std::stoul(op.substr(op.find('+') + 1)));
             h.Receive(r);
         }},
        {'r', [&] { h.Receive(Record{}); }},
        {'i',
         [&] {
             h.Receive(MakeRecord(Nal{0x06, 0x05, 0x01, 0x00, 0x80}));
         }},
        {'T', [&] { notes << h.Step() << ' '; }},
        {'A', [&] { h.Reader().SetAborted(true); }},
        {'a', [&] { h.Reader().SetAborted(false); }},
        {'D', [&] { setParam(AVCD_PARAM_DEBLOCKING_SKIP); }},
        {'O',
         [&] {
             setParam(AVCD_PARAM_OUTPUT_FORMAT);
             h.Sink().SetPacked(from >= RGB32);
         }},
        {'Z', [&] { setParam(AVCD_PARAM_OUTPUT_SCALING); }},
        {'u', [&] { notes << "units " << h.Reader().UnitsRead() << ' '; }},
        {'c', [&] { notes << "calls " << h.Reader().GetDataSizeCalls() << ' '; }},
    };
    std::istringstream in(ops);
    while (in >> op) {
        const auto digitAt = [&](size_t i) { return i < op.size() && std::isdigit(static_cast<unsigned char>(op[i])); };
        size_t used = 0;
        from = 0, to = s.samples.size();
        if (digitAt(1)) {
            from = std::stoul(op.substr(1), &used);
            to = from + 1;
            if (op[1 + used] == '-') to = digitAt(2 + used) ? std::stoul(op.substr(2 + used)) + 1 : s.samples.size();
        }
        run.at(op[0])();
    }
    return notes.str() + Outcome(h, {name});
}

TEST(DecLibRuns, StreamLifeAndBadInput)
{
    // baseline_176x144 has IDR pictures at 0 and 6; sample 3 is spoiled.
    const auto slice3 = [](Nal nal) { return [nal](AnnexBStream &s) { s.samples[3][0] = nal; }; };
    const struct {
        const char *stream;
        Settings settings;
        const char *ops;
        Spoil spoil;
        const char *expected;
    } rows[] = {
        // Decoding never asks for a record that is not queued, whatever waits.
        {kBase, {.threshold = 3}, "P", nullptr, "176x144 0-11 | steps 12 err 0 end 1"},
        {kCropped, {.threshold = 16}, "P", nullptr, "202x118 0-7 | steps 8 err 0 end 1"},
        // One record of all samples: one step per picture.
        {kSlices, {}, "H J E", nullptr, "176x144 0-5 | steps 6 err 0 end 1"},
        // Parameter sets in the first sample need no header.
        {kMain, {}, "W0 S1- E", nullptr, "320x240 0-9 | steps 10 err 0 end 1"},
        {kBase, {}, "E", nullptr, "none | steps 1 err 0 end 1"},
        {kBase, {}, "P P", nullptr, "176x144 0-11 0-11 | steps 24 err 0 end 2"},
        {kBase, {}, "R0 R1 P", nullptr, "176x144 0-11 | steps 12 err 0 end 1"},
        {kMain, {}, "H R0 S E", nullptr, "320x240 0-9 | steps 10 err 0 end 1"},
        // A seek to the next IDR picture, with and without the header again.
        {kBase, {}, "H S0-3 F H S6- E", nullptr, "176x144 0 6-11 | steps 8 err 0 end 1"},
        {kBase, {}, "H S0-3 F S6- E", nullptr, "176x144 0 6-11 | steps 8 err 0 end 1"},
        // "No more input" in the middle of a picture: one GetDataSize call,
        // no picture; the rest of it later.
        {kSlices,
         {},
         "H Q0-1 T Q2.0 T c A T c a Q2.1- S3- E",
         nullptr,
         "0 1 calls 10 0 calls 11 176x144 0-5 | steps 7 err 0 end 1"},
        // A step reads the rest of one picture and the first slice of the next.
        {kSlices,
         {},
         "H u Q T u T u T u T u T u",
         nullptr,
         "units 2 0 units 7 1 units 10 1 units 13 1 units 16 1 units 19 176x144 0-3 | steps 5 err 0 end 0"},
        {kBase, {.deblockingSkip = AVCD_DEBLOCKING_SKIP_ALL}, "P", nullptr, "176x144 x*12 | steps 12 err 0 end 1"},
        // Only the B pictures of this stream are not references.
        {kBFrames,
         {.deblockingSkip = AVCD_DEBLOCKING_SKIP_NON_REFERENCE},
         "P",
         nullptr,
         "176x144 0 x*2 3 x*2 6 x*2 9 | steps 10 err 0 end 1"},
        {kBase,
         {.deblockingSkip = AVCD_DEBLOCKING_SKIP_NON_REFERENCE},
         "P",
         nullptr,
         "176x144 0-11 | steps 12 err 0 end 1"},
        // Set at the second IDR picture: units read before keep the filter,
        // those still queued (a step lags one sample) do not.
        {kBase, {}, "H S0-5 D1 S6- E", nullptr, "176x144 0-3 x*8 | steps 12 err 0 end 1"},
        {kMain, {}, "H S0-4 O6 S5- E", nullptr, "320x240 0-9 | steps 10 err 0 end 1"},
        {kBase,
         {.scaling = AVCD_OUTPUT_SCALING_HALF},
         "Z5 O3 P",
         nullptr,
         "Z5 refused O3 refused 88x72 0-11 | steps 12 err 0 end 1"},
        // A spoiled unit fails its step once; decoding goes on, intact again
        // from the next IDR picture on.
        {kBase,
         {},
         "P",
         [](AnnexBStream &s) { s.samples[3][0][0] |= 0x80; },
         "176x144 0-2 x*2 6-11 | steps 11 err 1 end 1"},
        {kBase,
         {},
         "P",
         slice3(buildSlice({.pic_parameter_set_id = 9}, {.pic_order_cnt_type = 0}, {})),
         "176x144 0-2 x*2 6-11 | steps 11 err 1 end 1"},
        {kBase,
         {},
         "P",
         slice3(makeNalUnit(0x41, BitWriter().ue(0).ue(23).ue(0).bits(0x1234, 16).trailingBits().bytes())),
         "176x144 0-2 x*2 6-11 | steps 11 err 1 end 1"},
        {kBase, {}, "P", slice3({0x41}), "176x144 0-2 x*2 6-11 | steps 11 err 1 end 1"},
        // A unit before the slice with first_mb_in_slice far beyond the picture.
        {kBase,
         {},
         "P",
         [](AnnexBStream &s) {
             Nal garbage{0x41, 0x00};
             for (int i = 2; i < 65; ++i)
                 garbage.push_back(uint8_t(i * 37 + 11));
             s.samples[3].insert(s.samples[3].begin(), garbage);
         },
         "176x144 0-2 x*2 6-11 | steps 11 err 1 end 1"},
        // Inside a picture: it is written from the slices before the bad one.
        {kSlices,
         {},
         "P",
         [](AnnexBStream &s) { s.samples[2][1][0] |= 0x80; },
         "176x144 0-1 x*4 | steps 6 err 1 end 1"},
        // Damaged slice data is concealed without a failure.
        {kBase,
         {},
         "P",
         [](AnnexBStream &s) {
             for (size_t i = s.samples[3][0].size() / 2; i < s.samples[3][0].size(); ++i)
                 s.samples[3][0][i] = uint8_t(0x5A ^ i);
         },
         "176x144 0-2 x*3 6-11 | steps 12 err 0 end 1"},
        // Announced too large to hold: the unit is not read; a short read
        // marks it corrupt.
        {kBase, {}, "H S0-2 B3! S4- E u", nullptr, "units 14 176x144 0-2 x*2 6-11 | steps 11 err 1 end 1"},
        {kBase, {}, "H S0-2 B3+10 S4- E", nullptr, "176x144 0-2 x*2 6-11 | steps 11 err 1 end 1"},
        // Empty units, empty records and SEI-only samples change nothing.
        {kBase, {}, "H S0-1 e2 S3 e4 S5 r S6-7 i S8- E", nullptr, "176x144 0-11 | steps 12 err 0 end 1"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Drive(row.stream, row.settings, row.ops, row.spoil), row.expected) << row.stream << ": " << row.ops;
}

TEST(DecLibRuns, NewParameterSetsInTheMiddleChangeThePictureSize)
{
    const AnnexBStream a = LoadStream(kBase), b = LoadStream(kMain);
    Harness h;
    h.SendHeader(a.sps, a.pps);
    for (const Sample &sample : a.samples)
        h.Receive(MakeRecord(sample));
    Sample opening{b.sps, b.pps};
    opening.insert(opening.end(), b.samples[0].begin(), b.samples[0].end());
    h.Receive(MakeRecord(opening));
    for (size_t i = 1; i < b.samples.size(); ++i)
        h.Receive(MakeRecord(b.samples[i]));
    h.EndOfStream();
    EXPECT_EQ(Outcome(h, {kBase, kMain}), "176x144 0-11 320x240 12-21 | steps 22 err 0 end 1");
}

// A refused header fails, and a good one still works afterwards.
TEST(DecLibRuns, RefusedHeaders)
{
    const AnnexBStream s = LoadStream(kMain);
    const std::vector<std::vector<Nal>> rows = {
        {{0x67, 0x00}, s.pps},
        {s.pps, s.sps},
        {s.sps, buildPps({.seq_parameter_set_id = 5})},
        {s.samples[0][0], s.samples[1][0]},
        {},
        {s.sps},
    };
    for (const auto &records : rows) {
        Harness h;
        for (const Nal &nal : records)
            h.Reader().Push(MakeRecord(nal));
        h.Reader().SetAborted(true); // where the records run out: "no more input"
        EXPECT_EQ(h.Decoder().DecodeHeader(), AVCD_RESULT_FAILURE);
        h.Reader().SetAborted(false);
        h.Flush();
        h.Play(s);
        EXPECT_EQ(Outcome(h, {kMain}), "320x240 0-9 | steps 10 err 0 end 1") << records.size();
    }
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

    // An end of stream taken by DecodeHeader ends the next step without reading.
    Harness h;
    h.Reader().PushEndOfStream();
    EXPECT_EQ(h.Decoder().DecodeHeader(), AVCD_RESULT_FAILURE);
    const size_t calls = h.Reader().GetDataSizeCalls();
    EXPECT_EQ(h.Step(), AVCD_DECODE_END_OF_STREAM);
    EXPECT_EQ(h.Reader().GetDataSizeCalls(), calls);
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

// Whole streams through the library's contract, driven like the decode
// filter and its decoder wrapper, each run summed up in one line against the
// ffmpeg program's pictures: output formats and scaling, the stream's life
// (thresholds, end of stream, resets, seeks), bad input, and the parameters.
#include "PictureWriter.h"
#include "declib_harness.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <optional>
#include <sstream>
#include <string>

namespace declib_test {
namespace {

using orvex::test::packedPsnr;
using orvex::test::referenceFrames;

constexpr int32_t I420 = AVCD_PARAM_OUTPUT_FORMAT_ID_I420, YV12 = AVCD_PARAM_OUTPUT_FORMAT_ID_YV12,
                  RGB32 = AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32, RGB24 = AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24,
                  FULL = AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24;

// One unit of a record; the size the reader announces may differ from its bytes.
struct Unit {
    Nal bytes;
    std::optional<uint32_t> announcedSize;
};
using Record = std::optional<std::vector<Unit>>; // none: the end-of-stream marker

Record MakeRecord(const Sample &sample)
{
    std::vector<Unit> units;
    for (const Nal &nal : sample)
        units.push_back(Unit{nal, std::nullopt});
    return units;
}

// The decoder wrapper's reader over a queue of records. Where the wrapper
// would block (nothing queued), this one notes an over-read and answers "no
// more input", as the wrapper does once its queue is aborted.
class QueueReader : public OrvexIPP::AbstractReader {
public:
    std::deque<Record> queue;
    bool overRead = false;
    size_t sizeCalls = 0;

    // The wrapper drops the record it holds after an error, a drained end of
    // stream and a flush.
    void DropHeld() { m_held.clear(); }

    int32_t GetDataSize(uint32_t *size, int32_t *status) override
    {
        ++sizeCalls;
        while (m_held.empty()) {
            if (queue.empty()) { // the real reader would wait here, on the thread that queues
                overRead = true;
                *status = AVCD_READER_STATUS_NO_MORE_INPUT;
                return 0;
            }
            Record record = std::move(queue.front());
            queue.pop_front();
            if (!record) {
                *status = AVCD_READER_STATUS_END_OF_STREAM;
                return 0;
            }
            m_held = std::move(*record); // a record without units is used up at once
            m_next = 0;
        }
        const Unit &unit = m_held[m_next];
        *size = unit.announcedSize.value_or(uint32_t(unit.bytes.size()));
        return 4;
    }

    int32_t ReadData(uint8_t *buffer, uint32_t size, int32_t) override
    {
        if (m_held.empty()) return 0;
        const Nal &bytes = m_held[m_next].bytes;
        // Never past the unit: a request beyond it gets what there is.
        const size_t copied = std::min<size_t>(size, bytes.size());
        if (copied > 0) std::memcpy(buffer, bytes.data(), copied);
        if (++m_next == m_held.size()) m_held.clear();
        return int32_t(copied);
    }

private:
    std::vector<Unit> m_held;
    size_t m_next = 0;
};

struct Picture {
    uint32_t width = 0, height = 0, rowBytes = 0;
    Nal y{}, cb{}, cr{}, packed{}; // planar or RGB output

    Nal I420() const
    {
        Nal all(y);
        all.insert(all.end(), cb.begin(), cb.end());
        all.insert(all.end(), cr.begin(), cr.end());
        return all;
    }
};

// The writer side: collects pictures and notes calls out of order.
class PictureSink : public OrvexIPP::AbstractWriter {
public:
    explicit PictureSink(bool packed) : m_packed(packed) {}
    std::vector<Picture> pictures;
    std::vector<std::string> errors;

    int32_t WriteData(const uint8_t *data, uint32_t size) override
    {
        // The luma (or packed) bytes follow the picture's start, then each chroma plane its status.
        Nal *plane = !m_current                                    ? nullptr
                     : m_state == AVCD_WRITER_STATUS_PICTURE_START ? (m_packed ? &m_current->packed : &m_current->y)
                     : m_state == AVCD_WRITER_STATUS_CB_PLANE      ? &m_current->cb
                     : m_state == AVCD_WRITER_STATUS_CR_PLANE      ? &m_current->cr
                                                                   : nullptr;
        if (plane)
            plane->insert(plane->end(), data, data + size);
        else
            errors.push_back("WriteData in status " + std::to_string(m_state));
        return 0;
    }

    int32_t SetStatus(const OrvexIPP::WriterStatus *info) override
    {
        const uint32_t status = info->status;
        const uint32_t expected = m_state == 0                                  ? AVCD_WRITER_STATUS_PICTURE_START
                                  : m_packed                                    ? AVCD_WRITER_STATUS_PICTURE_DONE
                                  : m_state == AVCD_WRITER_STATUS_PICTURE_START ? AVCD_WRITER_STATUS_CB_PLANE
                                  : m_state == AVCD_WRITER_STATUS_CB_PLANE      ? AVCD_WRITER_STATUS_CR_PLANE
                                                                                : AVCD_WRITER_STATUS_PICTURE_DONE;
        if (status != expected)
            errors.push_back("status " + std::to_string(status) + " after " + std::to_string(m_state));
        if (status == AVCD_WRITER_STATUS_PICTURE_START)
            m_current = Picture{.width = info->width, .height = info->height, .rowBytes = info->rowBytes};
        // A picture's bytes are checked against its size where it is matched.
        if (status == AVCD_WRITER_STATUS_PICTURE_DONE && m_current) pictures.push_back(std::move(*m_current));
        if (status == AVCD_WRITER_STATUS_PICTURE_DONE) m_current.reset();
        m_state = status == AVCD_WRITER_STATUS_PICTURE_DONE ? 0 : status;
        return 0;
    }

private:
    bool m_packed;
    uint32_t m_state = 0; // last status; 0 between pictures
    std::optional<Picture> m_current;
};

struct DecoderDeleter {
    void operator()(OrvexIPP::AVCDecoder *decoder) const
    {
        decoder->Close();
        FreeAVCDecInstance(decoder);
    }
};
using DecoderPtr = std::unique_ptr<OrvexIPP::AVCDecoder, DecoderDeleter>;

struct Settings {
    int32_t format = I420;
    int32_t scaling = AVCD_OUTPUT_SCALING_ORIGINAL;
    size_t threshold = 2; // records waiting before a decode step (the filter: one per processor, at least 2)
};

// A decoder with its reader and writer, driven like the decode filter.
class Harness {
public:
    explicit Harness(const Settings &settings)
        : m_settings(settings), m_sink(settings.format == RGB32 || settings.format == RGB24 || settings.format == FULL),
          m_decoder(CreateAVCDecInstance())
    {
        // The wrapper's order: format, deblocking skip, scaling, then Initialize.
        m_ready = m_decoder && m_decoder->SetParam(AVCD_PARAM_OUTPUT_FORMAT, settings.format) == 1 &&
                  m_decoder->SetParam(AVCD_PARAM_DEBLOCKING_SKIP, AVCD_DEBLOCKING_SKIP_NONE) == 1 &&
                  m_decoder->SetParam(AVCD_PARAM_OUTPUT_SCALING, settings.scaling) == 1 &&
                  m_decoder->Initialize(&m_reader, &m_sink) == 1;
    }

    // Drives the decoder over a stream of tests/data/decoder by the
    // operations in `ops`, then gives the outcome. Operations, N a sample,
    // "N-M", "N-" (to the end) or nothing (all) a range of them: P play the
    // stream (header, every sample, end of stream); H the header; E end of
    // stream; F the wrapper's flush; RN Reset(N); SN receive samples; BN
    // sample N with its first unit announced as 0xFFFFFFFF bytes; XN set the
    // forbidden bit of sample N's first unit.
    std::string Run(const std::string &name, const std::string &ops)
    {
        if (!m_ready) return "not ready";
        AnnexBStream s = LoadStream(name);
        std::istringstream in(ops);
        for (std::string op; in >> op;) {
            size_t from = 0, to = s.samples.size(), used = 0;
            if (op.size() > 1) {
                from = std::stoul(op.substr(1), &used);
                to = op.size() == 1 + used  ? from + 1
                     : op.size() > 2 + used ? std::stoul(op.substr(2 + used)) + 1
                                            : s.samples.size();
            }
            if (op[0] == 'X') s.samples.at(from)[0][0] |= 0x80;
            if (op[0] == 'P' || op[0] == 'H') {
                m_reader.queue.push_back(MakeRecord(Sample{s.sps}));
                m_reader.queue.push_back(MakeRecord(Sample{s.pps}));
                m_decoder->DecodeHeader();
            }
            for (size_t i = op[0] == 'P' ? 0 : from; (op[0] == 'P' || op[0] == 'S') && i < to; ++i)
                Receive(MakeRecord(s.samples.at(i)));
            if (op[0] == 'B') {
                Record r = MakeRecord(s.samples.at(from));
                (*r)[0].announcedSize = 0xFFFF'FFFFu;
                Receive(r);
            }
            if (op[0] == 'F') {
                m_decoder->Reset(0);
                m_reader.queue.clear();
                m_reader.DropHeld();
            }
            if (op[0] == 'R') m_decoder->Reset(int32_t(from));
            if (op[0] == 'P' || op[0] == 'E') EndOfStream();
        }
        return Outcome(name);
    }

private:
    // Queues a record; runs a decode step when enough records wait.
    void Receive(Record record)
    {
        m_reader.queue.push_back(std::move(record));
        if (m_reader.queue.size() >= m_settings.threshold) Step();
    }

    // Queues the end-of-stream marker and steps until the decoder reports it.
    void EndOfStream()
    {
        m_reader.queue.push_back(std::nullopt);
        // Each step reads at least one unit or the marker, so this ends; the
        // bound only keeps a faulty decoder from hanging the test.
        for (int i = 0; i < 10000; ++i)
            if (Step() == AVCD_DECODE_END_OF_STREAM || m_reader.overRead) return;
    }

    // One decode step with the wrapper's handling of its result.
    int32_t Step()
    {
        const size_t before = m_sink.pictures.size();
        const int32_t result = m_decoder->Decode();
        m_results.push_back(result);
        if ((result == AVCD_DECODE_PICTURE) != (m_sink.pictures.size() > before) &&
            result != AVCD_DECODE_END_OF_STREAM && result != AVCD_DECODE_ERROR)
            m_faults.push_back("step " + std::to_string(m_results.size()) + " gave " + std::to_string(result));
        if (result == AVCD_DECODE_ERROR || result == AVCD_DECODE_END_OF_STREAM) {
            m_decoder->Reset(0);
            m_reader.DropHeld();
        }
        return result;
    }

    // The run in one line: the picture size (again where it changes), each
    // picture as the index of the ffmpeg picture of `stream` it matches ("x"
    // for none, "a" for RGB32 with a fourth byte set, "-" for an empty one),
    // then the steps, errors and ends, and any fault seen. Planar pictures of
    // the stream's size must equal one of ffmpeg's; the others match the same
    // picture as ffmpeg converts it (scaled to their size) within 45 dB (40 dB
    // scaled).
    std::string Outcome(const std::string &stream) const
    {
        const auto frameBytes = [](size_t w, size_t ht, size_t bpp) {
            return bpp ? w * ht * bpp : w * ht + 2 * ((w + 1) / 2) * ((ht + 1) / 2);
        };
        // The stream's size from its name, "..._WxH.h264".
        const std::string streamSize = stream.substr(stream.rfind('_') + 1, stream.find('.') - stream.rfind('_') - 1);
        const auto &decoded = referenceFrames(
            StreamPath(stream), stream.find("fullrange") != stream.npos ? "yuvj420p" : "yuv420p",
            frameBytes(std::stoul(streamSize), std::stoul(streamSize.substr(streamSize.find('x') + 1)), 0));
        const bool fullRange = m_settings.format == AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24;
        std::vector<std::string> tokens;
        std::string size;
        const auto &pictures = m_sink.pictures;
        for (size_t i = 0; i < pictures.size(); ++i) {
            const Picture &p = pictures[i];
            const size_t w = p.width, ht = p.height;
            if (std::to_string(w) + "x" + std::to_string(ht) != size)
                tokens.push_back(size = std::to_string(w) + "x" + std::to_string(ht));
            const bool packed = m_settings.format == RGB32 || m_settings.format == RGB24 || fullRange;
            const bool scaled = size != streamSize;
            if (w == 0 || ht == 0) {
                tokens.push_back(p.I420().empty() && p.packed.empty() ? "-" : "x"); // nothing to write
            } else if (!packed && !scaled) {
                // Its own index first: a stream may repeat a picture.
                const auto at = i < decoded.size() && decoded[i] == p.I420()
                                    ? decoded.begin() + std::ptrdiff_t(i)
                                    : std::find(decoded.begin(), decoded.end(), p.I420());
                tokens.push_back(at == decoded.end() ? "x" : std::to_string(at - decoded.begin()));
            } else {
                // Others against ffmpeg's conversion of the same picture.
                const size_t bpp = packed ? p.rowBytes / w : 1;
                std::string f =
                    scaled ? "scale=" + std::to_string(w) + ":" + std::to_string(ht) + ":flags=bilinear" : "";
                if (fullRange) f += f.empty() ? "scale=in_range=pc" : ":in_range=pc";
                const auto &refs =
                    referenceFrames(StreamPath(stream), packed ? (bpp == 4 ? "bgra" : "bgr24") : "yuv420p",
                                    frameBytes(w, ht, packed ? bpp : 0), f);
                const double db = i >= refs.size() ? -1
                                  : packed         ? packedPsnr(p.packed, bpp, refs[i], bpp, 3)
                                                   : packedPsnr(p.I420(), 1, refs[i], 1, 1);
                bool alpha = false;
                for (size_t at = 3; bpp == 4 && at < p.packed.size(); at += 4)
                    alpha = alpha || p.packed[at] != 0;
                tokens.push_back(alpha ? "a" : db >= (scaled ? 40.0 : 45.0) ? std::to_string(i) : "x");
            }
        }
        std::string out = tokens.empty() ? "none" : "";
        for (const std::string &token : tokens)
            out += out.empty() ? token : " " + token;
        const auto count = [this](int32_t result) {
            return std::to_string(std::count(m_results.begin(), m_results.end(), result));
        };
        out += " | steps " + std::to_string(m_results.size()) + " err " + count(AVCD_DECODE_ERROR) + " end " +
               count(AVCD_DECODE_END_OF_STREAM);
        if (m_reader.overRead) out += " | over-read";
        for (const std::string &fault : m_faults)
            out += " | " + fault;
        for (const std::string &error : m_sink.errors)
            out += " | " + error;
        return out;
    }

    Settings m_settings;
    QueueReader m_reader;
    PictureSink m_sink;
    DecoderPtr m_decoder;
    bool m_ready = false;
    std::vector<int32_t> m_results;
    std::vector<std::string> m_faults;
};

TEST(DecLibRuns, FormatsScalingAndStreamLifeAgainstFfmpeg)
{
    const char *const kBase = "baseline_176x144.h264", *const kMain = "main_cavlc_320x240.h264",
                      *const kBFrames = "main_cavlc_bframes_176x144.h264",
                      *const kCropped = "baseline_cropped_202x118.h264", *const kTiny = "baseline_6x2.h264";
    // baseline_176x144 has IDR pictures at 0 and 6.
    const struct {
        const char *stream;
        Settings settings;
        const char *ops, *expected;
    } rows[] = {
        {kBase, {.format = I420}, "P", "176x144 0 1 2 3 4 5 6 7 8 9 10 11 | steps 12 err 0 end 1"},
        {kBase, {.format = RGB24}, "P", "176x144 0 1 2 3 4 5 6 7 8 9 10 11 | steps 12 err 0 end 1"},
        {kBase, {.format = RGB32}, "P", "176x144 0 1 2 3 4 5 6 7 8 9 10 11 | steps 12 err 0 end 1"},
        // Full-range RGB24 reads a limited-range stream as full range.
        {kBase, {.format = FULL}, "P", "176x144 0 1 2 3 4 5 6 7 8 9 10 11 | steps 12 err 0 end 1"},
        {kMain, {.format = YV12}, "P", "320x240 0 1 2 3 4 5 6 7 8 9 | steps 10 err 0 end 1"},
        {kBFrames, {.format = I420}, "P", "176x144 0 1 2 3 4 5 6 7 8 9 | steps 10 err 0 end 1"},
        {"baseline_slices_176x144.h264", {.format = YV12}, "P", "176x144 0 1 2 3 4 5 | steps 6 err 0 end 1"},
        {kCropped, {.format = I420}, "P", "202x118 0 1 2 3 4 5 6 7 | steps 8 err 0 end 1"},
        {kTiny, {.format = YV12}, "P", "6x2 0 1 | steps 2 err 0 end 1"},
        // The stream's own matrix (BT.709) chooses the conversion, not BT.601.
        {"baseline_bt709_128x96.h264", {.format = RGB24}, "P", "128x96 0 1 2 3 | steps 4 err 0 end 1"},
        {"baseline_fullrange_128x96.h264", {.format = FULL}, "P", "128x96 0 1 2 3 | steps 4 err 0 end 1"},
        {kBase, {.format = I420, .scaling = 1}, "P", "88x72 0 1 2 3 4 5 6 7 8 9 10 11 | steps 12 err 0 end 1"},
        {kCropped, {.format = FULL, .scaling = 1}, "P", "101x59 0 1 2 3 4 5 6 7 | steps 8 err 0 end 1"},
        {kCropped, {.format = RGB32, .scaling = 2}, "P", "50x29 0 1 2 3 4 5 6 7 | steps 8 err 0 end 1"},
        // 6 x 2 quarters to 1 x 0: announced without bytes.
        {kTiny, {.format = RGB24, .scaling = 2}, "P", "1x0 - - | steps 2 err 0 end 1"},
        // Decoding never asks for a record that is not queued, whatever waits.
        {kCropped, {.threshold = 16}, "P", "202x118 0 1 2 3 4 5 6 7 | steps 8 err 0 end 1"},
        {kBase, {}, "E", "none | steps 1 err 0 end 1"},
        // A reset keeps the parameter sets; a seek to the next IDR picture.
        {kMain, {}, "H R0 S E", "320x240 0 1 2 3 4 5 6 7 8 9 | steps 10 err 0 end 1"},
        {kBase, {}, "H S0-3 F S6- E", "176x144 0 6 7 8 9 10 11 | steps 8 err 0 end 1"},
        // A spoiled unit fails its step once; decoding goes on, intact again
        // from the next IDR picture on. A unit announced too large to hold is
        // not read.
        {kBase, {}, "X3 P", "176x144 0 1 2 x x 6 7 8 9 10 11 | steps 11 err 1 end 1"},
        {kBase, {}, "H S0-2 B3 S4- E", "176x144 0 1 2 x x 6 7 8 9 10 11 | steps 11 err 1 end 1"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Harness(row.settings).Run(row.stream, row.ops), row.expected)
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
    reader.queue.push_back(std::nullopt);
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
    EXPECT_EQ(reader.sizeCalls, 0u);
    EXPECT_EQ(decoder->Reserved3() + decoder->Reserved5() + decoder->Reserved7(), 0);
    FreeAVCDecInstance(nullptr);
}

// Cropping on every side reaches the chroma planes at half the offsets; rows
// are taken at the frame's stride.
TEST(DecLibPictureWriter, CropsEverySideOfEveryPlane)
{
    std::unique_ptr<AVFrame, void (*)(AVFrame *)> frame(av_frame_alloc(), [](AVFrame *f) { av_frame_free(&f); });
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
    ASSERT_EQ(sink.pictures.size(), 1u);
    Nal expected; // 10 x 4 luma samples from (2, 2), 5 x 2 chroma samples from (1, 1)
    for (int p = 0; p < 3; ++p)
        for (int y = p ? 1 : 2; y < (p ? 3 : 6); ++y)
            for (int x = p ? 1 : 2; x < (p ? 6 : 12); ++x)
                expected.push_back(uint8_t(p * 100 + y * 16 + x));
    EXPECT_EQ(sink.pictures[0].width * 100 + sink.pictures[0].height, 1004u);
    EXPECT_EQ(sink.pictures[0].I420(), expected);
    EXPECT_TRUE(sink.errors.empty());
}

} // namespace
} // namespace declib_test

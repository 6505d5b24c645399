// CMyDecoder11 on its own: what it learns from the parameter sets, the output
// format it picks, the decoder's lifetime, the reader over queued samples,
// the writer building picture records, and the back-pressure wait of a step.
#include "sample_pool.h"

#include "H264DecodeFilter/MyDecoder11.h"
#include "MyQuickTimeAPIs/MySampleDescription.h"
#include "support/annexb.h"
#include "support/debug_capture.h"
#include "support/h264_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <future>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace wrapper_test;
using namespace orvex::test;

namespace {

using Bytes = std::vector<uint8_t>;

// A real stream, its units grouped into samples as a movie holds them.
const H264Stream &Stream()
{
    static const H264Stream stream = parseAnnexB(readFileBytes(ORVEX_TEST_DATA_DIR "/decoder/baseline_176x144.h264"));
    return stream;
}

// An image description without extensions: the video signal comes from the sets.
const CMyImageDescription *Description()
{
    static const auto description = [] {
        std::vector<BYTE> bytes(86, 0);
        const DWORD size = 86; // host order, as GetMediaSampleDescription leaves it
        std::memcpy(bytes.data(), &size, sizeof size);
        return std::make_unique<CMyImageDescription>(bytes.data(), DWORD(bytes.size()));
    }();
    return description.get();
}

HRESULT SetSets(CMyDecoder11 &decoder, const Bytes &sps, const Bytes &pps = buildPps({}))
{
    return decoder.SetParameterSets(sps.data(), WORD(sps.size()), pps.data(), WORD(pps.size()), Description());
}

// 322 x 242 of 336 x 256, full range, with its colours.
const SpsFields kFullRange{.pic_width_in_mbs_minus1 = 20,
                           .pic_height_in_map_units_minus1 = 15,
                           .frame_cropping_flag = true,
                           .frame_crop_right_offset = 7,
                           .frame_crop_bottom_offset = 7,
                           .vui = VuiFields{.video_signal_type_present_flag = true,
                                            .video_full_range_flag = true,
                                            .colour_description_present_flag = true,
                                            .colour_primaries = 5,
                                            .transfer_characteristics = 6,
                                            .matrix_coefficients = 6}};

HRESULT SetFormat(CMyDecoder11 &decoder, const GUID &subtype)
{
    CMediaType mt(&MEDIATYPE_Video);
    mt.SetSubtype(&subtype);
    return decoder.SetOutputFormat(&mt);
}

struct Rig {
    CMyInputDataQueue input;
    CMyOutputDataQueue output;
    CMyDecoder11 decoder{&input, &output};
};

// What the wrapper knows, in one line: the display size (or the failure of
// asking), whether it holds both sets, the video signal, the output format,
// the deblocking and scaling modes, whether a decoder is open.
std::string State(const CMyDecoder11 &d)
{
    std::ostringstream out;
    DWORD w = 7, h = 7;
    const HRESULT hr = d.GetDisplaySize(&w, &h);
    const CMyVideoSignalInfo &s = d.GetVideoSignal();
    if (hr == S_OK)
        out << w << 'x' << h;
    else
        out << std::hex << "0x" << hr << std::dec << ' ' << w << 'x' << h;
    out << (d.GetSPS() && d.GetPPS()     ? " sets"
            : !d.GetSPS() && !d.GetPPS() ? " no sets"
                                         : " one set")
        << " signal " << s.m_video_format << '/' << s.m_video_full_range_flag << '/' << s.m_colour_primaries << '/'
        << s.m_transfer_characteristics << '/' << s.m_matrix_coefficients << " format " << d.GetOutputFormatId()
        << " modes " << d.GetDeblockingSkipMode() << d.GetOutputScalingMode() << (d.HasDecoder() ? " open" : "");
    return out.str();
}

TEST(DecoderWrapper, ParameterSetsGiveTheDisplaySizeAndVideoSignal)
{
    const struct {
        SpsFields sps;
        const char *expected;
    } rows[] = {
        {{}, "176x144 sets signal 5/0/2/2/2 format 1 modes 00"},
        {{.pic_width_in_mbs_minus1 = 119,
          .pic_height_in_map_units_minus1 = 67,
          .frame_cropping_flag = true,
          .frame_crop_bottom_offset = 4},
         "1920x1080 sets signal 5/0/2/2/2 format 1 modes 00"},
        {kFullRange, "322x242 sets signal 5/1/5/6/6 format 1 modes 00"},
    };
    for (const auto &row : rows) {
        Rig rig;
        EXPECT_EQ(SetSets(rig.decoder, buildSps(row.sps)), S_OK);
        EXPECT_EQ(State(rig.decoder), row.expected);
    }
    Rig rig;
    EXPECT_EQ(State(rig.decoder), "0x8000ffff 0x0 no sets signal 5/0/2/2/2 format 1 modes 00");
    DWORD w = 0;
    EXPECT_EQ(rig.decoder.GetDisplaySize(nullptr, &w), E_POINTER);
    EXPECT_EQ(rig.decoder.GetDisplaySize(&w, nullptr), E_POINTER);
    // Reset forgets the sets and the signal but keeps the display size.
    ASSERT_EQ(SetSets(rig.decoder, buildSps(kFullRange)), S_OK);
    rig.decoder.ResetStreamInfo();
    EXPECT_EQ(State(rig.decoder), "322x242 no sets signal 5/0/2/2/2 format 1 modes 00");
}

TEST(DecoderWrapper, RefusedSetsFailAndKeepThePairHeldBefore)
{
    const Bytes sps = buildSps({}), pps = buildPps({});
    const struct {
        Bytes sps, pps;
        WORD ppsLength;
        const CMyImageDescription *description;
        HRESULT result;
        const char *trace;
    } rows[] = {
        {buildSps({.profile_idc = 100}), pps, WORD(pps.size()), Description(), E_INVALIDARG,
         "neither Baseline nor Main"},
        {sps, buildPps({.entropy_coding_mode_flag = true}), WORD(pps.size()), Description(), E_INVALIDARG, "CABAC"},
        {Bytes(sps.begin(), sps.begin() + 3), pps, WORD(pps.size()), Description(), E_INVALIDARG,
         "ends before its fields"},
        {Bytes{0x67}, pps, WORD(pps.size()), Description(), E_INVALIDARG, "CMyDecoder11::SetParameterSets : "},
        {sps, pps, 0, Description(), E_INVALIDARG, "CMyDecoder11::SetParameterSets : "},
        {sps, pps, WORD(pps.size()), nullptr, E_POINTER, ""},
    };
    for (const auto &row : rows) {
        Rig rig;
        ASSERT_EQ(SetSets(rig.decoder, sps, pps), S_OK);
        const CMyH264SPS *sps = rig.decoder.GetSPS();
        DebugCapture capture;
        EXPECT_EQ(rig.decoder.SetParameterSets(row.sps.data(), WORD(row.sps.size()), row.pps.data(), row.ppsLength,
                                               row.description),
                  row.result)
            << row.trace;
        EXPECT_EQ(rig.decoder.GetSPS(), sps);
        EXPECT_EQ(State(rig.decoder), "176x144 sets signal 5/0/2/2/2 format 1 modes 00");
        EXPECT_TRUE(!*row.trace || capture.contains(row.trace)) << row.trace;
    }
    Rig rig;
    EXPECT_EQ(rig.decoder.SetParameterSets(nullptr, 4, pps.data(), 4, Description()), E_POINTER);
    EXPECT_EQ(rig.decoder.SetParameterSets(sps.data(), 4, nullptr, 4, Description()), E_POINTER);
    EXPECT_EQ(State(rig.decoder), "0x8000ffff 0x0 no sets signal 5/0/2/2/2 format 1 modes 00");
}

TEST(DecoderWrapper, OutputFormatFollowsTheSubtypeAndTheStreamsRange)
{
    const struct {
        const GUID *subtype;
        LONG limitedRange, fullRange;
    } rows[] = {{&MEDIASUBTYPE_YV12, 1, 1},
                {&MEDIASUBTYPE_IYUV, 0, 0},
                {&MEDIASUBTYPE_RGB32, 5, 7},
                {&MEDIASUBTYPE_RGB24, 6, 7}};
    for (const auto &row : rows) {
        Rig limited, full;
        ASSERT_EQ(SetSets(limited.decoder, buildSps({})), S_OK);
        ASSERT_EQ(SetSets(full.decoder, buildSps(kFullRange)), S_OK);
        EXPECT_EQ(SetFormat(limited.decoder, *row.subtype), S_OK);
        EXPECT_EQ(SetFormat(full.decoder, *row.subtype), S_OK);
        EXPECT_EQ(limited.decoder.GetOutputFormatId() * 10 + full.decoder.GetOutputFormatId(),
                  row.limitedRange * 10 + row.fullRange);
    }
    // Other subtypes keep the format; modes are 0 to 2; an open decoder
    // takes a new format.
    Rig rig;
    ASSERT_EQ(SetFormat(rig.decoder, MEDIASUBTYPE_RGB24), S_OK);
    for (const GUID *other : {&MEDIASUBTYPE_Avi, &MEDIASUBTYPE_ARGB32, &GUID_NULL})
        EXPECT_EQ(SetFormat(rig.decoder, *other), VFW_E_TYPE_NOT_ACCEPTED);
    EXPECT_EQ(rig.decoder.SetOutputFormat(nullptr), E_POINTER);
    std::string modes;
    for (LONG mode : {0, 1, 2, 3, -1, 0x7FFFFFFF})
        modes += std::to_string(rig.decoder.SetDeblockingSkipMode(mode) == S_OK) +
                 std::to_string(rig.decoder.SetOutputScalingMode(mode) == S_OK);
    EXPECT_EQ(modes, "111111000000");
    EXPECT_EQ(rig.decoder.SetOutputScalingMode(1), S_OK);
    ASSERT_EQ(SetSets(rig.decoder, buildSps({})), S_OK);
    ASSERT_TRUE(rig.decoder.CreateDecoder());
    ASSERT_TRUE(rig.decoder.CreateDecoder()) << "opening again replaces the instance";
    EXPECT_EQ(SetFormat(rig.decoder, MEDIASUBTYPE_RGB32), S_OK);
    EXPECT_EQ(State(rig.decoder), "176x144 sets signal 5/0/2/2/2 format 5 modes 21 open");
    rig.decoder.FreeDecoder();
    EXPECT_EQ(State(rig.decoder), "176x144 sets signal 5/0/2/2/2 format 5 modes 21");
}

TEST(DecoderWrapper, LifetimeOfTheDecoderAndTheInput)
{
    SamplePool pool(2, 64);
    Rig rig;
    EXPECT_EQ(rig.decoder.DecodeHeader(), 0) << "no instance";
    rig.decoder.FreeDecoder(); // nothing to free, but the input is aborted
    rig.decoder.StartInput();
    // Without a decoder a step fails and drops the sample it read.
    rig.input.PushSample(pool.Make(LengthPrefixed({{0x65, 1}, {0x65, 2}})).get());
    uint32_t size = 0;
    int32_t status = 0;
    ASSERT_EQ(rig.decoder.GetDataSize(&size, &status), 4);
    EXPECT_EQ(pool.FreeCount(), 1);
    EXPECT_EQ(rig.decoder.DecodeFrame(), -1);
    EXPECT_EQ(pool.FreeCount(), 2);
    // Freeing aborts the input; starting it again resets that.
    ASSERT_TRUE(rig.decoder.CreateDecoder());
    rig.input.PushSample(pool.Make(LengthPrefixed({{0x65, 1}})).get());
    rig.decoder.FreeDecoder();
    EXPECT_EQ(rig.input.WaitPop(), nullptr) << "aborted";
    rig.decoder.StartInput();
    EXPECT_NE(rig.input.WaitPop(), nullptr);
    rig.decoder.AbortInput();
    EXPECT_EQ(rig.input.TryPop(), nullptr);
    rig.decoder.StartInput();
    // Destroying the wrapper frees an open decoder and the sample it holds.
    {
        CMyDecoder11 decoder(&rig.input, &rig.output);
        ASSERT_TRUE(decoder.CreateDecoder());
        rig.input.PushSample(pool.Make(LengthPrefixed({{0x65, 1}, {0x65, 2}})).get());
        ASSERT_EQ(decoder.GetDataSize(&size, &status), 4);
    }
    EXPECT_EQ(pool.FreeCount(), 2);
}

// --- reader ---------------------------------------------------------------------------

// Drives the reader side as the library does: "p" queues the next of the
// samples, "g" is GetDataSize ("4/SIZE" or "0/sSTATUS"; "!" when it wrote
// the other value), "rN" is ReadData of N bytes into a fresh buffer ("=COUNT"
// and the buffer's bytes up to one beyond), "f" the pool's free buffers, "n"
// the queued records, "e" queues the end of the stream, "a" aborts the input,
// "s" starts it again, "x" flushes.
std::string Reads(const std::vector<Bytes> &samples, const std::string &ops)
{
    SamplePool pool(LONG(samples.size()) + 1, 128);
    Rig rig;
    size_t next = 0;
    std::ostringstream out;
    std::string op;
    const std::map<std::string, std::function<void()>> run = {
        {"p", [&] { rig.input.PushSample(pool.Make(samples.at(next++)).get()); }}, // the queue's record holds it
        {"g",
         [&] {
             uint32_t size = 0xAAAAAAAA;
             int32_t status = 0x5555;
             const int32_t result = rig.decoder.GetDataSize(&size, &status);
             if (result == 4)
                 out << "4/" << size << (status != 0x5555 ? "! " : " ");
             else
                 out << result << "/s" << status << (size != 0xAAAAAAAA ? "! " : " ");
         }},
        {"f", [&] { out << "free=" << pool.FreeCount() << ' '; }},
        {"n", [&] { out << "n=" << rig.input.GetCount() << ' '; }},
        {"e", [&] { rig.input.PushEndOfStream(); }},
        {"a", [&] { rig.decoder.AbortInput(); }},
        {"s", [&] { rig.decoder.StartInput(); }},
        {"x", [&] { rig.decoder.Flush(); }},
    };
    std::istringstream in(ops);
    while (in >> op) {
        if (op[0] != 'r') {
            run.at(op)();
            continue;
        }
        const uint32_t n = uint32_t(std::stoul(op.substr(1)));
        Bytes buffer(n + 1, 0xEE);
        const int32_t count = rig.decoder.ReadData(buffer.data(), n, 0);
        out << '=' << count;
        for (int32_t i = 0; i <= count && i <= int32_t(n); ++i)
            out << ' ' << std::hex << int(buffer[size_t(i)]) << std::dec;
        out << ' ';
    }
    return out.str();
}

TEST(DecoderWrapperReader, HandsOutTheQueuedUnitsOneByOne)
{
    const struct {
        const char *name;
        std::vector<Bytes> samples;
        const char *ops, *expected;
    } rows[] = {
        // The empty sample is used up at once, each other one after its last
        // unit; nothing queued is "no more input" at once, the end-of-stream
        // marker is used up.
        {"records of zero, one and three units",
         {{}, LengthPrefixed({{0x65, 1, 2, 3, 4}}), LengthPrefixed({{0x41, 1}, {0x41, 2, 2}, {0x41, 3, 3, 3}})},
         "p p p g f r5 f g r2 f g r3 f g r4 f g e g n g",
         "4/5 free=2 =5 65 1 2 3 4 ee free=3 4/2 =2 41 1 ee free=3 4/3 =3 41 2 2 ee free=3 4/4 =4 41 3 3 3 ee free=4 "
         "0/s6 0/s5 n=0 0/s6 "},
        {"records added after no more input", {LengthPrefixed({{0x65, 9}})}, "g p g", "0/s6 4/2 "},
        {"aborted input", {LengthPrefixed({{0x65, 9}})}, "p a g n s g", "0/s6 n=1 4/2 "},
        {"samples without complete units are skipped",
         {{}, {0, 0, 1}, {0, 0, 0, 9, 1, 2}, LengthPrefixed({{0x65, 7, 7}})},
         "p p p p g f",
         "4/3 free=4 "},
        {"a unit of length 0", {LengthPrefixed({{}, {0x65, 1}})}, "p g r0 g", "4/0 =0 ee 4/2 "},
        // A larger request gets the unit and a short count, a smaller one what it asked for.
        {"requests beyond and within the unit",
         {LengthPrefixed({{0x65, 1, 2}, {0x41, 0x99, 0x99}})},
         "p g r64 g r2",
         "4/3 =3 65 1 2 ee 4/3 =2 41 99 ee "},
        {"a read without an announced unit", {}, "r8", "=0 ee "},
        {"a flush drops the partly read sample",
         {LengthPrefixed({{0x65, 1}, {0x65, 2}})},
         "p g r2 f x f g",
         "4/2 =2 65 1 ee free=1 free=2 0/s6 "},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Reads(row.samples, row.ops), row.expected) << row.name;
    Rig rig;
    EXPECT_EQ(rig.decoder.GetDataSize(nullptr, nullptr), 0);
}

// --- writer ---------------------------------------------------------------------------

int32_t Status(CMyDecoder11 &decoder, uint32_t status)
{
    OrvexIPP::WriterStatus info{status, 0, 0, 0};
    return decoder.SetStatus(&info);
}

int32_t Write(CMyDecoder11 &decoder, const Bytes &bytes)
{
    return decoder.WriteData(bytes.data(), uint32_t(bytes.size()));
}

// A wrapper that knows a 6 x 2 display, from parameter sets built here.
struct WriterRig : Rig {
    // One macroblock less 5 column pairs and 7 row pairs.
    WriterRig()
    {
        EXPECT_EQ(SetSets(decoder, buildSps({.pic_width_in_mbs_minus1 = 0,
                                             .pic_height_in_map_units_minus1 = 0,
                                             .frame_cropping_flag = true,
                                             .frame_crop_right_offset = 5,
                                             .frame_crop_bottom_offset = 7})),
                  S_OK);
    }
};

// Calls the writer side as the library does: "sN" is SetStatus(N), "wN:V"
// writes N bytes of value V, "q" notes how many records are queued. Gives the
// notes and every queued record as "fFORMAT WxH" and its pixel bytes run by
// run ("12*1" is twelve bytes of 1).
std::string Written(WriterRig &rig, const std::string &calls)
{
    std::ostringstream out;
    std::istringstream in(calls);
    for (std::string call; in >> call;) {
        if (call == "q") {
            out << "q" << rig.output.GetCount() << ' ';
        } else if (call[0] == 's') {
            Status(rig.decoder, uint32_t(std::stoul(call.substr(1))));
        } else {
            const size_t colon = call.find(':');
            Write(rig.decoder,
                  Bytes(std::stoul(call.substr(1, colon - 1)), uint8_t(std::stoul(call.substr(colon + 1)))));
        }
    }
    while (rig.output.GetCount() > 0) {
        const auto record = rig.output.WaitPop();
        out << "f" << record->GetFormat() << ' ' << record->GetWidth() << 'x' << record->GetHeight();
        const BYTE *p = record->GetPixels().GetData();
        for (size_t i = 0, n = record->GetPixels().GetSize(); i < n;) {
            size_t run = 1;
            while (i + run < n && p[i + run] == p[i])
                ++run;
            out << ' ' << run << '*' << int(p[i]);
            i += run;
        }
        out << ' ';
    }
    return out.str();
}

TEST(DecoderWrapperWriter, RecordsByFormat)
{
    const struct {
        const GUID *subtype;
        const char *calls, *expected;
    } rows[] = {
        // YV12: planes Y, V, U; queued only when complete.
        {nullptr, "s1 w6:1 w6:1 s3 w3:2 s4 w3:3 q s2", "q0 f1 6x2 12*1 3*3 3*2 "},
        {&MEDIASUBTYPE_IYUV, "s1 w12:1 s3 w3:2 s4 w3:3 s2", "f0 6x2 12*1 3*2 3*3 "},
        // Packed: bytes beyond the picture and chroma planes are dropped.
        {&MEDIASUBTYPE_RGB32, "s1 w58:7 s3 w5:9 s2", "f5 6x2 48*7 "},
        {&MEDIASUBTYPE_RGB24, "s1 w46:7 s3 w5:9 s2", "f6 6x2 36*7 "},
        // An unfinished picture is replaced by the next.
        {nullptr, "s1 w12:1 s1 w12:2 s2", "f1 6x2 12*2 6*0 "},
        // Calls out of order queue nothing; a picture completed twice is queued once.
        {nullptr, "s2 w4:1 s3 w4:1 s99 w4:1 q s1 s2 s2", "q0 f1 6x2 18*0 "},
    };
    for (const auto &row : rows) {
        WriterRig rig;
        if (row.subtype) {
            ASSERT_EQ(SetFormat(rig.decoder, *row.subtype), S_OK);
        }
        EXPECT_EQ(Written(rig, row.calls), row.expected) << row.calls;
        EXPECT_EQ(rig.decoder.SetStatus(nullptr), 0);
        EXPECT_EQ(rig.decoder.WriteData(nullptr, 5), 0);
    }
}

TEST(DecoderWrapperWriter, LaterPicturesFollowANewFormat)
{
    WriterRig rig;
    Status(rig.decoder, 1);
    Status(rig.decoder, 2);
    ASSERT_EQ(SetFormat(rig.decoder, MEDIASUBTYPE_RGB24), S_OK);
    EXPECT_EQ(Written(rig, "s1 s2"), "f1 6x2 18*0 f6 6x2 36*0 ");
}

// A decoder over a real stream with its instance created and its header read
// from the two parameter-set samples, as the filter starts streaming.
struct StreamRig : Rig {
    explicit StreamRig(const H264Stream &movie) : pool(LONG(movie.accessUnits.size()) + 4, 16384)
    {
        EXPECT_EQ(SetSets(decoder, movie.sps, movie.pps), S_OK);
        EXPECT_TRUE(decoder.CreateDecoder());
        SamplePtr sps = pool.Make(LengthPrefixed({movie.sps}), kSpsStreamId);
        SamplePtr pps = pool.Make(LengthPrefixed({movie.pps}), kPpsStreamId);
        input.PushSample(sps.get());
        input.PushSample(pps.get());
        EXPECT_EQ(decoder.DecodeHeader(), 1);
    }
    ~StreamRig()
    {
        output.Abort();
        decoder.FreeDecoder();
        input.Clear();
        output.ClearAll();
    }
    void Push(const H264Stream &movie, size_t count)
    {
        for (size_t i = 0; i < count; ++i)
            input.PushSample(pool.Make(movie.accessUnits[i].sample).get());
    }
    void FillOutput(int records)
    {
        for (int i = 0; i < records; ++i)
            output.PushNewSegment(0, 0, 1.0);
    }
    SamplePool pool;
};

// A step runs with ten pictures queued; with more it waits until one is
// taken, or ends without decoding when the decoder is freed.
TEST(DecoderWrapperDecodeFrame, WaitsForRoomInTheOutputQueue)
{
    const H264Stream &movie = Stream();
    for (const int queued : {10, 11, -11}) {
        StreamRig rig(movie);
        rig.Push(movie, 2);
        rig.FillOutput(queued < 0 ? -queued : queued);
        auto step = std::async(std::launch::async, [&] { return rig.decoder.DecodeFrame(); });
        if (queued == 11) {
            EXPECT_TRUE(rig.output.WaitPop());
        }
        if (queued < 0) rig.decoder.FreeDecoder();
        const LONG result = step.get();
        if (queued < 0)
            EXPECT_EQ(std::to_string(result) + " " + std::to_string(rig.input.GetCount()) + " " +
                          std::to_string(rig.output.GetCount()),
                      "0 2 11");
        else
            EXPECT_TRUE(result >= 0 && rig.input.GetCount() < 2) << queued << " queued: the step read its sample";
    }
}

TEST(DecoderWrapperDecodeFrame, EndOfStreamQueuesEveryPictureThenExactlyOneEndRecord)
{
    const H264Stream &movie = Stream();
    StreamRig rig(movie);
    rig.Push(movie, movie.accessUnits.size());
    rig.input.PushEndOfStream();
    int pictures = 0, ends = 0;
    LONG result = 0;
    for (int guard = 0; guard < 1000 && result != 2; ++guard) {
        result = rig.decoder.DecodeFrame();
        while (rig.output.GetCount() > 0) {
            auto record = rig.output.WaitPop();
            pictures += record->GetKind() == CMyOutputData::kPicture;
            ends += record->GetKind() == CMyOutputData::kEndOfStream;
        }
    }
    EXPECT_EQ(result, 2);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(pictures, int(movie.accessUnits.size()));
    // The library was reset: a further step finds no input and ends nothing.
    EXPECT_NE(rig.decoder.DecodeFrame(), 2);
    EXPECT_EQ(rig.output.GetCount(), 0u);
}

TEST(DecoderWrapperDecodeFrame, DecodeHeaderFailsWithoutThePictureParameterSet)
{
    const H264Stream &movie = Stream();
    Rig rig;
    ASSERT_EQ(SetSets(rig.decoder, movie.sps, movie.pps), S_OK);
    ASSERT_TRUE(rig.decoder.CreateDecoder());
    SamplePool pool(2, LONG(movie.sps.size() + 64));
    rig.input.PushSample(pool.Make(LengthPrefixed({movie.sps}), kSpsStreamId).get());
    EXPECT_EQ(rig.decoder.DecodeHeader(), 0) << "answered at once, without waiting for more";
    rig.decoder.FreeDecoder();
    rig.input.Clear();
}

} // namespace

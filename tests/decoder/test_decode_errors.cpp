// Bad input and misuse: corrupt units in the middle of a stream (the step
// reports -1 and decoding goes on), units whose announced size is wrong,
// empty units and records, refused parameter sets and parameters, and calls
// out of order.
#include "support/h264_writer.h"
#include "declib_harness.h"
#include "support/ffmpeg_reference.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace declib_test {
namespace {

// baseline_176x144 has IDR pictures at 0 and 6; sample 3 is spoiled.
constexpr size_t kSpoiled = 3;
constexpr size_t kNextIdr = 6;

struct CorruptCase {
    const char *name;
    std::function<void(Sample &)> spoil;
};

class DecLibCorruptUnit : public testing::TestWithParam<CorruptCase> {};

TEST_P(DecLibCorruptUnit, StepFailsOnceAndDecodingGoesOn)
{
    const std::string name = "baseline_176x144.h264";
    auto stream = LoadStream(name);
    const auto &reference = referenceMd5s(StreamPath(name));
    GetParam().spoil(stream.samples[kSpoiled]);
    Harness h;
    h.Play(stream);
    EXPECT_EQ(h.Count(AVCD_DECODE_ERROR), 1u);
    EXPECT_EQ(h.Count(AVCD_DECODE_END_OF_STREAM), 1u);
    EXPECT_FALSE(h.Reader().OverRead());
    EXPECT_TRUE(h.Sink().Errors().empty());
    const auto md5s = Md5sOf(h);
    // One picture per sample but the spoiled one; the pictures before it are
    // intact, and so is everything from the next IDR picture on.
    ASSERT_EQ(md5s.size(), reference.size() - 1);
    EXPECT_EQ(Range(md5s, 0, kSpoiled), Range(reference, 0, kSpoiled));
    EXPECT_EQ(Range(md5s, kNextIdr - 1, md5s.size()), Range(reference, kNextIdr, reference.size()));
}

INSTANTIATE_TEST_SUITE_P(Kinds, DecLibCorruptUnit,
                         testing::Values(CorruptCase{"ForbiddenBit", [](Sample &s) { s[0][0] |= 0x80; }},
                                         CorruptCase{"UnknownPictureParameterSet",
                                                     [](Sample &s) {
                                                         orvex::test::SliceFields f;
                                                         f.pic_parameter_set_id = 9;
                                                         s[0] =
                                                             orvex::test::buildSlice(f, {.pic_order_cnt_type = 0}, {});
                                                     }},
                                         CorruptCase{"SliceTypeOutOfRange",
                                                     [](Sample &s) {
                                                         orvex::test::BitWriter w;
                                                         w.ue(0).ue(23).ue(0).bits(0x1234, 16).trailingBits();
                                                         s[0] = orvex::test::makeNalUnit(0x41, w.bytes());
                                                     }},
                                         CorruptCase{"HeaderOnly", [](Sample &s) { s[0].resize(1); }},
                                         CorruptCase{"Zeros",
                                                     [](Sample &s) {
                                                         s[0] = Nal(40, 0);
                                                         s[0][0] = 0x41;
                                                     }},
                                         CorruptCase{"GarbageUnitBeforeTheSlice",
                                                     [](Sample &s) {
                                                         Nal garbage{0x41};
                                                         for (int i = 0; i < 64; ++i)
                                                             garbage.push_back(static_cast<uint8_t>(i * 37 + 11));
                                                         garbage[1] = 0x00; // first_mb_in_slice far beyond the picture
                                                         s.insert(s.begin(), garbage);
                                                     }}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(DecLibCorruptUnit, InsideAPictureKeepsItsGoodSlices)
{
    const std::string name = "baseline_slices_176x144.h264";
    auto stream = LoadStream(name);
    const auto &reference = referenceMd5s(StreamPath(name));
    ASSERT_EQ(stream.samples[2].size(), 3u);
    stream.samples[2][1][0] |= 0x80;
    Harness h;
    h.Play(stream);
    EXPECT_EQ(h.Count(AVCD_DECODE_ERROR), 1u);
    const auto md5s = Md5sOf(h);
    // The spoiled picture is written from the slice before the bad one, the
    // rest of its sample is dropped, and the pictures after it follow.
    ASSERT_EQ(md5s.size(), reference.size());
    EXPECT_EQ(Range(md5s, 0, 2), Range(reference, 0, 2));
    EXPECT_NE(md5s[2], reference[2]);
}

TEST(DecLibCorruptUnit, DamagedSliceDataIsConcealedWithoutAFailure)
{
    const std::string name = "baseline_176x144.h264";
    auto stream = LoadStream(name);
    const auto &reference = referenceMd5s(StreamPath(name));
    Nal &slice = stream.samples[kSpoiled][0];
    for (size_t i = slice.size() / 2; i < slice.size(); ++i)
        slice[i] = static_cast<uint8_t>(0x5A ^ i);
    Harness h;
    h.Play(stream);
    const auto md5s = Md5sOf(h);
    ASSERT_EQ(md5s.size(), reference.size());
    EXPECT_EQ(Range(md5s, 0, kSpoiled), Range(reference, 0, kSpoiled));
    EXPECT_EQ(Range(md5s, kNextIdr, md5s.size()), Range(reference, kNextIdr, reference.size()));
}

TEST(DecLibAnnouncedSize, TooLargeToHoldFailsTheStepWithoutReadingIt)
{
    const std::string name = "baseline_176x144.h264";
    const auto stream = LoadStream(name);
    const auto &reference = referenceMd5s(StreamPath(name));
    Harness h;
    ASSERT_EQ(h.SendHeader(stream.sps, stream.pps), 1);
    for (size_t i = 0; i < stream.samples.size(); ++i) {
        Record record = MakeRecord(stream.samples[i]);
        if (i == kSpoiled) record.units[0].announcedSize = 0xFFFF'FFFFu;
        h.Receive(record);
    }
    h.EndOfStream();
    EXPECT_EQ(h.Count(AVCD_DECODE_ERROR), 1u);
    size_t units = 2; // the header
    for (const Sample &s : stream.samples)
        units += s.size();
    EXPECT_EQ(h.Reader().UnitsRead(), units - 1); // all but the spoiled one
    const auto md5s = Md5sOf(h);
    ASSERT_EQ(md5s.size(), reference.size() - 1);
    EXPECT_EQ(Range(md5s, kNextIdr - 1, md5s.size()), Range(reference, kNextIdr, reference.size()));
}

TEST(DecLibAnnouncedSize, ShortReadMarksTheUnitCorrupt)
{
    const std::string name = "baseline_176x144.h264";
    const auto stream = LoadStream(name);
    Harness h;
    ASSERT_EQ(h.SendHeader(stream.sps, stream.pps), 1);
    for (size_t i = 0; i < stream.samples.size(); ++i) {
        Record record = MakeRecord(stream.samples[i]);
        if (i == kSpoiled) record.units[0].announcedSize = static_cast<uint32_t>(record.units[0].bytes.size() + 10);
        h.Receive(record);
    }
    h.EndOfStream();
    EXPECT_EQ(h.Count(AVCD_DECODE_ERROR), 1u);
    EXPECT_EQ(h.Sink().Pictures().size(), stream.samples.size() - 1);
}

TEST(DecLibEmptyInput, EmptyUnitsAndRecordsAndSeiOnlySamplesChangeNothing)
{
    const std::string name = "baseline_176x144.h264";
    const auto stream = LoadStream(name);
    Harness h;
    ASSERT_EQ(h.SendHeader(stream.sps, stream.pps), 1);
    const Nal sei{0x06, 0x05, 0x01, 0x00, 0x80};
    for (size_t i = 0; i < stream.samples.size(); ++i) {
        Record record = MakeRecord(stream.samples[i]);
        if (i == 2) record.units.insert(record.units.begin(), Unit{Nal{}, std::nullopt});
        if (i == 4) record.units.push_back(Unit{Nal{}, std::nullopt});
        h.Receive(record);
        if (i == 5) h.Receive(Record{});
        if (i == 7) h.Receive(MakeRecord(sei));
    }
    h.EndOfStream();
    EXPECT_EQ(h.Count(AVCD_DECODE_ERROR), 0u);
    EXPECT_FALSE(h.Reader().OverRead());
    EXPECT_EQ(Md5sOf(h), referenceMd5s(StreamPath(name)));
}

struct HeaderCase {
    const char *name;
    std::function<void(QueueReader &, const AnnexBStream &)> queue;
};

class DecLibDecodeHeaderRefusal : public testing::TestWithParam<HeaderCase> {};

TEST_P(DecLibDecodeHeaderRefusal, FailsAndAGoodHeaderStillWorksAfterwards)
{
    const std::string name = "main_cavlc_320x240.h264";
    const auto stream = LoadStream(name);
    Harness h;
    GetParam().queue(h.Reader(), stream);
    // Where the records run out the reader answers "no more input".
    h.Reader().SetAborted(true);
    EXPECT_EQ(h.Decoder().DecodeHeader(), AVCD_RESULT_FAILURE);
    h.Reader().SetAborted(false);
    h.Flush();
    EXPECT_EQ(h.SendHeader(stream.sps, stream.pps), AVCD_RESULT_SUCCESS);
    for (const Sample &s : stream.samples)
        h.Receive(MakeRecord(s));
    h.EndOfStream();
    EXPECT_EQ(Md5sOf(h), referenceMd5s(StreamPath(name)));
    EXPECT_FALSE(h.Reader().OverRead());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecLibDecodeHeaderRefusal,
    testing::Values(HeaderCase{"GarbageSps",
                               [](QueueReader &r, const AnnexBStream &s) {
                                   r.Push(MakeRecord(Nal{0x67, 0x00}));
                                   r.Push(MakeRecord(s.pps));
                               }},
                    HeaderCase{"PpsBeforeItsSps",
                               [](QueueReader &r, const AnnexBStream &s) {
                                   r.Push(MakeRecord(s.pps));
                                   r.Push(MakeRecord(s.sps));
                               }},
                    HeaderCase{"PpsOfAnotherSps",
                               [](QueueReader &r, const AnnexBStream &s) {
                                   orvex::test::PpsFields f;
                                   f.seq_parameter_set_id = 5;
                                   r.Push(MakeRecord(s.sps));
                                   r.Push(MakeRecord(orvex::test::buildPps(f)));
                               }},
                    HeaderCase{"SliceFirst",
                               [](QueueReader &r, const AnnexBStream &s) {
                                   r.Push(MakeRecord(s.samples[0]));
                                   r.Push(MakeRecord(s.samples[1]));
                               }},
                    HeaderCase{"NothingQueued", [](QueueReader &, const AnnexBStream &) {}},
                    HeaderCase{"OnlyTheSps", [](QueueReader &r, const AnnexBStream &s) { r.Push(MakeRecord(s.sps)); }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(DecLibDecodeHeader, SeiBeforeTheSetsIsKeptForThePicture)
{
    const std::string name = "baseline_176x144.h264";
    const auto stream = LoadStream(name);
    Harness h;
    h.Reader().Push(MakeRecord(Sample{Nal{0x06, 0x05, 0x01, 0x00, 0x80}, stream.sps}));
    h.Reader().Push(MakeRecord(stream.pps));
    EXPECT_EQ(h.Decoder().DecodeHeader(), AVCD_RESULT_SUCCESS);
    EXPECT_EQ(h.Reader().QueuedRecords(), 0u);
    for (const Sample &s : stream.samples)
        h.Receive(MakeRecord(s));
    h.EndOfStream();
    EXPECT_EQ(Md5sOf(h), referenceMd5s(StreamPath(name)));
}

struct ParamCase {
    int32_t id;
    int64_t value;
    int32_t result;
};

class DecLibParameters : public testing::TestWithParam<ParamCase> {};

TEST_P(DecLibParameters, AcceptsKnownIdsAndValuesOnly)
{
    DecoderPtr decoder(CreateAVCDecInstance());
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->SetParam(GetParam().id, GetParam().value), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DecLibParameters,
    testing::Values(ParamCase{AVCD_PARAM_OUTPUT_FORMAT, 0, 1}, ParamCase{AVCD_PARAM_OUTPUT_FORMAT, 1, 1},
                    ParamCase{AVCD_PARAM_OUTPUT_FORMAT, 5, 1}, ParamCase{AVCD_PARAM_OUTPUT_FORMAT, 6, 1},
                    ParamCase{AVCD_PARAM_OUTPUT_FORMAT, 7, 1}, ParamCase{AVCD_PARAM_OUTPUT_FORMAT, 2, 0},
                    ParamCase{AVCD_PARAM_OUTPUT_FORMAT, 3, 0}, ParamCase{AVCD_PARAM_OUTPUT_FORMAT, 4, 0},
                    ParamCase{AVCD_PARAM_OUTPUT_FORMAT, 8, 0}, ParamCase{AVCD_PARAM_OUTPUT_FORMAT, -1, 0},
                    ParamCase{AVCD_PARAM_OUTPUT_FORMAT, 0x1'0000'0001, 0}, ParamCase{AVCD_PARAM_DEBLOCKING_SKIP, 0, 1},
                    ParamCase{AVCD_PARAM_DEBLOCKING_SKIP, 2, 1}, ParamCase{AVCD_PARAM_DEBLOCKING_SKIP, 3, 0},
                    ParamCase{AVCD_PARAM_DEBLOCKING_SKIP, -1, 0}, ParamCase{AVCD_PARAM_OUTPUT_SCALING, 0, 1},
                    ParamCase{AVCD_PARAM_OUTPUT_SCALING, 2, 1}, ParamCase{AVCD_PARAM_OUTPUT_SCALING, 3, 0},
                    ParamCase{AVCD_PARAM_OUTPUT_SCALING, -2, 0}, ParamCase{2, 0, 0}, ParamCase{4, 0, 0},
                    ParamCase{-1, 0, 0}));

TEST(DecLibParameters, RefusedValueKeepsTheOldOne)
{
    const std::string name = "baseline_176x144.h264";
    Settings settings;
    settings.scaling = AVCD_OUTPUT_SCALING_HALF;
    Harness h(settings);
    ASSERT_TRUE(h.Ready());
    EXPECT_EQ(h.Decoder().SetParam(AVCD_PARAM_OUTPUT_SCALING, 5), 0);
    EXPECT_EQ(h.Decoder().SetParam(AVCD_PARAM_OUTPUT_FORMAT, 3), 0);
    h.Play(LoadStream(name));
    ASSERT_FALSE(h.Sink().Pictures().empty());
    EXPECT_EQ(h.Sink().Pictures()[0].width, 88u);
    EXPECT_FALSE(h.Sink().Pictures()[0].y.empty());
}

class NullReader : public OrvexIPP::AbstractReader {
public:
    int32_t GetDataSize(uint32_t *, int32_t *) override
    {
        ++calls;
        return 0;
    }
    int32_t ReadData(uint8_t *, uint32_t, int32_t) override { return 0; }
    int calls = 0;
};

TEST(DecLibContract, InitializeNeedsBothCallbacks)
{
    DecoderPtr decoder(CreateAVCDecInstance());
    ASSERT_TRUE(decoder);
    NullReader reader;
    PictureSink sink(false);
    EXPECT_EQ(decoder->Initialize(nullptr, &sink), AVCD_RESULT_FAILURE);
    EXPECT_EQ(decoder->Initialize(&reader, nullptr), AVCD_RESULT_FAILURE);
    EXPECT_EQ(decoder->Decode(), AVCD_DECODE_ERROR);
    EXPECT_EQ(decoder->Initialize(&reader, &sink), AVCD_RESULT_SUCCESS);
    EXPECT_EQ(decoder->Initialize(&reader, &sink), AVCD_RESULT_SUCCESS); // again, from nothing
}

TEST(DecLibContract, DecodingBeforeInitializeOrAfterCloseTouchesNoReader)
{
    DecoderPtr decoder(CreateAVCDecInstance());
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->Decode(), AVCD_DECODE_ERROR);
    EXPECT_EQ(decoder->DecodeHeader(), AVCD_RESULT_FAILURE);
    decoder->Reset(0);
    NullReader reader;
    PictureSink sink(false);
    ASSERT_EQ(decoder->Initialize(&reader, &sink), AVCD_RESULT_SUCCESS);
    decoder->Close();
    EXPECT_EQ(decoder->Decode(), AVCD_DECODE_ERROR);
    EXPECT_EQ(decoder->DecodeHeader(), AVCD_RESULT_FAILURE);
    decoder->Close();
    EXPECT_EQ(reader.calls, 0);
}

TEST(DecLibContract, ReservedSlotsDoNothingAndFreeAcceptsNull)
{
    DecoderPtr decoder(CreateAVCDecInstance());
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->Reserved3(), 0);
    EXPECT_EQ(decoder->Reserved5(), 0);
    EXPECT_EQ(decoder->Reserved7(), 0);
    FreeAVCDecInstance(nullptr);
}

TEST(DecLibContract, DefaultWriterStatusAnswersZero)
{
    struct Plain : OrvexIPP::AbstractWriter {
        int32_t WriteData(const uint8_t *, uint32_t) override { return 0; }
    } writer;
    const OrvexIPP::WriterStatus info{AVCD_WRITER_STATUS_PICTURE_START, 1, 1, 1};
    EXPECT_EQ(writer.SetStatus(&info), 0);
}

} // namespace
} // namespace declib_test

// How the decoder takes its input and gives its output over a stream's life:
// never reading beyond what is queued, one access unit per step, the drain
// at the end of the stream, "no more input", resets and restarts.
#include "declib_harness.h"
#include "support/ffmpeg_reference.h"

#include <gtest/gtest.h>

#include <string>

namespace declib_test {
namespace {

struct ThresholdCase {
    const char *stream;
    size_t threshold;
};

class DecLibQueuedRecords : public testing::TestWithParam<ThresholdCase> {};

TEST_P(DecLibQueuedRecords, DecodingNeverAsksForARecordThatIsNotQueued)
{
    const auto &c = GetParam();
    Settings settings;
    settings.threshold = c.threshold;
    auto run = DecodeStream(LoadStream(c.stream), settings);
    EXPECT_FALSE(run->Reader().OverRead());
    EXPECT_EQ(run->Count(AVCD_DECODE_END_OF_STREAM), 1u);
    EXPECT_EQ(run->Results().back(), AVCD_DECODE_END_OF_STREAM);
    EXPECT_EQ(run->Count(AVCD_DECODE_ERROR), 0u);
    EXPECT_EQ(Md5sOf(*run), referenceMd5s(StreamPath(c.stream)));
}

INSTANTIATE_TEST_SUITE_P(Thresholds, DecLibQueuedRecords,
                         testing::Values(ThresholdCase{"baseline_176x144.h264", 2},
                                         ThresholdCase{"baseline_176x144.h264", 3},
                                         ThresholdCase{"baseline_slices_176x144.h264", 2},
                                         ThresholdCase{"main_cavlc_bframes_176x144.h264", 2},
                                         ThresholdCase{"main_cavlc_320x240.h264", 4},
                                         ThresholdCase{"baseline_cropped_202x118.h264", 16}),
                         [](const auto &info) {
                             std::string name = info.param.stream;
                             return name.substr(0, name.find('.')) + "_" + std::to_string(info.param.threshold);
                         });

TEST(DecLibDecodeStep, ReadsOneAccessUnitAndTheFirstUnitOfTheNext)
{
    const auto stream = LoadStream("baseline_slices_176x144.h264");
    Harness h;
    ASSERT_EQ(h.SendHeader(stream.sps, stream.pps), 1);
    EXPECT_EQ(h.Reader().UnitsRead(), 2u);
    for (const Sample &s : stream.samples)
        h.Reader().Push(MakeRecord(s));
    size_t read = h.Reader().UnitsRead();
    // Each step: the rest of one picture, then the first slice of the next.
    for (size_t i = 0; i + 1 < stream.samples.size(); ++i) {
        const int32_t result = h.Step();
        EXPECT_TRUE(result == AVCD_DECODE_NO_PICTURE || result == AVCD_DECODE_PICTURE) << "step " << i;
        const size_t expected = (i == 0 ? stream.samples[0].size() : stream.samples[i].size() - 1) + 1;
        EXPECT_EQ(h.Reader().UnitsRead() - read, expected) << "step " << i;
        read = h.Reader().UnitsRead();
    }
    EXPECT_FALSE(h.Reader().OverRead());
}

TEST(DecLibDecodeStep, ReportsWhetherItWrotePictures)
{
    const auto stream = LoadStream("baseline_176x144.h264");
    Harness h;
    ASSERT_EQ(h.SendHeader(stream.sps, stream.pps), 1);
    size_t before = 0;
    for (const Sample &s : stream.samples) {
        h.Reader().Push(MakeRecord(s));
        if (h.Reader().QueuedRecords() < 2) continue;
        const int32_t result = h.Step();
        const size_t now = h.Sink().Pictures().size();
        EXPECT_EQ(result == AVCD_DECODE_PICTURE, now > before);
        EXPECT_EQ(result == AVCD_DECODE_NO_PICTURE, now == before);
        before = now;
    }
}

TEST(DecLibEndOfStream, DrainWritesEveryRemainingPictureAndReportsOnce)
{
    const std::string name = "main_cavlc_bframes_176x144.h264";
    const auto stream = LoadStream(name);
    Harness h;
    ASSERT_EQ(h.SendHeader(stream.sps, stream.pps), 1);
    for (const Sample &s : stream.samples)
        h.Receive(MakeRecord(s));
    const size_t beforeEnd = h.Sink().Pictures().size();
    EXPECT_LT(beforeEnd, stream.samples.size()); // the last ones wait for more input
    h.EndOfStream();
    EXPECT_EQ(h.Results().back(), AVCD_DECODE_END_OF_STREAM);
    EXPECT_EQ(h.Count(AVCD_DECODE_END_OF_STREAM), 1u);
    EXPECT_EQ(Md5sOf(h), referenceMd5s(StreamPath(name)));
    EXPECT_EQ(h.Reader().QueuedRecords(), 0u);
    EXPECT_FALSE(h.Reader().OverRead());
}

TEST(DecLibEndOfStream, WithoutPicturesStillEnds)
{
    const auto stream = LoadStream("baseline_176x144.h264");
    Harness h;
    ASSERT_EQ(h.SendHeader(stream.sps, stream.pps), 1);
    h.Reader().PushEndOfStream();
    EXPECT_EQ(h.Step(), AVCD_DECODE_END_OF_STREAM);
    EXPECT_TRUE(h.Sink().Pictures().empty());

    Harness bare;
    bare.Reader().PushEndOfStream();
    EXPECT_EQ(bare.Step(), AVCD_DECODE_END_OF_STREAM);
    EXPECT_FALSE(bare.Reader().OverRead());
}

TEST(DecLibEndOfStream, TakenByDecodeHeaderEndsTheNextStepWithoutReading)
{
    Harness h;
    h.Reader().PushEndOfStream();
    EXPECT_EQ(h.Decoder().DecodeHeader(), AVCD_RESULT_FAILURE);
    const size_t calls = h.Reader().GetDataSizeCalls();
    EXPECT_EQ(h.Step(), AVCD_DECODE_END_OF_STREAM);
    EXPECT_EQ(h.Reader().GetDataSizeCalls(), calls);
    EXPECT_FALSE(h.Reader().OverRead());
}

TEST(DecLibEndOfStream, TheNextStreamDecodesAfterIt)
{
    const std::string name = "baseline_176x144.h264";
    const auto stream = LoadStream(name);
    const auto &reference = referenceMd5s(StreamPath(name));
    Harness h;
    h.Play(stream);
    h.Play(stream);
    auto expected = reference;
    expected.insert(expected.end(), reference.begin(), reference.end());
    EXPECT_EQ(Md5sOf(h), expected);
    EXPECT_EQ(h.Count(AVCD_DECODE_END_OF_STREAM), 2u);
}

TEST(DecLibNoMoreInput, StepReturnsWithoutDecodingAndResumesLater)
{
    const std::string name = "baseline_slices_176x144.h264";
    const auto stream = LoadStream(name);
    Harness h;
    ASSERT_EQ(h.SendHeader(stream.sps, stream.pps), 1);
    h.Reader().Push(MakeRecord(stream.samples[0]));
    h.Reader().Push(MakeRecord(stream.samples[1]));
    ASSERT_NE(h.Step(), AVCD_DECODE_ERROR);
    // Only the first slice of the third picture comes: the next step ends
    // with it read, in the middle of that picture.
    Record partial = MakeRecord(stream.samples[2]);
    partial.units.resize(1);
    h.Reader().Push(partial);
    ASSERT_NE(h.Step(), AVCD_DECODE_ERROR);
    ASSERT_FALSE(h.Reader().HoldsRecord());
    const size_t pictures = h.Sink().Pictures().size();
    const size_t calls = h.Reader().GetDataSizeCalls();

    h.Reader().SetAborted(true);
    EXPECT_EQ(h.Step(), AVCD_DECODE_NO_PICTURE);
    EXPECT_EQ(h.Sink().Pictures().size(), pictures);
    EXPECT_EQ(h.Reader().GetDataSizeCalls(), calls + 1);

    // Input comes back: the rest of that picture, then the others.
    h.Reader().SetAborted(false);
    Record rest = MakeRecord(stream.samples[2]);
    rest.units.erase(rest.units.begin());
    h.Reader().Push(rest);
    for (size_t i = 3; i < stream.samples.size(); ++i)
        h.Receive(MakeRecord(stream.samples[i]));
    h.EndOfStream();
    EXPECT_EQ(Md5sOf(h), referenceMd5s(StreamPath(name)));
    EXPECT_EQ(h.Count(AVCD_DECODE_ERROR), 0u);
    EXPECT_FALSE(h.Reader().OverRead());
}

TEST(DecLibReset, LikeASeekToTheNextIdrPicture)
{
    const std::string name = "baseline_176x144.h264";
    const auto stream = LoadStream(name);
    const auto &reference = referenceMd5s(StreamPath(name));
    for (bool headerAgain : {true, false}) {
        Harness h;
        ASSERT_EQ(h.SendHeader(stream.sps, stream.pps), 1);
        for (size_t i = 0; i < 4; ++i)
            h.Receive(MakeRecord(stream.samples[i]));
        const size_t beforeSeek = h.Sink().Pictures().size();
        h.Flush();
        if (headerAgain) {
            ASSERT_EQ(h.SendHeader(stream.sps, stream.pps), 1);
        }
        for (size_t i = 6; i < stream.samples.size(); ++i)
            h.Receive(MakeRecord(stream.samples[i]));
        h.EndOfStream();
        const auto md5s = Md5sOf(h);
        ASSERT_EQ(md5s.size(), beforeSeek + 6) << "header again: " << headerAgain;
        EXPECT_EQ(Range(md5s, 0, beforeSeek), Range(reference, 0, beforeSeek));
        EXPECT_EQ(Range(md5s, beforeSeek, md5s.size()), Range(reference, 6, 12));
        EXPECT_FALSE(h.Reader().OverRead());
    }
}

TEST(DecLibReset, RightAfterTheHeaderKeepsTheParameterSets)
{
    const std::string name = "main_cavlc_320x240.h264";
    const auto stream = LoadStream(name);
    Harness h;
    ASSERT_EQ(h.SendHeader(stream.sps, stream.pps), 1);
    h.Decoder().Reset(0);
    for (const Sample &s : stream.samples)
        h.Receive(MakeRecord(s));
    h.EndOfStream();
    EXPECT_EQ(Md5sOf(h), referenceMd5s(StreamPath(name)));
}

TEST(DecLibReset, BeforeAnyInputIsHarmless)
{
    const std::string name = "baseline_176x144.h264";
    Harness h;
    h.Decoder().Reset(0);
    h.Decoder().Reset(1);
    h.Play(LoadStream(name));
    EXPECT_EQ(Md5sOf(h), referenceMd5s(StreamPath(name)));
}

TEST(DecLibStream, NewParameterSetsInTheMiddleChangeThePictureSize)
{
    const std::string first = "baseline_176x144.h264";
    const std::string second = "main_cavlc_320x240.h264";
    const auto a = LoadStream(first);
    const auto b = LoadStream(second);
    Harness h;
    ASSERT_EQ(h.SendHeader(a.sps, a.pps), 1);
    for (const Sample &s : a.samples)
        h.Receive(MakeRecord(s));
    // The second stream's parameter sets travel in its first sample.
    Sample opening{b.sps, b.pps};
    opening.insert(opening.end(), b.samples[0].begin(), b.samples[0].end());
    h.Receive(MakeRecord(opening));
    for (size_t i = 1; i < b.samples.size(); ++i)
        h.Receive(MakeRecord(b.samples[i]));
    h.EndOfStream();
    auto expected = referenceMd5s(StreamPath(first));
    const auto &more = referenceMd5s(StreamPath(second));
    expected.insert(expected.end(), more.begin(), more.end());
    EXPECT_EQ(Md5sOf(h), expected);
    ASSERT_EQ(h.Sink().Pictures().size(), expected.size());
    EXPECT_EQ(h.Sink().Pictures().front().width, 176u);
    EXPECT_EQ(h.Sink().Pictures().back().width, 320u);
    EXPECT_TRUE(h.Sink().Errors().empty());
}

TEST(DecLibStream, AllSamplesInOneRecordAreSplitIntoPictures)
{
    const std::string name = "baseline_slices_176x144.h264";
    const auto stream = LoadStream(name);
    Harness h;
    ASSERT_EQ(h.SendHeader(stream.sps, stream.pps), 1);
    Sample all;
    for (const Sample &s : stream.samples)
        all.insert(all.end(), s.begin(), s.end());
    h.Receive(MakeRecord(all));
    h.EndOfStream();
    EXPECT_EQ(Md5sOf(h), referenceMd5s(StreamPath(name)));
    // One step per picture; the last one also drains.
    EXPECT_EQ(h.Results().size(), stream.samples.size());
}

TEST(DecLibStream, ParameterSetsInTheFirstSampleNeedNoHeader)
{
    const std::string name = "main_cavlc_320x240.h264";
    const auto stream = LoadStream(name);
    Harness h;
    Sample first{stream.sps, stream.pps};
    first.insert(first.end(), stream.samples[0].begin(), stream.samples[0].end());
    h.Receive(MakeRecord(first));
    for (size_t i = 1; i < stream.samples.size(); ++i)
        h.Receive(MakeRecord(stream.samples[i]));
    h.EndOfStream();
    EXPECT_EQ(Md5sOf(h), referenceMd5s(StreamPath(name)));
}

} // namespace
} // namespace declib_test

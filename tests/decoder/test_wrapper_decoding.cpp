// Whole streams through the decode filter's path: samples as the parser
// delivers them (parameter-set samples first) into the input data queue,
// decode steps of CMyDecoder11 over the real decoder library, pictures taken
// off the output data queue by an output thread; compared with what the
// ffmpeg program decodes from the same files.
#include "ffmpeg_reference.h"
#include "movie_reference.h"
#include "movie_stream.h"
#include "wrapper_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using namespace wrapper_test;
using declib_test::Md5Hex;
using declib_test::PackedPsnr;

namespace {

using Bytes = std::vector<uint8_t>;

struct Source {
    std::string name; // a movie under tests/data, or an Annex B stream of tests/data/decoder
    bool annexB = false;
    bool fullRange = false;
    bool reordered = false; // B-frames: pictures leave in another order than their samples came
};

const MovieStream &Load(const Source &source)
{
    static std::map<std::string, MovieStream> cache;
    auto it = cache.find(source.name);
    if (it == cache.end())
        it = cache.emplace(source.name, source.annexB ? LoadAnnexB(source.name) : LoadMovie(DataPath(source.name)))
                 .first;
    return it->second;
}

std::string TestName(const Source &source)
{
    std::string name = source.name.substr(source.name.find('/') + 1);
    name = name.substr(0, name.find('.'));
    for (char &c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

const std::vector<Source> &Sources()
{
    static const std::vector<Source> sources = {
        {"movies/baseline_sowt.mov"},
        {"movies/main_aac_faststart.mov"},
        {"movies/odd_size_sowt_3000.mov"},
        {"movies/sowt_one_second_chunks.mov"},
        {"movies/video_only_faststart.mov"},
        {"parameter_sets/baseline_1920x1080_l40.mov"},
        {"parameter_sets/main_1280x720_l31_bt709.mov"},
        {"parameter_sets/main_322x242_l21_fullrange.mov", false, true},
        {"baseline_cropped_202x118.h264", true},
        {"baseline_slices_176x144.h264", true},
        {"baseline_bt709_128x96.h264", true},
        {"baseline_fullrange_128x96.h264", true, true},
        {"main_cavlc_bframes_176x144.h264", true, false, true},
    };
    return sources;
}

std::unique_ptr<Pipeline> Play(const MovieStream &stream, const PipelineSettings &settings)
{
    auto pipeline = std::make_unique<Pipeline>(stream, settings);
    pipeline->Play();
    return pipeline;
}

DWORD DisplayWidth(Pipeline &p)
{
    DWORD w = 0, h = 0;
    p.Decoder().GetDisplaySize(&w, &h);
    return w;
}

DWORD DisplayHeight(Pipeline &p)
{
    DWORD w = 0, h = 0;
    p.Decoder().GetDisplaySize(&w, &h);
    return h;
}

class WrapperDecoding : public ::testing::TestWithParam<Source> {};

TEST_P(WrapperDecoding, YV12AndI420PicturesEqualTheReference)
{
    const Source &source = GetParam();
    const MovieStream &stream = Load(source);
    const auto &reference = VideoMd5s(stream.path, source.fullRange ? "yuvj420p" : "yuv420p");
    for (const GUID *subtype : {&MEDIASUBTYPE_YV12, &MEDIASUBTYPE_IYUV}) {
        PipelineSettings settings;
        settings.subtype = subtype;
        auto pipeline = Play(stream, settings);
        const LONG format = subtype == &MEDIASUBTYPE_YV12 ? 1 : 0;
        const DWORD w = DisplayWidth(*pipeline), h = DisplayHeight(*pipeline);
        const auto &pictures = pipeline->Pictures();
        ASSERT_EQ(pictures.size(), reference.size()) << "format " << format;
        EXPECT_EQ(pipeline->EndOfStreamRecords(), 1u);
        EXPECT_EQ(pipeline->Count(-1), 0u) << "no decoding errors";
        for (size_t i = 0; i < pictures.size(); ++i) {
            const Picture &picture = pictures[i];
            EXPECT_EQ(picture.format, format);
            EXPECT_EQ(picture.width, w);
            EXPECT_EQ(picture.height, h);
            EXPECT_EQ(picture.pixels.size(), size_t{w} * h + 2 * size_t{w / 2} * (h / 2));
            EXPECT_EQ(Md5Hex(picture.I420(w, h)), reference[i]) << "picture " << i << " format " << format;
        }
    }
}

TEST_P(WrapperDecoding, PicturesKeepTheTimesOfTheirSamples)
{
    const Source &source = GetParam();
    if (source.reordered) GTEST_SKIP() << "pictures leave in presentation order";
    const MovieStream &stream = Load(source);
    auto pipeline = Play(stream, PipelineSettings{});
    const auto &pictures = pipeline->Pictures();
    ASSERT_EQ(pictures.size(), stream.samples.size());
    for (size_t i = 0; i < pictures.size(); ++i) {
        ASSERT_TRUE(pictures[i].start.has_value());
        EXPECT_EQ(*pictures[i].start, stream.samples[i].start) << "picture " << i;
    }
}

TEST_P(WrapperDecoding, RGBPicturesMatchTheReferenceConversion)
{
    const Source &source = GetParam();
    const MovieStream &stream = Load(source);
    struct RGBCase {
        const GUID *subtype;
        const char *name;
    } cases[] = {{&MEDIASUBTYPE_RGB24, "RGB24"}, {&MEDIASUBTYPE_RGB32, "RGB32"}};
    for (const RGBCase &c : cases) {
        PipelineSettings settings;
        settings.subtype = c.subtype;
        auto pipeline = Play(stream, settings);
        const DWORD w = DisplayWidth(*pipeline), h = DisplayHeight(*pipeline);
        // A full-range stream is written as full-range 24-bit pixels for
        // either RGB subtype.
        const bool rgb32 = c.subtype == &MEDIASUBTYPE_RGB32 && !source.fullRange;
        const LONG format = source.fullRange ? 7 : rgb32 ? 5 : 6;
        const size_t bytesPerPixel = rgb32 ? 4 : 3;
        const auto &reference = VideoFrames(stream.path, rgb32 ? "bgra" : "bgr24", size_t{w} * h * bytesPerPixel);
        const auto &pictures = pipeline->Pictures();
        ASSERT_EQ(pictures.size(), reference.size()) << c.name;
        for (size_t i = 0; i < pictures.size(); ++i) {
            const Picture &picture = pictures[i];
            EXPECT_EQ(picture.format, format) << c.name;
            ASSERT_EQ(picture.pixels.size(), size_t{w} * h * bytesPerPixel) << c.name;
            EXPECT_EQ(picture.written[0], picture.pixels.size()) << c.name;
            const double psnr = PackedPsnr(picture.pixels, bytesPerPixel, reference[i], bytesPerPixel, 3);
            EXPECT_GE(psnr, 45.0) << c.name << " picture " << i;
            if (rgb32) {
                bool zero = true;
                for (size_t p = 3; p < picture.pixels.size(); p += 4)
                    zero = zero && picture.pixels[p] == 0;
                EXPECT_TRUE(zero) << "the fourth byte of every RGB32 pixel is 0";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, WrapperDecoding, ::testing::ValuesIn(Sources()),
                         [](const auto &info) { return TestName(info.param); });

// --- decode parameters ------------------------------------------------------------------

struct ScalingCase {
    std::string movie;
    LONG scaling;
    const GUID *subtype;
    const char *name;
};

class WrapperScaling : public ::testing::TestWithParam<ScalingCase> {};

// Records take the size the library writes, so rows are read at the length
// they were written.
TEST_P(WrapperScaling, PicturesAreWrittenWholeIntoRecordsOfTheScaledSize)
{
    const ScalingCase &c = GetParam();
    const MovieStream &stream = Load({c.movie});
    PipelineSettings settings;
    settings.subtype = c.subtype;
    settings.scaling = c.scaling;
    auto pipeline = Play(stream, settings);
    const DWORD sw = DisplayWidth(*pipeline) >> c.scaling, sh = DisplayHeight(*pipeline) >> c.scaling;
    const auto &pictures = pipeline->Pictures();
    ASSERT_EQ(pictures.size(), VideoMd5s(stream.path).size());
    const bool yuv = c.subtype == &MEDIASUBTYPE_YV12;
    for (const Picture &picture : pictures) {
        EXPECT_EQ(picture.width, sw);
        EXPECT_EQ(picture.height, sh);
        if (yuv) {
            EXPECT_EQ(picture.written[0], sw * sh);
            const DWORD chroma = ((sw + 1) / 2) * ((sh + 1) / 2);
            EXPECT_EQ(picture.written[1], chroma);
            EXPECT_EQ(picture.written[2], chroma);
            EXPECT_EQ(picture.pixels.size(), sw * sh + 2 * chroma);
        } else {
            EXPECT_EQ(picture.written[0], sw * sh * 4);
            EXPECT_EQ(picture.pixels.size(), sw * sh * 4);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, WrapperScaling,
    ::testing::Values(ScalingCase{"movies/baseline_sowt.mov", 1, &MEDIASUBTYPE_YV12, "Half160x120YV12"},
                      ScalingCase{"movies/baseline_sowt.mov", 2, &MEDIASUBTYPE_YV12, "Quarter160x120YV12"},
                      ScalingCase{"movies/odd_size_sowt_3000.mov", 1, &MEDIASUBTYPE_YV12, "Half162x98YV12"},
                      ScalingCase{"movies/odd_size_sowt_3000.mov", 2, &MEDIASUBTYPE_YV12, "Quarter162x98YV12"},
                      ScalingCase{"movies/odd_size_sowt_3000.mov", 1, &MEDIASUBTYPE_RGB32, "Half162x98RGB32"},
                      ScalingCase{"movies/baseline_sowt.mov", 2, &MEDIASUBTYPE_RGB32, "Quarter160x120RGB32"}),
    [](const auto &info) { return std::string(info.param.name); });

struct DeblockingCase {
    Source source;
    LONG mode;
};

class WrapperDeblocking : public ::testing::TestWithParam<DeblockingCase> {};

TEST_P(WrapperDeblocking, SkippingChangesPicturesButNotTheirNumber)
{
    const DeblockingCase &c = GetParam();
    const MovieStream &stream = Load(c.source);
    const auto &reference = VideoMd5s(stream.path);
    PipelineSettings settings;
    settings.subtype = &MEDIASUBTYPE_IYUV;
    settings.deblockingSkip = c.mode;
    auto pipeline = Play(stream, settings);
    const DWORD w = DisplayWidth(*pipeline), h = DisplayHeight(*pipeline);
    ASSERT_EQ(pipeline->Pictures().size(), reference.size());
    size_t changed = 0;
    for (size_t i = 0; i < reference.size(); ++i)
        changed += Md5Hex(pipeline->Pictures()[i].I420(w, h)) != reference[i];
    EXPECT_GT(changed, 0u);
}

INSTANTIATE_TEST_SUITE_P(Modes, WrapperDeblocking,
                         ::testing::Values(DeblockingCase{{"movies/baseline_sowt.mov"}, 1},
                                           DeblockingCase{{"main_cavlc_bframes_176x144.h264", true}, 2}),
                         [](const auto &info) {
                             return TestName(info.param.source) + "_Mode" + std::to_string(info.param.mode);
                         });

// --- damaged input -----------------------------------------------------------------------

// The sample's units, without their lengths.
std::vector<Bytes> Units(const Bytes &sample)
{
    std::vector<Bytes> units;
    for (size_t at = 0; at + 4 <= sample.size();) {
        const size_t n = (size_t(sample[at]) << 24) | (size_t(sample[at + 1]) << 16) | (size_t(sample[at + 2]) << 8) |
                         sample[at + 3];
        units.emplace_back(sample.begin() + std::ptrdiff_t(at + 4), sample.begin() + std::ptrdiff_t(at + 4 + n));
        at += 4 + n;
    }
    return units;
}

struct DamageCase {
    const char *name;
    // Changes the samples; `at` is a sample in the middle of the first group of pictures.
    void (*damage)(std::vector<Bytes> &samples, size_t at);
    bool reportsError; // the library must answer -1 for it
};

const DamageCase kDamages[] = {
    {"ForbiddenBitUnitInSample",
     [](std::vector<Bytes> &s, size_t at) {
         auto units = Units(s[at]);
         units.insert(units.begin(), Bytes{0x80 | 0x01, 0x12, 0x34});
         s[at] = LengthPrefixed(units);
     },
     true},
    {"GarbageSliceData",
     [](std::vector<Bytes> &s, size_t at) {
         auto units = Units(s[at]);
         Bytes &slice = units.back();
         for (size_t i = 4; i < slice.size(); ++i)
             slice[i] = uint8_t(i * 37 + 11);
         s[at] = LengthPrefixed(units);
     },
     false},
    {"TruncatedSliceUnit",
     [](std::vector<Bytes> &s, size_t at) {
         auto units = Units(s[at]);
         units.back().resize(units.back().size() / 3);
         s[at] = LengthPrefixed(units);
     },
     false},
    {"LengthFieldRunsPastTheSample",
     [](std::vector<Bytes> &s, size_t at) {
         Bytes &b = s[at];
         b.resize(b.size() / 2); // the last length now claims more than remains
     },
     false},
    {"EmptySamplesInserted",
     [](std::vector<Bytes> &s, size_t at) { s.insert(s.begin() + std::ptrdiff_t(at), 3, Bytes{}); }, false},
    {"FillerOnlySamplesInserted",
     [](std::vector<Bytes> &s, size_t at) {
         const Bytes filler = LengthPrefixed({{0x0C, 0xFF, 0xFF, 0x80}});
         s.insert(s.begin() + std::ptrdiff_t(at), 4, filler);
     },
     false},
    {"UnspecifiedTypeUnitsInserted",
     [](std::vector<Bytes> &s, size_t at) {
         const Bytes junk = LengthPrefixed({{0x00, 1, 2, 3}, {0x1F, 4, 5}});
         s.insert(s.begin() + std::ptrdiff_t(at), 3, junk);
     },
     false},
    {"SliceRepeatedAsItsOwnSample",
     [](std::vector<Bytes> &s, size_t at) {
         const Bytes copy = s[at];
         s.insert(s.begin() + std::ptrdiff_t(at) + 1, 2, copy);
     },
     false},
};

class WrapperDamagedInput : public ::testing::TestWithParam<DamageCase> {};

TEST_P(WrapperDamagedInput, DecodingGoesOnAndRecoversAtTheNextSyncSample)
{
    const DamageCase &c = GetParam();
    // 30 pictures, a sync sample every 15.
    const MovieStream &stream = Load({"movies/baseline_sowt.mov"});
    const auto &reference = VideoMd5s(stream.path);
    ASSERT_EQ(reference.size(), 30u);
    std::vector<Bytes> samples;
    for (const MovieSample &s : stream.samples)
        samples.push_back(s.bytes);
    c.damage(samples, 6);

    PipelineSettings settings;
    settings.subtype = &MEDIASUBTYPE_IYUV;
    Pipeline pipeline(stream, settings);
    pipeline.Play(samples);

    EXPECT_EQ(pipeline.EndOfStreamRecords(), 1u);
    if (c.reportsError) {
        EXPECT_GE(pipeline.Count(-1), 1u);
    }
    const auto &pictures = pipeline.Pictures();
    ASSERT_GE(pictures.size(), 15u);
    const DWORD w = DisplayWidth(pipeline), h = DisplayHeight(pipeline);
    // From the second sync sample on, every picture is whole again.
    for (size_t k = 1; k <= 15; ++k) {
        const Picture &picture = pictures[pictures.size() - k];
        EXPECT_EQ(Md5Hex(picture.I420(w, h)), reference[reference.size() - k]) << "picture " << 30 - k;
    }
    // Before the damage, too.
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(Md5Hex(pictures[i].I420(w, h)), reference[i]) << "picture " << i;
}

INSTANTIATE_TEST_SUITE_P(Damage, WrapperDamagedInput, ::testing::ValuesIn(kDamages),
                         [](const auto &info) { return std::string(info.param.name); });

// --- flush -------------------------------------------------------------------------------

TEST(WrapperFlush, DecodingRestartsCleanlyAtASyncSampleAfterAFlush)
{
    // A seek: part of the first group of pictures, a flush as the filter
    // does it, then the parameter-set samples again and the stream from the
    // second sync sample.
    const MovieStream &stream = Load({"movies/baseline_sowt.mov"});
    const auto &reference = VideoMd5s(stream.path);
    PipelineSettings settings;
    settings.subtype = &MEDIASUBTYPE_IYUV;
    settings.outputThread = false;
    Pipeline pipeline(stream, settings);
    std::vector<Picture> pictures;
    auto drain = [&] {
        while (pipeline.Output().GetCount() > 0) {
            auto record = pipeline.Output().WaitPop();
            ASSERT_TRUE(record);
            if (record->GetKind() != CMyOutputData::kPicture) continue;
            Picture p;
            p.format = record->GetFormat();
            p.width = record->GetWidth();
            p.height = record->GetHeight();
            p.pixels.assign(record->GetPixels().GetData(),
                            record->GetPixels().GetData() + record->GetPixels().GetSize());
            pictures.push_back(std::move(p));
        }
    };
    auto receive = [&](size_t i) {
        SampleFields fields;
        fields.bytes = stream.samples[i].bytes;
        pipeline.Receive(fields);
        drain();
    };

    ASSERT_EQ(pipeline.SendParameterSets(), 1);
    for (size_t i = 0; i < 9; ++i)
        receive(i);
    EXPECT_GT(pipeline.Pool().FreeCount(), 0);

    // BeginFlush ... EndFlush.
    pipeline.Decoder().AbortInput();
    pipeline.Output().Abort();
    pipeline.Decoder().Flush();
    pipeline.Input().Clear();
    pipeline.Output().ClearAll();
    EXPECT_EQ(pipeline.Pool().FreeCount(), pipeline.Pool().Count()) << "every upstream buffer released";
    pipeline.Output().ResetEvents();
    pipeline.Decoder().StartInput();
    pictures.clear();

    ASSERT_EQ(pipeline.SendParameterSets(), 1);
    for (size_t i = 15; i < stream.samples.size(); ++i)
        receive(i);
    pipeline.EndOfStream();
    drain();
    ASSERT_EQ(pictures.size(), 15u);
    const DWORD w = DisplayWidth(pipeline), h = DisplayHeight(pipeline);
    for (size_t k = 0; k < 15; ++k)
        EXPECT_EQ(Md5Hex(pictures[k].I420(w, h)), reference[15 + k]) << "picture " << 15 + k;
}

} // namespace

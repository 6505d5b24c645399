// The records the decode filter's queues carry: the NAL unit scan of a
// compressed sample, the picture and command records, and the time records.
#include "sample_pool.h"

#include "H264DecodeFilter/MyInputData.h"
#include "H264DecodeFilter/MyOutputData.h"
#include "H264DecodeFilter/MyPixelBufferPool.h"
#include "H264DecodeFilter/MySampleTimeInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

using namespace wrapper_test;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Be32(uint32_t n)
{
    return {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct ScanCase {
    std::string name;
    Bytes sample;
    std::vector<Bytes> units; // the payloads the scan must find
};

std::vector<ScanCase> ScanCases()
{
    const Bytes a{0x65, 1, 2, 3}, b{0x41, 9}, c{0x06};
    return {
        {"Empty", {}, {}},
        {"ShorterThanALength", {0, 0, 1}, {}},
        {"OneUnit", LengthPrefixed({a}), {a}},
        {"ThreeUnits", LengthPrefixed({a, b, c}), {a, b, c}},
        {"ZeroLengthUnitIsKept", LengthPrefixed({a, {}, b}), {a, {}, b}},
        {"TruncatedLastUnitDropped", Concat({LengthPrefixed({a}), Be32(10), {1, 2, 3}}), {a}},
        {"TrailingBytesAfterUnits", Concat({LengthPrefixed({a, b}), {0, 0}}), {a, b}},
        {"LengthThatWouldWrap", Concat({LengthPrefixed({a}), Be32(0xFFFFFFFF), {1, 2, 3, 4, 5}}), {a}},
        {"LengthOneTooLong", Concat({Be32(5), {1, 2, 3, 4}}), {}},
        {"LengthExactlyToTheEnd", Concat({Be32(4), {1, 2, 3, 4}}), {{1, 2, 3, 4}}},
    };
}

class InputDataScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(InputDataScan, FindsTheCompleteUnits)
{
    SamplePool pool(1, 256);
    const ScanCase &c = GetParam();
    SamplePtr sample = pool.Make(c.sample);
    CMyInputData data(sample.get());
    ASSERT_EQ(data.GetNALCount(), c.units.size());
    BYTE *base = nullptr;
    sample->GetPointer(&base);
    for (DWORD i = 0; i < data.GetNALCount(); ++i) {
        ASSERT_EQ(data.GetNALSize(i), c.units[i].size()) << "unit " << i;
        const BYTE *p = data.GetNALPointer(i);
        ASSERT_NE(p, nullptr);
        EXPECT_GE(p, base);
        EXPECT_LE(p + data.GetNALSize(i), base + c.sample.size()) << "unit " << i << " runs past the sample";
        EXPECT_EQ(Bytes(p, p + data.GetNALSize(i)), c.units[i]);
    }
    EXPECT_EQ(data.GetNALPointer(data.GetNALCount()), nullptr);
    EXPECT_EQ(data.GetNALSize(data.GetNALCount()), 0u);
    EXPECT_EQ(data.GetNALPointer(0xFFFFFFFF), nullptr);
    EXPECT_EQ(data.GetNALSize(0xFFFFFFFF), 0u);
}

INSTANTIATE_TEST_SUITE_P(Samples, InputDataScan, ::testing::ValuesIn(ScanCases()),
                         [](const auto &info) { return info.param.name; });

TEST(InputData, HoldsOneReferenceOnTheSampleForItsLifetime)
{
    SamplePool pool(2, 64);
    SamplePtr sample = pool.Make(LengthPrefixed({{0x65, 1}}));
    const ULONG before = RefCount(sample.get());
    {
        CMyInputData data(sample.get());
        EXPECT_EQ(RefCount(sample.get()), before + 1);
        EXPECT_EQ(data.GetSample(), sample.get());
    }
    EXPECT_EQ(RefCount(sample.get()), before);
}

TEST(InputData, ReleasedSampleGoesBackToItsAllocator)
{
    SamplePool pool(1, 64);
    auto record = std::make_unique<CMyInputMediaSampleData>();
    {
        SamplePtr sample = pool.Make(LengthPrefixed({{0x65, 1}}));
        record->m_pData = std::make_unique<CMyInputData>(sample.get());
    }
    EXPECT_EQ(pool.FreeCount(), 0) << "the record keeps the upstream buffer in use";
    record.reset();
    EXPECT_EQ(pool.FreeCount(), 1);
}

TEST(InputData, ScansOnlyTheActualData)
{
    // The scan uses the actual data length; bytes beyond it are not units
    // even when they would parse as one.
    SamplePool pool(1, 64);
    const Bytes whole = LengthPrefixed({{0x65, 1, 2}, {0x41, 7}});
    SamplePtr sample = pool.Make(whole);
    sample->SetActualDataLength(7); // only the first unit
    CMyInputData data(sample.get());
    EXPECT_EQ(data.GetNALCount(), 1u);
}

// --- output records ----------------------------------------------------------

TEST(OutputData, CommandsCarryNoPixelsAndFormatEight)
{
    auto end = CMyOutputData::NewEndOfStream();
    EXPECT_EQ(end->GetKind(), CMyOutputData::kEndOfStream);
    EXPECT_EQ(end->GetFormat(), 8);
    EXPECT_EQ(end->GetWidth(), 0u);
    EXPECT_EQ(end->GetHeight(), 0u);
    EXPECT_EQ(end->GetPixels().GetData(), nullptr);
    EXPECT_EQ(end->GetPixels().GetSize(), 0u);

    auto segment = CMyOutputData::NewSegment(100, 2000, 1.5);
    EXPECT_EQ(segment->GetKind(), CMyOutputData::kNewSegment);
    EXPECT_EQ(segment->GetFormat(), 8);
    REFERENCE_TIME start = 0, stop = 0;
    double rate = 0;
    ASSERT_TRUE(segment->GetNewSegment(&start, &stop, &rate));
    EXPECT_EQ(start, 100);
    EXPECT_EQ(stop, 2000);
    EXPECT_EQ(rate, 1.5);
}

TEST(OutputData, GetNewSegmentOnOtherRecordsLeavesItsArgumentsAlone)
{
    const std::vector<std::unique_ptr<CMyOutputData>> others = [] {
        std::vector<std::unique_ptr<CMyOutputData>> v;
        v.push_back(CMyOutputData::NewEndOfStream());
        v.push_back(std::make_unique<CMyYUVBuffer>(4, 4, 1));
        v.push_back(std::make_unique<CMyRGBBuffer>(4, 4, 5));
        return v;
    }();
    for (const auto &record : others) {
        REFERENCE_TIME start = 7, stop = 8;
        double rate = 9.0;
        EXPECT_FALSE(record->GetNewSegment(&start, &stop, &rate));
        EXPECT_EQ(start, 7);
        EXPECT_EQ(stop, 8);
        EXPECT_EQ(rate, 9.0);
    }
}

TEST(YUVBuffer, PlaneSizesRoundChromaUp)
{
    CMyYUVBuffer picture(7, 5, 1);
    EXPECT_EQ(picture.GetKind(), CMyOutputData::kPicture);
    EXPECT_EQ(picture.GetYSize(), 35u);
    EXPECT_EQ(picture.GetUSize(), 12u);
    EXPECT_EQ(picture.GetVSize(), 12u);
    EXPECT_EQ(picture.GetPixels().GetSize(), 59u);
}

TEST(YUVBuffer, PlaneOrderFollowsTheFormat)
{
    CMyYUVBuffer i420(8, 4, 0), yv12(8, 4, 1);
    EXPECT_EQ(i420.GetYSize(), yv12.GetYSize());
    EXPECT_EQ(i420.GetUSize(), yv12.GetUSize());
    const BYTE *i420Base = i420.GetPixels().GetData();
    const BYTE *yv12Base = yv12.GetPixels().GetData();
    EXPECT_EQ(i420.GetY(), i420Base);
    EXPECT_EQ(i420.GetU(), i420Base + 32);
    EXPECT_EQ(i420.GetV(), i420Base + 40);
    EXPECT_EQ(yv12.GetY(), yv12Base);
    EXPECT_EQ(yv12.GetV(), yv12Base + 32);
    EXPECT_EQ(yv12.GetU(), yv12Base + 40);
}

TEST(YUVBuffer, WritesAppendAndStopAtThePlaneEnd)
{
    CMyYUVBuffer picture(4, 2, 1); // Y 8, U 2, V 2 bytes; Y V U in the buffer
    const Bytes y1{1, 2, 3}, y2{4, 5, 6, 7, 8, 9, 10}, u{20, 21, 22}, v{30, 31};
    picture.WriteY(y1.data(), DWORD(y1.size()));
    picture.WriteY(y2.data(), DWORD(y2.size())); // two bytes too many
    picture.WriteU(u.data(), DWORD(u.size()));   // one too many
    picture.WriteV(v.data(), DWORD(v.size()));
    picture.WriteV(v.data(), DWORD(v.size())); // plane already full
    EXPECT_EQ(picture.GetYWritten(), 8u);
    EXPECT_EQ(picture.GetUWritten(), 2u);
    EXPECT_EQ(picture.GetVWritten(), 2u);
    const BYTE *p = picture.GetPixels().GetData();
    EXPECT_EQ(Bytes(p, p + 12), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 30, 31, 20, 21}));
}

TEST(RGBBuffer, BytesPerPixelByFormat)
{
    struct {
        LONG format;
        DWORD bytes;
    } cases[] = {{5, 4 * 6 * 3}, {6, 3 * 6 * 3}, {7, 3 * 6 * 3}};
    for (const auto &c : cases) {
        CMyRGBBuffer picture(6, 3, c.format);
        EXPECT_EQ(picture.GetPixels().GetSize(), c.bytes) << "format " << c.format;
        EXPECT_EQ(picture.GetFormat(), c.format);
        EXPECT_EQ(picture.GetWidth(), 6u);
        EXPECT_EQ(picture.GetHeight(), 3u);
    }
}

TEST(RGBBuffer, WritesStopAtTheBufferEnd)
{
    CMyRGBBuffer picture(2, 1, 6); // 6 bytes
    const Bytes row{1, 2, 3, 4, 5};
    picture.Write(row.data(), 5);
    picture.Write(row.data(), 5);
    EXPECT_EQ(picture.GetBytesWritten(), 6u);
    const BYTE *p = picture.GetPixels().GetData();
    EXPECT_EQ(Bytes(p, p + 6), (Bytes{1, 2, 3, 4, 5, 1}));
}

TEST(PictureRecords, SizesBeyondThirtyTwoBitsGiveEmptyBuffersThatDropWrites)
{
    CMyRGBBuffer rgb(70000, 70000, 5);
    EXPECT_EQ(rgb.GetPixels().GetSize(), 0u);
    const Bytes bytes{1, 2, 3};
    rgb.Write(bytes.data(), 3);
    EXPECT_EQ(rgb.GetBytesWritten(), 0u);

    CMyYUVBuffer yuv(70000, 70000, 1);
    EXPECT_EQ(yuv.GetPixels().GetSize(), 0u);
    yuv.WriteY(bytes.data(), 3);
    yuv.WriteU(bytes.data(), 3);
    EXPECT_EQ(yuv.GetYWritten(), 0u);
    EXPECT_EQ(yuv.GetUWritten(), 0u);
}

TEST(PictureRecords, EmptyPictureAcceptsWritesWithoutEffect)
{
    CMyYUVBuffer yuv(0, 0, 0);
    const Bytes bytes{1};
    yuv.WriteY(bytes.data(), 1);
    yuv.WriteV(nullptr, 1);
    EXPECT_EQ(yuv.GetYWritten(), 0u);
}

// --- time records ------------------------------------------------------------

// What a time record gives: "time START-STOP" or "no time", then "media
// START-STOP" or "no media"; arguments of a refusing call stay untouched.
std::string Times(const SampleFields &fields)
{
    SamplePool pool(1, 16);
    SamplePtr sample = pool.Make(fields);
    const auto info = CSampleTimeInfo::FromSample(sample.get());
    REFERENCE_TIME start = 11, stop = 12;
    LONGLONG mediaStart = 13, mediaStop = 14;
    std::string out = info->GetTime(&start, &stop) ? "time " : "no time ";
    out += std::to_string(start) + "-" + std::to_string(stop);
    out += info->GetMediaTime(&mediaStart, &mediaStop) ? " media " : " no media ";
    return out + std::to_string(mediaStart) + "-" + std::to_string(mediaStop);
}

TEST(SampleTimeInfo, TakesThePairsTheSampleHas)
{
    EXPECT_EQ(Times({.start = 1000, .stop = 2000, .mediaStart = 3, .mediaStop = 4}), "time 1000-2000 media 3-4");
    // A missing stop time still counts as having a time.
    EXPECT_EQ(Times({.start = 500}).substr(0, 9), "time 500-");
    EXPECT_EQ(Times({}), "no time 11-12 no media 13-14");
}

// --- reused pixel buffers -------------------------------------------------------

TEST(PixelBufferPool, GivesBackBuffersOfTheAskedSizeOnly)
{
    CMyPixelBufferPool pool(2);
    bool reused = true;
    CSimpleBuffer first = pool.Take(100, &reused);
    EXPECT_FALSE(reused);
    ASSERT_EQ(first.GetSize(), 100u);
    EXPECT_EQ(first.GetData()[99], 0) << "a new buffer is zero-filled";
    const BYTE *address = first.GetData();
    pool.Give(std::move(first));
    EXPECT_EQ(pool.GetKeptCount(), 1u);

    CSimpleBuffer other = pool.Take(50, &reused);
    EXPECT_FALSE(reused) << "no kept buffer of that size";
    CSimpleBuffer again = pool.Take(100, &reused);
    EXPECT_TRUE(reused);
    EXPECT_EQ(again.GetData(), address);
    EXPECT_EQ(pool.GetKeptCount(), 0u);
}

TEST(PixelBufferPool, KeepsAtMostItsLimitAndDropsOtherSizes)
{
    CMyPixelBufferPool pool(2);
    for (int i = 0; i < 3; ++i)
        pool.Give(CSimpleBuffer(DWORD(64)));
    EXPECT_EQ(pool.GetKeptCount(), 2u);
    pool.Give(CSimpleBuffer(DWORD(32))); // the picture size changed
    EXPECT_EQ(pool.GetKeptCount(), 1u);
    pool.Give(CSimpleBuffer());
    EXPECT_EQ(pool.GetKeptCount(), 1u) << "empty buffers are not kept";
}

TEST(PixelBufferPool, PictureRecordsReturnTheirBuffersWhereverTheyAreDeleted)
{
    auto pool = std::make_shared<CMyPixelBufferPool>();
    auto picture = std::make_unique<CMyYUVBuffer>(8, 8, 1, pool);
    const BYTE *address = picture->GetPixels().GetData();
    std::thread([&] { picture.reset(); }).join();
    EXPECT_EQ(pool->GetKeptCount(), 1u);
    CMyYUVBuffer next(8, 8, 0, pool);
    EXPECT_EQ(next.GetPixels().GetData(), address);
    EXPECT_EQ(next.GetU(), address + 64) << "planes laid out for the new record's format";
}

TEST(PixelBufferPool, RecordsMayOutliveTheirProducer)
{
    std::unique_ptr<CMyRGBBuffer> picture;
    {
        auto pool = std::make_shared<CMyPixelBufferPool>();
        picture = std::make_unique<CMyRGBBuffer>(4, 4, 6, pool);
    }
    picture.reset(); // gives its buffer to a pool only it still holds
}

TEST(PixelBufferPool, UnwrittenBytesOfAReusedBufferAreCleared)
{
    auto pool = std::make_shared<CMyPixelBufferPool>();
    {
        CMyYUVBuffer old(4, 4, 1, pool);
        old.WriteY(Bytes(16, 0xAA).data(), 16);
        old.WriteU(Bytes(4, 0xBB).data(), 4);
        old.WriteV(Bytes(4, 0xCC).data(), 4);
    }
    CMyYUVBuffer picture(4, 4, 1, pool);
    // A half-size picture fills the front of each plane only.
    picture.WriteY(Bytes(4, 1).data(), 4);
    picture.WriteU(Bytes(1, 2).data(), 1);
    picture.WriteV(Bytes(1, 3).data(), 1);
    picture.ClearUnwritten();
    const BYTE *p = picture.GetPixels().GetData();
    Bytes expected(24, 0);
    std::fill(expected.begin(), expected.begin() + 4, 1);
    expected[16] = 3; // V plane first in YV12
    expected[20] = 2;
    EXPECT_EQ(Bytes(p, p + 24), expected);

    {
        CMyRGBBuffer old(2, 2, 6, pool);
        old.Write(Bytes(12, 0xAA).data(), 12);
    }
    CMyRGBBuffer rgb(2, 2, 6, pool);
    rgb.Write(Bytes(3, 5).data(), 3);
    rgb.ClearUnwritten();
    const BYTE *q = rgb.GetPixels().GetData();
    EXPECT_EQ(Bytes(q, q + 12), (Bytes{5, 5, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

} // namespace

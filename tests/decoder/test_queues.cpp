// The decode filter's queues and the records they carry: the NAL unit scan of
// a compressed sample, picture and command records with their reused pixel
// buffers, time records, and the queues' order, events, abort and clearing,
// with real threads where a pop blocks.
#include "sample_pool.h"

#include "H264DecodeFilter/MyInputDataQueue.h"
#include "H264DecodeFilter/MyOutputDataQueue.h"
#include "H264DecodeFilter/MyPixelBufferPool.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <map>
#include <sstream>
#include <thread>

using namespace wrapper_test;

namespace {

using Bytes = std::vector<uint8_t>;

bool IsSignalled(HANDLE event)
{
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

std::string Hex(const BYTE *p, size_t n)
{
    std::ostringstream out;
    for (size_t i = 0; i < n; ++i)
        out << (i ? " " : "") << std::hex << int(p[i]);
    return out.str();
}

TEST(InputData, FindsTheCompleteUnitsWithinTheActualData)
{
    const Bytes a{0x65, 1, 2, 3}, b{0x41, 9};
    const auto cat = [](Bytes x, const Bytes &y) { return x.insert(x.end(), y.begin(), y.end()), x; };
    const struct {
        Bytes sample;
        const char *units;
    } rows[] = {
        {{}, ""},
        {{0, 0, 1}, ""},
        {LengthPrefixed({a, {}, b, {6}}), "65 1 2 3 |  | 41 9 | 6 | "},
        {cat(LengthPrefixed({a}), {0, 0, 0, 10, 1, 2, 3}), "65 1 2 3 | "},            // the last one cut
        {cat(LengthPrefixed({a, b}), {0, 0}), "65 1 2 3 | 41 9 | "},                  // bytes behind the units
        {cat(LengthPrefixed({a}), {0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3}), "65 1 2 3 | "}, // a length that would wrap
        {{0, 0, 0, 5, 1, 2, 3, 4}, ""},
        {{0, 0, 0, 4, 1, 2, 3, 4}, "1 2 3 4 | "},
    };
    SamplePool pool(2, 256);
    for (const auto &row : rows) {
        SamplePtr sample = pool.Make(row.sample);
        CMyInputData data(sample.get());
        std::string units;
        for (DWORD i = 0; i < data.GetNALCount(); ++i) {
            const BYTE *p = data.GetNALPointer(i);
            const bool inside = p + data.GetNALSize(i) <= data.GetNALPointer(0) - 4 + row.sample.size();
            units += Hex(p, data.GetNALSize(i)) + (inside ? " | " : " past the sample | ");
        }
        EXPECT_EQ(units, row.units);
        EXPECT_EQ(data.GetNALPointer(data.GetNALCount()), nullptr);
        EXPECT_EQ(data.GetNALSize(0xFFFFFFFF), 0u);
    }
    // Only the actual data is scanned, and the record holds the sample.
    SamplePtr sample = pool.Make(LengthPrefixed({{0x65, 1, 2}, {0x41, 7}}));
    sample->SetActualDataLength(7);
    const ULONG references = RefCount(sample.get());
    auto data = std::make_unique<CMyInputData>(sample.get());
    EXPECT_EQ(data->GetNALCount(), 1u);
    EXPECT_EQ(RefCount(sample.get()), references + 1);
    sample.reset();
    EXPECT_EQ(pool.FreeCount(), 1);
    data.reset();
    EXPECT_EQ(pool.FreeCount(), 2);
}

// "kind format WxH bytes" of a record, its bytes in hex when few, and its
// segment where it has one.
std::string Describe(const CMyOutputData &r)
{
    std::ostringstream out;
    out << r.GetKind() << " f" << r.GetFormat() << ' ' << r.GetWidth() << 'x' << r.GetHeight() << ' '
        << r.GetPixels().GetSize();
    if (r.GetPixels().GetSize() > 0 && r.GetPixels().GetSize() <= 24)
        out << " [" << Hex(r.GetPixels().GetData(), r.GetPixels().GetSize()) << ']';
    REFERENCE_TIME start = 7, stop = 8;
    double rate = 9;
    if (r.GetNewSegment(&start, &stop, &rate) || start != 7 || stop != 8 || rate != 9)
        out << " segment " << start << '-' << stop << '@' << rate;
    return out.str();
}

TEST(OutputData, RecordsAndTheirPixels)
{
    const Bytes bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    CMyYUVBuffer yv12(4, 2, 1), i420(4, 2, 0);
    for (CMyYUVBuffer *p : {&yv12, &i420}) {
        p->WriteY(bytes.data(), 3);
        p->WriteY(bytes.data() + 3, 7); // two too many
        p->WriteU(bytes.data(), 3);     // one too many
        p->WriteV(bytes.data() + 7, 2);
        p->WriteV(bytes.data(), 2); // the plane is full
    }
    CMyRGBBuffer rgb24(2, 1, 6);
    rgb24.Write(bytes.data(), 5);
    rgb24.Write(bytes.data(), 5);
    CMyRGBBuffer huge(70000, 70000, 5);
    huge.Write(bytes.data(), 3);
    CMyYUVBuffer hugeYuv(70000, 70000, 1), empty(0, 0, 0);
    hugeYuv.WriteY(bytes.data(), 3);
    empty.WriteY(bytes.data(), 1);
    empty.WriteV(nullptr, 1);
    const auto end = CMyOutputData::NewEndOfStream();
    const auto segment = CMyOutputData::NewSegment(100, 2000, 1.5);
    const struct {
        const CMyOutputData &record;
        const char *expected;
    } rows[] = {
        {*end, "-1 f8 0x0 0"},
        {*segment, "-2 f8 0x0 0 segment 100-2000@1.5"},
        {yv12, "0 f1 4x2 12 [1 2 3 4 5 6 7 8 8 9 1 2]"},
        {i420, "0 f0 4x2 12 [1 2 3 4 5 6 7 8 1 2 8 9]"},
        {CMyYUVBuffer(7, 5, 1), "0 f1 7x5 59"},
        {CMyRGBBuffer(6, 3, 5), "0 f5 6x3 72"},
        {CMyRGBBuffer(6, 3, 7), "0 f7 6x3 54"},
        {rgb24, "0 f6 2x1 6 [1 2 3 4 5 1]"},
        {huge, "0 f5 70000x70000 0"},
        {hugeYuv, "0 f1 70000x70000 0"},
        {empty, "0 f0 0x0 0"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Describe(row.record), row.expected);
}

TEST(OutputData, PixelBuffersAreReusedAndTheirUnwrittenBytesCleared)
{
    CMyPixelBufferPool limited(2);
    bool reused = true;
    CSimpleBuffer first = limited.Take(100, &reused);
    EXPECT_FALSE(reused);
    EXPECT_EQ(first.GetData()[99], 0) << "a new buffer is zero-filled";
    const BYTE *address = first.GetData();
    limited.Give(std::move(first));
    const CSimpleBuffer other = limited.Take(50, &reused);
    EXPECT_FALSE(reused) << "no kept buffer of that size";
    EXPECT_EQ(limited.Take(100, &reused).GetData(), address);
    EXPECT_TRUE(reused);
    std::string kept;
    for (DWORD size : {64, 64, 64, 32, 0}) {
        limited.Give(CSimpleBuffer(size)); // a new size drops the others; empty ones are not kept
        kept += std::to_string(limited.GetKeptCount());
    }
    EXPECT_EQ(kept, "12211");

    // Records give their buffers back on any thread, also to a pool only they still hold.
    auto pool = std::make_shared<CMyPixelBufferPool>();
    auto old = std::make_unique<CMyYUVBuffer>(4, 4, 1, pool);
    old->WriteY(Bytes(16, 0xAA).data(), 16);
    old->WriteU(Bytes(4, 0xBB).data(), 4);
    old->WriteV(Bytes(4, 0xCC).data(), 4);
    address = old->GetPixels().GetData();
    std::thread([&] { old.reset(); }).join();
    CMyYUVBuffer picture(4, 4, 1, pool);
    EXPECT_EQ(picture.GetPixels().GetData(), address);
    picture.WriteY(Bytes(4, 1).data(), 4); // a half-size picture fills the front of each plane
    picture.WriteU(Bytes(1, 2).data(), 1);
    picture.WriteV(Bytes(1, 3).data(), 1);
    picture.ClearUnwritten();
    EXPECT_EQ(Describe(picture), "0 f1 4x4 24 [1 1 1 1 0 0 0 0 0 0 0 0 0 0 0 0 3 0 0 0 2 0 0 0]");
    std::unique_ptr<CMyRGBBuffer> rgb = std::make_unique<CMyRGBBuffer>(2, 2, 6, pool);
    rgb->Write(Bytes(12, 0xAA).data(), 12);
    rgb.reset();
    rgb = std::make_unique<CMyRGBBuffer>(2, 2, 6, pool);
    rgb->Write(Bytes(3, 5).data(), 3);
    rgb->ClearUnwritten();
    EXPECT_EQ(Describe(*rgb), "0 f6 2x2 12 [5 5 5 0 0 0 0 0 0 0 0 0]");
    address = std::make_unique<CMyYUVBuffer>(8, 8, 1, pool)->GetPixels().GetData();
    EXPECT_EQ(CMyYUVBuffer(8, 8, 0, pool).GetU(), address + 64) << "planes laid out for the new record's format";
    pool.reset();
    rgb.reset();
}

// Runs operations on an input queue: "p" pushes the next sample (its first
// unit's first byte is its number), "e" the end of the stream, "w" WaitPop,
// "t" TryPop (each noting the number, "end" or "null"), "a" Abort, "r"
// ResetEvents, "c" Clear, "n" the count, "f" the pool's free buffers.
std::string InputOps(const std::string &ops)
{
    SamplePool pool(4, 64);
    CMyInputDataQueue queue;
    int next = 0;
    std::ostringstream out;
    const auto note = [&](std::unique_ptr<CMyInputMediaSampleData> r) {
        if (!r)
            out << "null ";
        else if (r->m_kind == CMyInputMediaSampleData::kEndOfStream)
            out << (r->m_pData ? "end+data " : "end ");
        else
            out << int(r->m_pData->GetNALPointer(0)[0]) << ' ';
    };
    const std::map<char, std::function<void()>> run = {
        {'p', [&] { queue.PushSample(pool.Make(LengthPrefixed({{uint8_t(next++)}})).get()); }},
        {'e', [&] { queue.PushEndOfStream(); }},
        {'w', [&] { note(queue.WaitPop()); }},
        {'t', [&] { note(queue.TryPop()); }},
        {'a', [&] { queue.Abort(); }},
        {'r', [&] { queue.ResetEvents(); }},
        {'c', [&] { queue.Clear(); }},
        {'n', [&] { out << 'n' << queue.GetCount() << ' '; }},
        {'f', [&] { out << 'f' << pool.FreeCount() << ' '; }},
        {' ', [] {}},
    };
    for (const char op : ops)
        run.at(op)();
    return out.str();
}

TEST(InputDataQueue, OrderAbortAndClear)
{
    const struct {
        const char *ops, *expected;
    } rows[] = {
        {"tppenwwwtn", "null n3 0 1 end null n0 "},
        // Aborted, pops answer null and nothing is dropped, until a reset.
        {"pppawwtnrwww", "null null null n3 0 1 2 "},
        {"ppppef cnf", "f0 n0 f4 "},
    };
    for (const auto &row : rows)
        EXPECT_EQ(InputOps(row.ops), row.expected) << row.ops;
    CMyInputDataQueue queue;
    EXPECT_EQ(std::wstring(queue.GetName()), L"MyInputDataQueue");
    EXPECT_EQ(queue.PushSample(nullptr), E_POINTER);
    SamplePool pool(2, 64);
    queue.PushSample(pool.Make(Bytes{}).get());
    EXPECT_EQ(queue.TryPop()->m_pData->GetNALCount(), 0u);
    {
        CMyInputDataQueue dropped; // destroyed holding samples
        dropped.PushSample(pool.Make(Bytes{}).get());
        dropped.PushSample(pool.Make(Bytes{}).get());
    }
    EXPECT_EQ(pool.FreeCount(), 2);
}

TEST(InputDataQueue, AcrossThreads)
{
    SamplePool pool(16, 16);
    CMyInputDataQueue queue;
    // A waiting pop is woken by a push, then by an abort.
    auto popped = std::async(std::launch::async, [&] { return queue.WaitPop(); });
    queue.PushSample(pool.Make(LengthPrefixed({{0x65}})).get());
    EXPECT_NE(popped.get(), nullptr);
    popped = std::async(std::launch::async, [&] { return queue.WaitPop(); });
    queue.Abort();
    EXPECT_EQ(popped.get(), nullptr);
    queue.ResetEvents();
    // An upstream thread waiting for a buffer goes on once the queue is cleared.
    SamplePool two(2, 64);
    queue.PushSample(two.Make(Bytes{1}).get());
    queue.PushSample(two.Make(Bytes{1}).get());
    auto upstream = std::async(std::launch::async, [&] { return two.Make(Bytes{1}) != nullptr; });
    queue.Clear();
    EXPECT_TRUE(upstream.get());
}

TEST(OutputDataQueue, OrderEventsTimesAndQuality)
{
    CMyOutputDataQueue queue;
    EXPECT_EQ(std::wstring(queue.GetName()) + L" " + queue.GetTimeInfoName(), L"MyOutputDataQueue TimeInfoQueue");
    EXPECT_EQ(queue.PushFrame(std::make_unique<CMyYUVBuffer>(2, 2, 1)), S_OK);
    EXPECT_EQ(queue.PushNewSegment(10, 20, 1.0), S_OK);
    EXPECT_EQ(queue.PushFrame(std::make_unique<CMyRGBBuffer>(2, 2, 6)), S_OK);
    EXPECT_EQ(queue.PushEndOfStream(), S_OK);
    EXPECT_EQ(queue.PushFrame(nullptr), E_POINTER);
    std::string popped;
    for (int i = 0; i < 4; ++i) {
        popped += Describe(*queue.WaitPop());
        popped += IsSignalled(queue.GetTakenEvent()) ? " taken | " : " | ";
        popped += IsSignalled(queue.GetTakenEvent()) ? "again | " : "";
    }
    EXPECT_EQ(popped, "0 f1 2x2 6 [0 0 0 0 0 0] taken | -2 f8 0x0 0 segment 10-20@1 taken | 0 f6 2x2 12 [0 0 0 0 0 "
                      "0 0 0 0 0 0 0] taken | -1 f8 0x0 0 taken | ");
    // Aborted, a pop answers null without taking; a reset lets it go on.
    queue.PushEndOfStream();
    queue.Abort();
    EXPECT_EQ(queue.WaitPop(), nullptr);
    EXPECT_FALSE(IsSignalled(queue.GetTakenEvent()));
    queue.ResetEvents();
    EXPECT_EQ(queue.WaitPop()->GetKind(), CMyOutputData::kEndOfStream);
    EXPECT_TRUE(IsSignalled(queue.GetTakenEvent()));

    SamplePool pool(4, 16);
    for (REFERENCE_TIME t : {100, 200})
        queue.PushTimeInfo(pool.Make(SampleFields{.start = t, .stop = t + 50, .mediaStart = t / 100}).get());
    queue.PushTimeInfo(pool.Make(SampleFields{.start = 300}).get());
    queue.PushTimeInfo(pool.Make(Bytes{}).get());
    EXPECT_EQ(queue.PushTimeInfo(nullptr), E_POINTER);
    EXPECT_EQ(queue.GetCount(), 0u) << "time records travel apart from the pictures";
    std::string times;
    for (auto info = queue.PopTimeInfo(); info; info = queue.PopTimeInfo()) {
        REFERENCE_TIME start = 11, stop = 12;
        LONGLONG mediaStart = 13, mediaStop = 14;
        times += info->GetTime(&start, &stop) ? "time " : "none ";
        times += std::to_string(start) + "-" + std::to_string(stop);
        times += info->GetMediaTime(&mediaStart, &mediaStop) ? " media " : " none ";
        times += std::to_string(mediaStart) + "-" + std::to_string(mediaStop) + " | ";
    }
    EXPECT_EQ(times,
              "time 100-150 media 1-1 | time 200-250 media 2-2 | time 300-301 none 13-14 | none 11-12 none 13-14 | ");

    queue.SetQuality(Quality{Flood, 800, 10, 1000});
    queue.SetQuality(Quality{Flood, 900, 20, 2000});
    const auto quality = queue.TakeQuality();
    EXPECT_EQ(quality->Proportion + quality->Late + quality->TimeStamp, 900 + 20 + 2000);
    EXPECT_EQ(queue.TakeQuality(), nullptr);

    queue.PushEndOfStream();
    queue.PushTimeInfo(pool.Make(Bytes{}).get());
    queue.SetQuality(Quality{Flood, 1, 2, 3});
    queue.ClearAll();
    EXPECT_EQ(queue.GetCount() + queue.GetTimeInfoCount(), 0u);
    EXPECT_EQ(queue.TakeQuality(), nullptr);
    EXPECT_FALSE(IsSignalled(queue.GetTakenEvent())) << "clearing takes nothing";
}

TEST(OutputDataQueue, AcrossThreads)
{
    CMyOutputDataQueue queue;
    auto popped = std::async(std::launch::async, [&] { return queue.WaitPop(); });
    queue.Abort();
    EXPECT_EQ(popped.get(), nullptr);
    queue.ResetEvents();
    queue.PushEndOfStream();
    queue.ClearAll(); // the output thread keeps waiting
    popped = std::async(std::launch::async, [&] { return queue.WaitPop(); });
    queue.PushNewSegment(5, 6, 2.0);
    EXPECT_EQ(popped.get()->GetKind(), CMyOutputData::kNewSegment);
}

} // namespace

// The decode filter's input side below what a well-formed movie reaches
// through the whole filter chain: the NAL unit scan of a sample (units cut or
// claiming more than there is), pixel buffer reuse and clearing, and the
// decoder wrapper's reader through abort, restart and flush.
#include "H264DecodeFilter/MyDecoder11.h"
#include "H264DecodeFilter/MyOutputDataQueue.h"
#include "H264DecodeFilter/MyPixelBufferPool.h"

#include <gtest/gtest.h>
#include <streams.h>
#include <wrl/client.h>

#include <algorithm>
#include <sstream>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;
using Microsoft::WRL::ComPtr;

// NAL units behind 4-byte big-endian lengths, as the parser delivers them.
Bytes LengthPrefixed(const std::vector<Bytes> &units)
{
    Bytes bytes;
    for (const Bytes &unit : units) {
        const auto n = uint32_t(unit.size());
        bytes.insert(bytes.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
        bytes.insert(bytes.end(), unit.begin(), unit.end());
    }
    return bytes;
}

// Samples from a committed framework allocator of `count` buffers, filled as
// an upstream pin fills them.
class SamplePool {
public:
    SamplePool(LONG count, LONG size)
    {
        ALLOCATOR_PROPERTIES request{count, size, 1, 0}, actual{};
        EXPECT_EQ(CreateMemoryAllocator(&m_allocator), S_OK);
        EXPECT_EQ(m_allocator->SetProperties(&request, &actual), S_OK);
        EXPECT_EQ(m_allocator->Commit(), S_OK);
    }
    ~SamplePool() { m_allocator->Decommit(); }

    ComPtr<IMediaSample> Make(const Bytes &bytes)
    {
        ComPtr<IMediaSample> sample;
        BYTE *buffer = nullptr;
        EXPECT_EQ(m_allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
        EXPECT_EQ(sample->GetPointer(&buffer), S_OK);
        EXPECT_LE(bytes.size(), size_t(sample->GetSize()));
        std::copy_n(bytes.begin(), std::min(bytes.size(), size_t(sample->GetSize())), buffer);
        sample->SetActualDataLength(LONG(bytes.size()));
        return sample;
    }
    // Buffers not handed out.
    LONG FreeCount()
    {
        ComPtr<IMemAllocatorCallbackTemp> callback;
        LONG free = -1;
        m_allocator->QueryInterface(IID_IMemAllocatorCallbackTemp, &callback);
        callback->GetFreeCount(&free);
        return free;
    }

private:
    ComPtr<IMemAllocator> m_allocator;
};

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
    const struct {
        Bytes sample;
        const char *units;
    } rows[] = {
        {{}, ""},
        {{0, 0, 1}, ""},
        {LengthPrefixed({a, {}, b, {6}}), "65 1 2 3 |  | 41 9 | 6 | "},
        {{0, 0, 0, 4, 0x65, 1, 2, 3, 0, 0, 0, 10, 1, 2, 3}, "65 1 2 3 | "},             // the last one cut
        {{0, 0, 0, 4, 0x65, 1, 2, 3, 0, 0, 0, 2, 0x41, 9, 0, 0}, "65 1 2 3 | 41 9 | "}, // bytes behind the units
        {{0, 0, 0, 4, 0x65, 1, 2, 3, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3}, "65 1 2 3 | "},  // a length that would wrap
        {{0, 0, 0, 5, 1, 2, 3, 4}, ""},
        {{0, 0, 0, 4, 1, 2, 3, 4}, "1 2 3 4 | "},
    };
    SamplePool pool(2, 256);
    for (const auto &row : rows) {
        const ComPtr<IMediaSample> sample = pool.Make(row.sample);
        CMyInputData data(sample.Get());
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
    // Only the actual data is scanned.
    const ComPtr<IMediaSample> sample = pool.Make(LengthPrefixed({{0x65, 1, 2}, {0x41, 7}}));
    sample->SetActualDataLength(7);
    EXPECT_EQ(CMyInputData(sample.Get()).GetNALCount(), 1u);
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
    EXPECT_EQ(Hex(picture.GetPixels().GetData(), 24), "1 1 1 1 0 0 0 0 0 0 0 0 0 0 0 0 3 0 0 0 2 0 0 0");
    std::unique_ptr<CMyRGBBuffer> rgb = std::make_unique<CMyRGBBuffer>(2, 2, 6, pool);
    rgb->Write(Bytes(12, 0xAA).data(), 12);
    rgb.reset();
    rgb = std::make_unique<CMyRGBBuffer>(2, 2, 6, pool);
    rgb->Write(Bytes(3, 5).data(), 3);
    rgb->ClearUnwritten();
    EXPECT_EQ(Hex(rgb->GetPixels().GetData(), 12), "5 5 5 0 0 0 0 0 0 0 0 0");
    address = std::make_unique<CMyYUVBuffer>(8, 8, 1, pool)->GetPixels().GetData();
    EXPECT_EQ(CMyYUVBuffer(8, 8, 0, pool).GetU(), address + 64) << "planes laid out for the new record's format";
    pool.reset();
    rgb.reset();
}

struct Rig {
    CMyInputDataQueue input;
    CMyOutputDataQueue output;
    CMyDecoder11 decoder{&input, &output};
};

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
    std::istringstream in(ops);
    for (std::string op; in >> op;) {
        if (op == "p") rig.input.PushSample(pool.Make(samples.at(next++)).Get()); // the queue's record holds it
        if (op == "e") rig.input.PushEndOfStream();
        if (op == "a") rig.decoder.AbortInput();
        if (op == "s") rig.decoder.StartInput();
        if (op == "x") rig.decoder.Flush();
        if (op == "f") out << "free=" << pool.FreeCount() << ' ';
        if (op == "n") out << "n=" << rig.input.GetCount() << ' ';
        if (op == "g") {
            uint32_t size = 0xAAAAAAAA;
            int32_t status = 0x5555;
            const int32_t result = rig.decoder.GetDataSize(&size, &status);
            if (result == 4)
                out << "4/" << size << (status != 0x5555 ? "! " : " ");
            else
                out << result << "/s" << status << (size != 0xAAAAAAAA ? "! " : " ");
        }
        if (op[0] != 'r') continue;
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
        std::vector<Bytes> samples;
        const char *ops, *expected;
    } rows[] = {
        // Records of zero, one and three units: the empty sample is used up at
        // once, each other one after its last unit; nothing queued is "no more
        // input" at once, the end-of-stream marker is used up.
        {{{}, LengthPrefixed({{0x65, 1, 2, 3, 4}}), LengthPrefixed({{0x41, 1}, {0x41, 2, 2}, {0x41, 3, 3, 3}})},
         "p p p g f r5 f g r2 f g r3 f g r4 f g e g n g",
         "4/5 free=2 =5 65 1 2 3 4 ee free=3 4/2 =2 41 1 ee free=3 4/3 =3 41 2 2 ee free=3 4/4 =4 41 3 3 3 ee free=4 "
         "0/s6 0/s5 n=0 0/s6 "},
        // Records added after no more input; aborted input.
        {{LengthPrefixed({{0x65, 9}})}, "g p g", "0/s6 4/2 "},
        {{LengthPrefixed({{0x65, 9}})}, "p a g n s g", "0/s6 n=1 4/2 "},
        // Samples without complete units are skipped.
        {{{}, {0, 0, 1}, {0, 0, 0, 9, 1, 2}, LengthPrefixed({{0x65, 7, 7}})}, "p p p p g f", "4/3 free=4 "},
        {{LengthPrefixed({{}, {0x65, 1}})}, "p g r0 g", "4/0 =0 ee 4/2 "},
        // A larger request gets the unit and a short count, a smaller one what
        // it asked for; a read without an announced unit gets nothing.
        {{LengthPrefixed({{0x65, 1, 2}, {0x41, 0x99, 0x99}})}, "p g r64 g r2", "4/3 =3 65 1 2 ee 4/3 =2 41 99 ee "},
        {{}, "r8", "=0 ee "},
        // A flush drops the partly read sample.
        {{LengthPrefixed({{0x65, 1}, {0x65, 2}})}, "p g r2 f x f g", "4/2 =2 65 1 ee free=1 free=2 0/s6 "},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Reads(row.samples, row.ops), row.expected) << row.ops;
    Rig rig;
    EXPECT_EQ(rig.decoder.GetDataSize(nullptr, nullptr), 0);
}

} // namespace

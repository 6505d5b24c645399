// Frame rate of the decode filter's path against a plain libavcodec loop.
//
// The path: each sample of the movie is copied into a buffer of a framework
// allocator (as the parser's delivery thread reads it from the file), its
// times and its units are queued, a decode step of CMyDecoder11 runs once
// max(2, processors) records wait, and an output thread takes the picture
// records (and their time records) off the output data queue. The plain
// loop sends the same access units to libavcodec's H.264 decoder with the
// same number of frame threads and only counts the frames.
//
// The movie comes from scripts/bench:
//   $ORVEX_BENCH_DATA/baseline_1280x720_300.mov (default: <build>/bench-data).
#include "AVCDecoderInstance.h"
#include "movie_stream.h"

#include "H264DecodeFilter/MyDecoder11.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <benchmark/benchmark.h>
#include <wrl/client.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using wrapper_test::MovieSample;
using wrapper_test::MovieStream;

const char kMovie[] = "baseline_1280x720_300.mov";

std::string MoviePath()
{
    const char *dir = std::getenv("ORVEX_BENCH_DATA");
    return std::string(dir && *dir ? dir : ORVEX_BENCH_DEFAULT_DATA) + "/" + kMovie;
}

const MovieStream *Movie()
{
    static const std::unique_ptr<MovieStream> movie = []() -> std::unique_ptr<MovieStream> {
        try {
            return std::make_unique<MovieStream>(wrapper_test::LoadMovie(MoviePath()));
        } catch (...) {
            return nullptr;
        }
    }();
    return movie.get();
}

// The decoder library's frame threads: one per processor.
int Threads()
{
    return OrvexIPP::Detail::AVCDecoderInstance::ThreadCount();
}

DWORD DecodeThreshold()
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return std::max<DWORD>(2, info.dwNumberOfProcessors);
}

// --- plain libavcodec loop -----------------------------------------------------

// One Annex B packet per sample, the parameter sets before the first.
std::vector<std::vector<uint8_t>> AnnexBPackets(const MovieStream &movie)
{
    std::vector<std::vector<uint8_t>> packets;
    for (size_t i = 0; i < movie.samples.size(); ++i) {
        std::vector<uint8_t> packet;
        auto add = [&packet](const uint8_t *unit, size_t n) {
            packet.insert(packet.end(), {0, 0, 0, 1});
            packet.insert(packet.end(), unit, unit + n);
        };
        if (i == 0) {
            add(movie.sps.data(), movie.sps.size());
            add(movie.pps.data(), movie.pps.size());
        }
        const std::vector<uint8_t> &bytes = movie.samples[i].bytes;
        for (size_t at = 0; at + 4 <= bytes.size();) {
            const size_t n = (size_t(bytes[at]) << 24) | (size_t(bytes[at + 1]) << 16) | (size_t(bytes[at + 2]) << 8) |
                             bytes[at + 3];
            add(bytes.data() + at + 4, n);
            at += 4 + n;
        }
        packet.resize(packet.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        packets.push_back(std::move(packet));
    }
    return packets;
}

size_t DecodePlain(const std::vector<std::vector<uint8_t>> &packets)
{
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext *ctx = avcodec_alloc_context3(codec);
    ctx->thread_count = Threads();
    ctx->thread_type = FF_THREAD_FRAME;
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
        avcodec_free_context(&ctx);
        return 0;
    }
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    size_t frames = 0;
    auto take = [&] {
        while (avcodec_receive_frame(ctx, frame) == 0) {
            ++frames;
            av_frame_unref(frame);
        }
    };
    for (const auto &bytes : packets) {
        packet->data = const_cast<uint8_t *>(bytes.data());
        packet->size = static_cast<int>(bytes.size() - AV_INPUT_BUFFER_PADDING_SIZE);
        while (avcodec_send_packet(ctx, packet) == AVERROR(EAGAIN))
            take();
        take();
    }
    avcodec_send_packet(ctx, nullptr);
    take();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
    return frames;
}

// --- the decode filter's path ----------------------------------------------------

class FilterPath {
public:
    FilterPath(const MovieStream &movie, const GUID &subtype) : m_movie(movie), m_threshold(DecodeThreshold())
    {
        CreateMemoryAllocator(&m_pAllocator);
        ALLOCATOR_PROPERTIES request{LONG(m_threshold) + 8, LONG(movie.LargestSample()), 1, 0}, actual{};
        m_pAllocator->SetProperties(&request, &actual);
        m_pAllocator->Commit();
        m_decoder.SetParameterSets(m_movie.sps.data(), WORD(m_movie.sps.size()), m_movie.pps.data(),
                                   WORD(m_movie.pps.size()), m_movie.description.get());
        CMediaType mt(&MEDIATYPE_Video);
        mt.SetSubtype(&subtype);
        m_decoder.SetOutputFormat(&mt);
    }
    ~FilterPath() { m_pAllocator->Decommit(); }

    // Plays the movie once; returns the pictures the output thread took.
    size_t Play()
    {
        m_input.ResetEvents();
        m_output.ResetEvents();
        if (!m_decoder.CreateDecoder()) return 0;
        size_t pictures = 0;
        std::thread output([&] {
            while (std::unique_ptr<CMyOutputData> record = m_output.WaitPop()) {
                if (record->GetKind() == CMyOutputData::kEndOfStream) break;
                if (record->GetKind() != CMyOutputData::kPicture) continue;
                benchmark::DoNotOptimize(record->GetTimeInfo().m_start);
                benchmark::DoNotOptimize(record->GetPixels().GetData());
                ++pictures;
            }
        });

        for (const std::vector<uint8_t> *set : {&m_movie.sps, &m_movie.pps}) { // behind a 4-byte length
            std::vector<uint8_t> bytes{0, 0, uint8_t(set->size() >> 8), uint8_t(set->size())};
            bytes.insert(bytes.end(), set->begin(), set->end());
            Deliver(bytes, nullptr);
        }
        m_decoder.DecodeHeader();
        for (const MovieSample &sample : m_movie.samples) {
            Deliver(sample.bytes, &sample);
            if (m_input.GetCount() >= m_threshold) m_decoder.DecodeFrame();
        }
        m_input.PushEndOfStream();
        while (m_decoder.DecodeFrame() != 2) {
        }
        output.join();

        m_output.Abort();
        m_decoder.FreeDecoder();
        m_input.Clear();
        m_output.ClearAll();
        return pictures;
    }

private:
    void Deliver(const std::vector<uint8_t> &bytes, const MovieSample *times)
    {
        Microsoft::WRL::ComPtr<IMediaSample> pSample;
        if (FAILED(m_pAllocator->GetBuffer(&pSample, nullptr, nullptr, 0))) return;
        BYTE *pBuffer = nullptr;
        pSample->GetPointer(&pBuffer);
        std::memcpy(pBuffer, bytes.data(), bytes.size());
        pSample->SetActualDataLength(LONG(bytes.size()));
        std::unique_ptr<CSampleTimeInfo> pTime;
        if (times) {
            REFERENCE_TIME start = times->start, stop = times->stop;
            pSample->SetTime(&start, &stop);
            pTime = CSampleTimeInfo::FromSample(pSample.Get());
        }
        m_input.PushSample(pSample.Get(), std::move(pTime));
    }

    const MovieStream &m_movie;
    const DWORD m_threshold;
    Microsoft::WRL::ComPtr<IMemAllocator> m_pAllocator;
    CMyInputDataQueue m_input;
    CMyOutputDataQueue m_output;
    CMyDecoder11 m_decoder{&m_input, &m_output};
};

bool HaveMovie(benchmark::State &state)
{
    if (Movie()) return true;
    state.SkipWithError(("no " + MoviePath() + ": run scripts/bench").c_str());
    return false;
}

void SetCounters(benchmark::State &state, size_t frames)
{
    state.counters["fps"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["threads"] = Threads();
}

void BM_PlainLibavcodec(benchmark::State &state)
{
    if (!HaveMovie(state)) return;
    const auto packets = AnnexBPackets(*Movie());
    size_t frames = 0;
    for (auto _ : state)
        frames += DecodePlain(packets);
    SetCounters(state, frames);
}
BENCHMARK(BM_PlainLibavcodec)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecoderWrapper(benchmark::State &state)
{
    if (!HaveMovie(state)) return;
    const GUID *subtypes[] = {&MEDIASUBTYPE_YV12, &MEDIASUBTYPE_RGB32};
    FilterPath path(*Movie(), *subtypes[state.range(0)]);
    size_t frames = 0;
    for (auto _ : state)
        frames += path.Play();
    SetCounters(state, frames);
}
BENCHMARK(BM_DecoderWrapper)->ArgName("rgb32")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Seconds of processor time used by every thread of the process so far.
double ProcessCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Both in turn within each iteration, so that load from elsewhere on the
// machine hits them alike; reports both frame rates and their ratio, by
// the clock on the wall and by the processor time all threads used (the
// steadier figure on a machine shared with other work).
void BM_DecoderWrapperVsPlain(benchmark::State &state)
{
    if (!HaveMovie(state)) return;
    const auto packets = AnnexBPackets(*Movie());
    FilterPath path(*Movie(), MEDIASUBTYPE_YV12);
    using Clock = std::chrono::steady_clock;
    double plainSeconds = 0, wrapperSeconds = 0, plainCpu = 0, wrapperCpu = 0;
    size_t plainFrames = 0, wrapperFrames = 0;
    bool plainFirst = true;
    for (auto _ : state) {
        // The order changes every iteration, so neither loop always runs
        // in the wake of the other.
        for (int turn = 0; turn < 2; ++turn) {
            const bool plain = (turn == 0) == plainFirst;
            const auto t0 = Clock::now();
            const double c0 = ProcessCpuSeconds();
            const size_t frames = plain ? DecodePlain(packets) : path.Play();
            const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
            const double cpu = ProcessCpuSeconds() - c0;
            (plain ? plainFrames : wrapperFrames) += frames;
            (plain ? plainSeconds : wrapperSeconds) += seconds;
            (plain ? plainCpu : wrapperCpu) += cpu;
        }
        plainFirst = !plainFirst;
    }
    const double plainFps = double(plainFrames) / plainSeconds;
    const double wrapperFps = double(wrapperFrames) / wrapperSeconds;
    state.counters["plain_fps"] = plainFps;
    state.counters["wrapper_fps"] = wrapperFps;
    state.counters["ratio"] = wrapperFps / plainFps;
    state.counters["plain_cpu_fps"] = double(plainFrames) / plainCpu;
    state.counters["wrapper_cpu_fps"] = double(wrapperFrames) / wrapperCpu;
    state.counters["cpu_ratio"] = (double(wrapperFrames) / wrapperCpu) / (double(plainFrames) / plainCpu);
    state.counters["plain_frames"] = double(plainFrames) / double(state.iterations());
    state.counters["wrapper_frames"] = double(wrapperFrames) / double(state.iterations());
    state.counters["threads"] = Threads();
}
BENCHMARK(BM_DecoderWrapperVsPlain)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

} // namespace

BENCHMARK_MAIN();

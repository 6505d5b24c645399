// Frame rate of the decoder library (reader and writer callbacks, pictures
// copied into record-like buffers) against a plain libavcodec loop that
// decodes the same access units with the same frame threads and keeps no
// pictures. The movie comes from scripts/bench:
//   $ORVEX_BENCH_DATA/baseline_1280x720_300.h264 (default: <build>/bench-data).
#include "AVCDecoderInstance.h"
#include "OrvexIPPH264DecLib.h"
#include "decoder/declib_harness.h"
#include "support/annexb.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {

using declib_test::AnnexBStream;
using declib_test::Nal;
using declib_test::Sample;

const char kMovie[] = "baseline_1280x720_300.h264";

std::string MoviePath()
{
    const char *dir = std::getenv("ORVEX_BENCH_DATA");
    return std::string(dir && *dir ? dir : ORVEX_BENCH_DEFAULT_DATA) + "/" + kMovie;
}

const AnnexBStream *Movie()
{
    static std::unique_ptr<AnnexBStream> movie = [] {
        try {
            return std::make_unique<AnnexBStream>(declib_test::LoadAnnexB(MoviePath()));
        } catch (const std::exception &) {
            return std::unique_ptr<AnnexBStream>();
        }
    }();
    return movie.get();
}

// The same thread count as the library: one per processor.
int Threads()
{
    return OrvexIPP::Detail::AVCDecoderInstance::ThreadCount();
}

// --- plain libavcodec loop -------------------------------------------------

struct PlainInput {
    std::vector<std::vector<uint8_t>> packets; // Annex B, padded
};

const PlainInput &Packets(const AnnexBStream &movie)
{
    static PlainInput input = [&movie] {
        PlainInput in;
        for (size_t i = 0; i < movie.samples.size(); ++i) {
            std::vector<uint8_t> packet;
            auto add = [&packet](const Nal &nal) {
                packet.insert(packet.end(), {0, 0, 0, 1});
                packet.insert(packet.end(), nal.begin(), nal.end());
            };
            if (i == 0) {
                add(movie.sps);
                add(movie.pps);
            }
            for (const Nal &nal : movie.samples[i])
                add(nal);
            packet.resize(packet.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
            in.packets.push_back(std::move(packet));
        }
        return in;
    }();
    return input;
}

size_t DecodePlain(const PlainInput &input)
{
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext *ctx = avcodec_alloc_context3(codec);
    ctx->thread_count = Threads();
    ctx->thread_type = FF_THREAD_FRAME;
    avcodec_open2(ctx, codec, nullptr);
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    size_t frames = 0;
    auto take = [&] {
        while (avcodec_receive_frame(ctx, frame) == 0) {
            ++frames;
            av_frame_unref(frame);
        }
    };
    for (const auto &bytes : input.packets) {
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

// --- the library through its callbacks ------------------------------------

class Reader : public OrvexIPP::AbstractReader {
public:
    std::deque<const Sample *> queue; // null: end of stream
    const Sample *held = nullptr;
    size_t next = 0;

    int32_t GetDataSize(uint32_t *size, int32_t *status) override
    {
        while (!held) {
            if (queue.empty()) {
                *status = AVCD_READER_STATUS_NO_MORE_INPUT;
                return 0;
            }
            const Sample *s = queue.front();
            queue.pop_front();
            if (!s) {
                *status = AVCD_READER_STATUS_END_OF_STREAM;
                return 0;
            }
            if (!s->empty()) {
                held = s;
                next = 0;
            }
        }
        *size = static_cast<uint32_t>((*held)[next].size());
        return 4;
    }

    int32_t ReadData(uint8_t *buffer, uint32_t size, int32_t) override
    {
        std::memcpy(buffer, (*held)[next].data(), size);
        if (++next == held->size()) held = nullptr;
        return static_cast<int32_t>(size);
    }
};

// Copies every picture into one buffer laid out like the filter's records.
class Writer : public OrvexIPP::AbstractWriter {
public:
    std::vector<uint8_t> record;
    size_t cursor = 0;
    size_t pictures = 0;

    int32_t SetStatus(const OrvexIPP::WriterStatus *info) override
    {
        if (info->status == AVCD_WRITER_STATUS_PICTURE_START) {
            const size_t bytes = size_t{info->width} * info->height * 4;
            if (record.size() < bytes) record.resize(bytes);
            cursor = 0;
        } else if (info->status == AVCD_WRITER_STATUS_PICTURE_DONE) {
            ++pictures;
        }
        return 0;
    }
    int32_t WriteData(const uint8_t *data, uint32_t size) override
    {
        if (cursor + size <= record.size()) {
            std::memcpy(record.data() + cursor, data, size);
            cursor += size;
        }
        return 0;
    }
};

size_t DecodeWithLibrary(const AnnexBStream &movie, int32_t format)
{
    Reader reader;
    Writer writer;
    OrvexIPP::AVCDecoder *decoder = CreateAVCDecInstance();
    decoder->SetParam(AVCD_PARAM_OUTPUT_FORMAT, format);
    decoder->Initialize(&reader, &writer);
    const Sample sps{movie.sps}, pps{movie.pps};
    reader.queue.push_back(&sps);
    reader.queue.push_back(&pps);
    decoder->DecodeHeader();
    // As the decode filter: one step per sample once enough samples wait.
    const size_t threshold = std::max(2, Threads());
    for (const Sample &s : movie.samples) {
        reader.queue.push_back(&s);
        if (reader.queue.size() >= threshold) decoder->Decode();
    }
    reader.queue.push_back(nullptr);
    while (decoder->Decode() != AVCD_DECODE_END_OF_STREAM) {
    }
    decoder->Close();
    FreeAVCDecInstance(decoder);
    return writer.pictures;
}

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
    const PlainInput &input = Packets(*Movie());
    size_t frames = 0;
    for (auto _ : state)
        frames += DecodePlain(input);
    SetCounters(state, frames);
}
BENCHMARK(BM_PlainLibavcodec)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecLib(benchmark::State &state)
{
    if (!HaveMovie(state)) return;
    const auto format = static_cast<int32_t>(state.range(0));
    size_t frames = 0;
    for (auto _ : state)
        frames += DecodeWithLibrary(*Movie(), format);
    SetCounters(state, frames);
}
BENCHMARK(BM_DecLib)
    ->ArgName("format")
    ->Arg(AVCD_PARAM_OUTPUT_FORMAT_ID_YV12)
    ->Arg(AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24)
    ->Arg(AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Both loops in turn within each iteration, so that load from elsewhere on
// the machine hits them alike; reports both frame rates and their ratio.
void BM_DecLibVsPlain(benchmark::State &state)
{
    if (!HaveMovie(state)) return;
    const PlainInput &input = Packets(*Movie());
    using Clock = std::chrono::steady_clock;
    double plainSeconds = 0, libSeconds = 0;
    size_t plainFrames = 0, libFrames = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        plainFrames += DecodePlain(input);
        auto t1 = Clock::now();
        libFrames += DecodeWithLibrary(*Movie(), AVCD_PARAM_OUTPUT_FORMAT_ID_YV12);
        auto t2 = Clock::now();
        plainSeconds += std::chrono::duration<double>(t1 - t0).count();
        libSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    const double plainFps = plainFrames / plainSeconds;
    const double libFps = libFrames / libSeconds;
    state.counters["plain_fps"] = plainFps;
    state.counters["declib_fps"] = libFps;
    state.counters["ratio"] = libFps / plainFps;
    state.counters["threads"] = Threads();
}
BENCHMARK(BM_DecLibVsPlain)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

} // namespace

BENCHMARK_MAIN();

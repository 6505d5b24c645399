#include "play_command.h"

#include "adts_writer.h"
#include "exit_status.h"
#include "hresult_names.h"
#include "play_graph.h"
#include "progress_bar.h"
#include "video_sink.h"
#include "wav_writer.h"

#include "MovFileParserFilter/MovParserMediaTypes.h"

#include <uuids.h>

#include <atomic>
#include <csignal>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <numeric>

namespace orvex {

namespace {

// Set by Ctrl-C or a termination request: the graph stops and the
// temporary files go, instead of a half-written output staying behind.
volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int)
{
    interrupted = 1;
}

// What the streaming threads report back: counts, times, the first failure.
struct PlayState {
    std::atomic<uint64_t> frames{0};
    std::atomic<LONGLONG> firstStart{-1}, lastStart{0}, lastStop{0};
    std::atomic<bool> failed{false};
    std::mutex errorLock;
    std::string error;

    void fail(const std::string &message)
    {
        std::lock_guard<std::mutex> lock(errorLock);
        if (error.empty()) error = message;
        failed = true;
    }
};

bool endsWith(const std::string &text, const char *end)
{
    const std::string e(end);
    return text.size() >= e.size() && text.compare(text.size() - e.size(), e.size(), e) == 0;
}

std::unique_ptr<AudioSink> makeAudioSink(const std::string &path, const AM_MEDIA_TYPE &type)
{
    const bool aac = type.subtype == MEDIASUBTYPE_MovParserAAC;
    if (endsWith(path, ".wav")) {
        if (aac || type.formattype != FORMAT_WaveFormatEx)
            throw OutputError("cannot write " + path + ": the movie's sound is AAC; write it to a .aac file");
        return std::make_unique<WavWriter>(path, reinterpret_cast<const WAVEFORMATEX *>(type.pbFormat), type.cbFormat);
    }
    if (endsWith(path, ".aac")) {
        if (!aac) throw OutputError("cannot write " + path + ": the movie's sound is PCM; write it to a .wav file");
        return std::make_unique<AdtsWriter>(path, type.pbFormat, type.cbFormat);
    }
    throw OutputError("cannot write " + path + ": the sound file must end in .wav or .aac");
}

void rateOf(const AM_MEDIA_TYPE &type, uint32_t &num, uint32_t &den)
{
    num = 25;
    den = 1;
    if (type.formattype != FORMAT_VideoInfo || type.cbFormat < sizeof(VIDEOINFOHEADER)) return;
    const LONGLONG avg = reinterpret_cast<const VIDEOINFOHEADER *>(type.pbFormat)->AvgTimePerFrame;
    if (avg <= 0 || avg > 0xFFFFFFFFLL) return;
    // AvgTimePerFrame is truncated to 100 ns: 15 a second arrives as 666666.
    // A rate of n/1 or n/1001 within that truncation is the rate meant.
    for (uint64_t d : {uint64_t(1), uint64_t(1001)}) {
        const uint64_t n = uint64_t(std::llround(1e7 * double(d) / double(avg)));
        if (n && std::fabs(1e7 * double(d) / double(n) - double(avg)) < 1.0) {
            num = uint32_t(n);
            den = uint32_t(d);
            return;
        }
    }
    const uint64_t g = std::gcd(uint64_t(10000000), uint64_t(avg));
    num = uint32_t(10000000 / g);
    den = uint32_t(uint64_t(avg) / g);
}

} // namespace

int runPlay(const cli::Options &o)
{
    PlaySettings settings;
    settings.file = o.args.at(0);
    parsePixelFormat(o.format, settings.format);
    settings.scale = o.scale;
    settings.deblock = o.deblock;
    settings.sound = !o.audioOut.empty();
    settings.realtime = o.realtime;
    settings.start = o.start;
    settings.stop = o.stop;

    PlayState state;
    std::unique_ptr<VideoSink> video;
    std::unique_ptr<AudioSink> audio;
    PictureLayout layout;
    auto onPicture = [&](IMediaSample *sample) {
        if (state.failed) return;
        REFERENCE_TIME start = 0, stop = 0;
        if (SUCCEEDED(sample->GetTime(&start, &stop))) {
            LONGLONG none = -1;
            state.firstStart.compare_exchange_strong(none, start);
            state.lastStart = start;
            state.lastStop = stop;
        }
        const uint64_t index = state.frames++;
        if (o.trace) {
            // Sample times of each picture as the renderer sees them.
            REFERENCE_TIME t0 = -1, t1 = -1;
            const HRESULT timed = sample->GetTime(&t0, &t1);
            std::fprintf(stderr, "orvex: picture %llu %s %lld..%lld\n", static_cast<unsigned long long>(index),
                         SUCCEEDED(timed) ? "time" : "no time", static_cast<long long>(t0), static_cast<long long>(t1));
        }
        if (!video) return;
        BYTE *data = nullptr;
        if (FAILED(sample->GetPointer(&data))) return state.fail("a picture sample has no buffer");
        try {
            video->writePicture(layout, data, size_t(sample->GetActualDataLength()));
        } catch (const std::exception &e) {
            state.fail(e.what());
        }
    };
    auto onSound = [&](IMediaSample *sample) {
        if (state.failed || !audio) return;
        BYTE *data = nullptr;
        if (FAILED(sample->GetPointer(&data))) return state.fail("a sound sample has no buffer");
        try {
            audio->writeSample(data, size_t(sample->GetActualDataLength()));
        } catch (const std::exception &e) {
            state.fail(e.what());
        }
    };

    PlayGraph graph;
    PlayError error;
    if (!graph.build(settings, onPicture, onSound, error)) {
        std::fprintf(stderr, "orvex: %s\n", error.message.c_str());
        return error.status;
    }
    // Before the first temporary file: an interruption from here on removes it.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    try {
        layout = graph.pictureLayoutOfType();
        if (!o.videoOut.empty()) {
            uint32_t num, den;
            rateOf(graph.videoType(), num, den);
            video = makeVideoSink(o.videoOut, settings.format, num, den);
        }
        if (!o.audioOut.empty()) audio = makeAudioSink(o.audioOut, graph.soundType());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "orvex: %s\n", e.what());
        return kExitCannotCreate;
    }

    const double offset = settings.start.value_or(0);
    const double total = (settings.stop ? *settings.stop : double(graph.durationRt()) / 1e7) - offset;
    const auto began = std::chrono::steady_clock::now();
    HRESULT hr;
    {
        ProgressBar bar(!o.quiet);
        hr = graph.run([&state] { return state.failed.load() || interrupted != 0; },
                       [&] { bar.show(double(state.lastStop.load()) / 1e7 - offset, total); });
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    if (state.failed) {
        std::fprintf(stderr, "orvex: %s\n", state.error.c_str());
        return kExitCannotCreate;
    }
    if (interrupted) {
        std::fprintf(stderr, "orvex: interrupted; nothing written\n");
        return kExitInterrupted;
    }
    if (FAILED(hr)) {
        std::fprintf(stderr, "orvex: playing %s failed: %s (0x%08X)\n", settings.file.c_str(), hresultName(hr).c_str(),
                     unsigned(hr));
        return kExitFailed;
    }
    try {
        if (video) video->finish();
        if (audio) audio->finish();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "orvex: %s\n", e.what());
        return kExitCannotCreate;
    }

    const uint64_t frames = state.frames;
    const LONGLONG first = state.firstStart < 0 ? 0 : state.firstStart.load();
    const double media = frames ? double(state.lastStop - first) / 1e7 : 0;
    // Pictures the timeline had room for but that never came (late-frame skip).
    uint64_t dropped = 0;
    const auto *vih = reinterpret_cast<const VIDEOINFOHEADER *>(graph.videoType().pbFormat);
    if (frames && vih->AvgTimePerFrame > 0) {
        const auto expected =
            uint64_t(std::llround(double(state.lastStart - first) / double(vih->AvgTimePerFrame))) + 1;
        dropped = expected > frames ? expected - frames : 0;
    }
    if (!o.quiet)
        std::printf("%s: %llu frames, %.3f s of media, %.3f s wall, %.1f frames/s, %llu dropped\n",
                    settings.file.c_str(), static_cast<unsigned long long>(frames), media, wall,
                    wall > 0 ? double(frames) / wall : 0.0, static_cast<unsigned long long>(dropped));
    return kExitOk;
}

} // namespace orvex

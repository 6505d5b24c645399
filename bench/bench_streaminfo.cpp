// Loading time of movies with many samples: H.264 video at 30000/1001 with
// one 'stsc' entry for every chunk of 30 samples and one 'stss' entry every
// 60 samples, and 8 kHz mono 8-bit PCM sound in one-second chunks. The media
// data are a hole in a sparse file, so the files take little room.
#include "MovFileParserFilter/MovieStreamLoader.h"
#include "MovFileParserFilter/MySampleIndexWalk.h"
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTMovie.h"
#include "MyQuickTimeAPIs/MyQTMovieLoader.h"
#include "support/annexb.h"
#include "support/atom_builder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <malloc.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>

using namespace orvex::test;

namespace {

constexpr uint32_t kSampleSize = 100;
constexpr uint32_t kSamplesPerChunk = 30;
constexpr uint32_t kSyncDistance = 60;
constexpr uint32_t kFrameDuration = 1001;
constexpr uint32_t kVideoTimeScale = 30000;
constexpr uint32_t kSoundRate = 8000;

struct Movie {
    std::string path;
    ~Movie()
    {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove(path, ignored);
    }
};

Atom videoTrak(uint32_t n, const H264Stream &stream)
{
    std::vector<uint32_t> sizes(n, kSampleSize), offsets, sync, runs;
    sizes.insert(sizes.begin(), n); // after the common size 0
    const uint32_t chunks = (n + kSamplesPerChunk - 1) / kSamplesPerChunk;
    for (uint32_t c = 0; c < chunks; ++c) {
        offsets.push_back(8 + c * kSamplesPerChunk * kSampleSize);
        // One entry a chunk, as a muxer that never merges runs writes it.
        runs.insert(runs.end(), {c + 1, std::min(kSamplesPerChunk, n - c * kSamplesPerChunk), 1});
    }
    for (uint32_t s = 1; s <= n; s += kSyncDistance)
        sync.push_back(s);
    qt::TrackAtoms track;
    track.timeScale = kVideoTimeScale;
    track.duration = int32_t(n * kFrameDuration);
    track.sampleDescriptions = qt::stsd({qt::imageDescription("avc1", 176, 144, {qt::avcC(stream.sps, stream.pps)})});
    track.tables = {qt::table("stts", {n, kFrameDuration}, 1), qt::table("stss", sync, uint32_t(sync.size())),
                    qt::table("stsc", runs, chunks), qt::table("stsz", sizes, 0), qt::table("stco", offsets, chunks)};
    return qt::trak(track);
}

Atom soundTrak(uint32_t seconds, uint32_t firstOffset)
{
    std::vector<uint32_t> offsets;
    for (uint32_t s = 0; s < seconds; ++s)
        offsets.push_back(firstOffset + s * kSoundRate);
    qt::TrackAtoms track;
    track.trackId = 2;
    track.mediaType = "soun";
    track.timeScale = kSoundRate;
    track.duration = int32_t(seconds * kSoundRate);
    track.sampleDescriptions = qt::stsd({qt::soundDescription("raw ", 1, 8, kSoundRate)});
    track.tables = {qt::table("stts", {seconds * kSoundRate, 1}, 1), qt::table("stsc", {1, kSoundRate, 1}, 1),
                    qt::table("stsz", {seconds * kSoundRate}, 1), qt::table("stco", offsets, seconds)};
    return qt::trak(track);
}

// Writes (once) the movie with n video samples and returns its path.
const std::string &movieWith(uint32_t n)
{
    static std::map<uint32_t, Movie> movies;
    auto found = movies.find(n);
    if (found != movies.end()) return found->second.path;

    static const H264Stream stream =
        parseAnnexB(readFileBytes(std::string(ORVEX_TEST_DATA_DIR) + "/movies/stream_176x144_15fps.h264"));
    const uint64_t videoBytes = uint64_t(n) * kSampleSize;
    const uint32_t seconds = uint32_t(uint64_t(n) * kFrameDuration / kVideoTimeScale);
    const uint64_t mdatSize = 8 + videoBytes + uint64_t(seconds) * kSoundRate;

    Atom moov("moov", std::vector<Atom>{qt::mvhd(600, 600), videoTrak(n, stream),
                                        soundTrak(seconds, uint32_t(8 + videoBytes))});
    const Bytes moovBytes = moov.bytes();
    const std::string path =
        (std::filesystem::temp_directory_path() / ("orvex-bench-" + std::to_string(n) + ".mov")).string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const uint8_t header[8] = {uint8_t(mdatSize >> 24),
                                   uint8_t(mdatSize >> 16),
                                   uint8_t(mdatSize >> 8),
                                   uint8_t(mdatSize),
                                   'm',
                                   'd',
                                   'a',
                                   't'};
        out.write(reinterpret_cast<const char *>(header), 8);
        out.seekp(std::streamoff(mdatSize)); // the media data: a hole
        out.write(reinterpret_cast<const char *>(moovBytes.data()), std::streamsize(moovBytes.size()));
        if (!out) throw std::runtime_error("cannot write " + path);
    }
    Movie &made = movies[n];
    made.path = path;
    return made.path;
}

std::wstring widen(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

void BM_LoadMovie(benchmark::State &state)
{
    const uint32_t n = uint32_t(state.range(0));
    const std::wstring path = widen(movieWith(n));
    for (auto _ : state) {
        CMyMovieStreams streams;
        if (LoadMovieStreams(path.c_str(), &streams) != S_OK || streams.video->GetEntryCount() != n) {
            state.SkipWithError("the movie did not load");
            break;
        }
        benchmark::DoNotOptimize(streams.sound.get());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * n);
    state.SetComplexityN(n);
}
BENCHMARK(BM_LoadMovie)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// Reading the movie atom and building the movie model alone.
void BM_LoadMovieAtom(benchmark::State &state)
{
    const std::wstring path = widen(movieWith(uint32_t(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadMovieAtom(path.c_str()));
}
BENCHMARK(BM_LoadMovieAtom)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The video index walk alone, over the loaded movie model.
void BM_VideoIndexWalk(benchmark::State &state)
{
    const uint32_t n = uint32_t(state.range(0));
    const std::wstring path = widen(movieWith(n));
    std::unique_ptr<CMyQTMovie> movie = LoadMovieAtom(path.c_str());
    const CMyQTMedia *media = GetTrackMedia(GetMovieIndTrack(movie.get(), 1));
    for (auto _ : state) {
        size_t entries = 0;
        WalkMediaSamples(media, 0xFFFFFFFF, 1, [&](const MediaSampleRef &) { ++entries; });
        if (entries != n) state.SkipWithError("short index");
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * n);
    state.SetComplexityN(n);
}
BENCHMARK(BM_VideoIndexWalk)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

} // namespace

int main(int argc, char **argv)
{
    // glibc hands large blocks back to the kernel only above a threshold it
    // raises as blocks are freed (up to 32 MB): without a fixed threshold the
    // 4 MB index of 100k samples would be recycled from the heap while the
    // 40 MB index of 1M samples is faulted in page by page on every load.
    // Fixed, every size pays for fresh pages, as a load in a new process does.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

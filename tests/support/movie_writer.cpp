#include "support/movie_writer.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace orvex::test {

namespace {

constexpr uint32_t kMovieTimeScale = 600;

struct Media {
    Bytes body;
    std::vector<uint32_t> videoOffsets, soundOffsets, soundFrames; // from the body's start
};

// Second by second: that second's sound chunk, then the video samples starting before its end.
Media layOut(const VideoInput &video, const SoundInput *sound)
{
    Media out;
    const uint32_t frames = sound ? sound->frameCount() : 0;
    const uint32_t chunks = sound ? (frames + sound->sampleRate - 1) / sound->sampleRate : 0;
    size_t next = 0;
    for (uint32_t second = 0; next < video.samples.size() || second < chunks; ++second) {
        if (second < chunks) {
            const uint32_t first = second * sound->sampleRate, count = std::min(sound->sampleRate, frames - first);
            out.soundOffsets.push_back(uint32_t(out.body.size()));
            out.soundFrames.push_back(count);
            auto begin = sound->pcm.begin() + long(uint64_t(first) * sound->bytesPerFrame());
            out.body.insert(out.body.end(), begin, begin + long(uint64_t(count) * sound->bytesPerFrame()));
        }
        for (; next < video.samples.size() &&
               uint64_t(next) * video.frameDuration < uint64_t(second + 1) * video.timeScale;
             ++next) {
            out.videoOffsets.push_back(uint32_t(out.body.size()));
            out.body.insert(out.body.end(), video.samples[next].begin(), video.samples[next].end());
        }
    }
    return out;
}

Atom offsets(std::vector<uint32_t> offsets, uint64_t base)
{
    for (uint32_t &offset : offsets)
        offset = uint32_t(base + offset);
    return qt::table("stco", offsets, uint32_t(offsets.size()));
}

Atom movieAtom(const VideoInput &video, const SoundInput *sound, MovieLayout layout, const Media &media, uint64_t base)
{
    const uint32_t count = uint32_t(video.samples.size()), duration = count * video.frameDuration;
    std::vector<uint32_t> sizes{count}, syncNumbers; // 'stsz': common size 0, the count, the sizes
    for (uint32_t i = 0; i < count; ++i) {
        sizes.push_back(uint32_t(video.samples[i].size()));
        if (i < video.sync.size() && video.sync[i]) syncNumbers.push_back(i + 1);
    }
    qt::TrackAtoms v;
    v.timeScale = int32_t(video.timeScale);
    v.duration = int32_t(duration);
    v.trackDuration = uint32_t(uint64_t(duration) * kMovieTimeScale / video.timeScale);
    v.sampleDescriptions =
        qt::stsd({qt::imageDescription("avc1", video.width, video.height, {qt::avcC(video.sps, video.pps)})});
    v.tables = {qt::table("stts", {count, video.frameDuration}, 1),
                qt::table("stss", syncNumbers, uint32_t(syncNumbers.size())), qt::table("stsc", {1, 1, 1}, 1),
                qt::table("stsz", sizes, 0), offsets(media.videoOffsets, base)};
    Atom moov("moov", std::vector<Atom>{qt::mvhd(kMovieTimeScale, v.trackDuration), qt::trak(v)});
    if (sound) {
        const uint32_t frames = sound->frameCount(), chunks = uint32_t(media.soundFrames.size());
        std::vector<uint32_t> runs{1, sound->sampleRate, 1};
        if (chunks && media.soundFrames.back() != sound->sampleRate)
            runs.insert(runs.end(), {chunks, media.soundFrames.back(), 1});
        if (chunks == 1 && runs.size() == 6) runs.erase(runs.begin(), runs.begin() + 3);
        qt::TrackAtoms s;
        s.trackId = 2;
        s.mediaType = "soun";
        s.timeScale = int32_t(sound->sampleRate);
        s.duration = int32_t(frames);
        s.trackDuration = uint32_t(uint64_t(frames) * kMovieTimeScale / sound->sampleRate);
        s.sampleDescriptions =
            qt::stsd({qt::soundDescription(sound->format, sound->channels, sound->bitsPerSample, sound->sampleRate)});
        s.tables = {qt::table("stts", {frames, 1}, 1), qt::table("stsc", runs, uint32_t(runs.size() / 3)),
                    qt::table("stsz", {frames}, 1), offsets(media.soundOffsets, base)};
        moov.add(qt::trak(s));
    }
    if (layout == MovieLayout::kCamera) moov.add(qt::udtaCameraTag());
    return moov;
}

} // namespace

VideoInput videoFromStream(const H264Stream &stream, int16_t width, int16_t height, uint32_t timeScale,
                           uint32_t frameDuration)
{
    VideoInput video{stream.sps, stream.pps, {}, {}, width, height, timeScale, frameDuration};
    for (const auto &unit : stream.accessUnits) {
        video.samples.push_back(unit.sample);
        video.sync.push_back(unit.idr);
    }
    return video;
}

SoundInput makeSound(double seconds, uint16_t channels, uint32_t sampleRate)
{
    SoundInput sound;
    sound.channels = channels;
    sound.sampleRate = sampleRate;
    ByteWriter w;
    for (uint32_t f = 0; f < uint32_t(seconds * sampleRate); ++f)
        for (uint16_t c = 0; c < channels; ++c)
            w.u8(f * 512u).u8((f * 512u) >> 8);
    sound.pcm = w.data();
    return sound;
}

WrittenMovie writeMovie(const VideoInput &video, const SoundInput *sound, const MovieOptions &options)
{
    const Media media = layOut(video, sound);
    const Atom ftyp("ftyp", ByteWriter().fourcc("qt  ").be32(0x200).fourcc("qt  ").data()), mdat("mdat", media.body);
    // The movie atom's size does not depend on the offsets it holds.
    const uint64_t moovLength = movieAtom(video, sound, options.layout, media, 0).length();
    const uint64_t mdatOffset = ftyp.length() + (options.moovFirst ? moovLength : 0);
    const Atom moov = movieAtom(video, sound, options.layout, media, mdatOffset + 8);
    return {options.moovFirst ? fileBytes({ftyp, moov, mdat}) : fileBytes({ftyp, mdat, moov})};
}

void writeFileBytes(const std::string &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

} // namespace orvex::test

#include "support/movie_writer.h"

#include "support/atom_builder.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace orvex::test {

namespace {

constexpr uint32_t kMovieTimeScale = 600;

struct MdatLayout {
    Bytes body;
    std::vector<uint32_t> videoOffsets; // relative to the body's start
    std::vector<uint32_t> soundOffsets;
    std::vector<uint32_t> soundFrames;
};

// Second by second: that second's sound chunk, then its video samples.
MdatLayout layOutMedia(const VideoInput &video, const SoundInput *sound)
{
    MdatLayout out;
    uint32_t frames = sound ? sound->frameCount() : 0;
    uint32_t chunks = sound ? (frames + sound->sampleRate - 1) / sound->sampleRate : 0;
    size_t next = 0;
    for (uint32_t second = 0; next < video.samples.size() || second < chunks; ++second) {
        if (second < chunks) {
            uint32_t first = second * sound->sampleRate;
            uint32_t count = std::min(sound->sampleRate, frames - first);
            out.soundOffsets.push_back(static_cast<uint32_t>(out.body.size()));
            out.soundFrames.push_back(count);
            auto begin = sound->pcm.begin() + static_cast<long>(uint64_t(first) * sound->bytesPerFrame());
            out.body.insert(out.body.end(), begin, begin + static_cast<long>(uint64_t(count) * sound->bytesPerFrame()));
        }
        // Samples starting before the end of this second.
        while (next < video.samples.size() &&
               uint64_t(next) * video.frameDuration < uint64_t(second + 1) * video.timeScale) {
            out.videoOffsets.push_back(static_cast<uint32_t>(out.body.size()));
            out.body.insert(out.body.end(), video.samples[next].begin(), video.samples[next].end());
            ++next;
        }
    }
    return out;
}

std::vector<uint32_t> shifted(const std::vector<uint32_t> &offsets, uint64_t base)
{
    std::vector<uint32_t> out;
    for (uint32_t o : offsets)
        out.push_back(static_cast<uint32_t>(base + o));
    return out;
}

Atom videoTrack(const VideoInput &video, const MdatLayout &media, uint64_t base)
{
    uint32_t count = static_cast<uint32_t>(video.samples.size());
    std::vector<uint32_t> sizes, syncNumbers;
    for (uint32_t i = 0; i < count; ++i) {
        sizes.push_back(static_cast<uint32_t>(video.samples[i].size()));
        if (i < video.sync.size() && video.sync[i]) syncNumbers.push_back(i + 1);
    }
    uint32_t duration = count * video.frameDuration;
    qt::TrackAtoms track;
    track.trackId = 1;
    track.mediaType = "vide";
    track.timeScale = static_cast<int32_t>(video.timeScale);
    track.duration = static_cast<int32_t>(duration);
    track.trackDuration = static_cast<uint32_t>(uint64_t(duration) * kMovieTimeScale / video.timeScale);
    track.sampleDescriptions =
        qt::stsd({qt::imageDescription("avc1", video.width, video.height, {qt::avcC(video.sps, video.pps)})});
    track.tables = {qt::stts({{count, video.frameDuration}}), qt::stss(syncNumbers), qt::stsc({{1, 1, 1}}),
                    qt::stsz(sizes), qt::stco(shifted(media.videoOffsets, base))};
    return qt::trak(track);
}

Atom soundTrack(const SoundInput &sound, const MdatLayout &media, uint64_t base)
{
    uint32_t frames = sound.frameCount();
    uint32_t chunks = static_cast<uint32_t>(media.soundFrames.size());
    std::vector<qt::ChunkRun> runs{{1, sound.sampleRate, 1}};
    if (chunks && media.soundFrames.back() != sound.sampleRate) {
        if (chunks == 1)
            runs = {{1, media.soundFrames.back(), 1}};
        else
            runs.push_back({chunks, media.soundFrames.back(), 1});
    }
    qt::TrackAtoms track;
    track.trackId = 2;
    track.mediaType = "soun";
    track.timeScale = static_cast<int32_t>(sound.sampleRate);
    track.duration = static_cast<int32_t>(frames);
    track.trackDuration = static_cast<uint32_t>(uint64_t(frames) * kMovieTimeScale / sound.sampleRate);
    track.sampleDescriptions =
        qt::stsd({qt::soundDescriptionV0(sound.format, sound.channels, sound.bitsPerSample, sound.sampleRate)});
    uint32_t common = sound.commonSampleSize ? sound.commonSampleSize : sound.bytesPerFrame();
    track.tables = {qt::stts({{frames, 1}}), qt::stsc(runs), qt::stszCommon(common, frames),
                    qt::stco(shifted(media.soundOffsets, base))};
    return qt::trak(track);
}

Atom movieAtom(const VideoInput &video, const SoundInput *sound, const MovieOptions &options, const MdatLayout &media,
               uint64_t base)
{
    uint32_t videoDuration = static_cast<uint32_t>(video.samples.size()) * video.frameDuration;
    Atom moov("moov",
              std::vector<Atom>{qt::mvhd(kMovieTimeScale, static_cast<uint32_t>(uint64_t(videoDuration) *
                                                                                kMovieTimeScale / video.timeScale)),
                                videoTrack(video, media, base)});
    if (sound) moov.add(soundTrack(*sound, media, base));
    if (options.layout == MovieLayout::kCamera) moov.add(qt::udtaCameraTag());
    return moov;
}

} // namespace

VideoInput videoFromStream(const H264Stream &stream, int16_t width, int16_t height, uint32_t timeScale,
                           uint32_t frameDuration)
{
    VideoInput video;
    video.sps = stream.sps;
    video.pps = stream.pps;
    for (const auto &unit : stream.accessUnits) {
        video.samples.push_back(unit.sample);
        video.sync.push_back(unit.idr);
    }
    video.width = width;
    video.height = height;
    video.timeScale = timeScale;
    video.frameDuration = frameDuration;
    return video;
}

SoundInput makeSound(double seconds, uint16_t channels, uint32_t sampleRate)
{
    SoundInput sound;
    sound.channels = channels;
    sound.sampleRate = sampleRate;
    uint32_t frames = static_cast<uint32_t>(seconds * sampleRate);
    ByteWriter w;
    for (uint32_t f = 0; f < frames; ++f) {
        uint16_t value = static_cast<uint16_t>((f * 512u) & 0xFFFF);
        for (uint16_t c = 0; c < channels; ++c)
            w.u8(value).u8(value >> 8);
    }
    sound.pcm = w.data();
    return sound;
}

WrittenMovie writeMovie(const VideoInput &video, const SoundInput *sound, const MovieOptions &options)
{
    MdatLayout media = layOutMedia(video, sound);
    Atom ftyp("ftyp", ByteWriter().fourcc("qt  ").be32(0x200).fourcc("qt  ").data());
    Atom mdat("mdat", media.body);

    WrittenMovie out;
    // The movie atom's size does not depend on the offsets it holds.
    uint64_t moovLength = movieAtom(video, sound, options, media, 0).length();
    out.mdatOffset = ftyp.length() + (options.moovFirst ? moovLength : 0);
    out.moovOffset = options.moovFirst ? ftyp.length() : out.mdatOffset + mdat.length();
    out.mdatSize = mdat.length();
    uint64_t base = out.mdatOffset + 8;
    out.moov = movieAtom(video, sound, options, media, base);
    out.file = options.moovFirst ? fileBytes({ftyp, out.moov, mdat}) : fileBytes({ftyp, mdat, out.moov});
    out.videoOffsets = shifted(media.videoOffsets, base);
    out.soundChunkOffsets = shifted(media.soundOffsets, base);
    out.soundChunkFrames = media.soundFrames;
    return out;
}

void writeFileBytes(const std::string &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

} // namespace orvex::test

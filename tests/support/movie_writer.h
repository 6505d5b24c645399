// Writes well-formed QuickTime movies for tests from H.264 access units and
// PCM bytes: a plain movie, or the camera layout (movie atom children 'mvhd',
// video 'trak', sound 'trak', 'udta' with the camera tag). Video: one sample
// per chunk, a constant frame duration, sync samples where the access units
// are IDR. Sound: one sample a frame, one second per chunk, the last chunk
// shorter when the sound does not fill it. Chunks are interleaved second by
// second.
#pragma once

#include "support/annexb.h"
#include "support/atom_builder.h"

#include <string>
#include <vector>

namespace orvex::test {

struct VideoInput {
    Bytes sps, pps;             // for the 'avcC'
    std::vector<Bytes> samples; // length-prefixed NAL units
    std::vector<bool> sync;     // one flag a sample
    int16_t width = 176, height = 144;
    uint32_t timeScale = 15000;
    uint32_t frameDuration = 1000;
};

// The video input from a parsed Annex-B stream; sync samples are its IDR units.
VideoInput videoFromStream(const H264Stream &stream, int16_t width, int16_t height, uint32_t timeScale = 15000,
                           uint32_t frameDuration = 1000);

struct SoundInput {
    Bytes pcm; // whole frames, in the byte order of the format ('sowt': little-endian)
    uint16_t channels = 1;
    uint16_t bitsPerSample = 16;
    uint32_t sampleRate = 8000;
    std::string format = "sowt";

    uint32_t bytesPerFrame() const { return channels * (bitsPerSample / 8u); }
    uint32_t frameCount() const { return static_cast<uint32_t>(pcm.size() / bytesPerFrame()); }
};

// A 16-bit little-endian sawtooth of the given length.
SoundInput makeSound(double seconds, uint16_t channels = 1, uint32_t sampleRate = 8000);

enum class MovieLayout { kPlain, kCamera };

struct MovieOptions {
    MovieLayout layout = MovieLayout::kPlain;
    bool moovFirst = false; // 'moov' before 'mdat'
};

struct WrittenMovie {
    Bytes file;
};

// Writes the movie; sound may be null (video only).
WrittenMovie writeMovie(const VideoInput &video, const SoundInput *sound, const MovieOptions &options = {});

// Writes bytes to a file; throws std::runtime_error on failure.
void writeFileBytes(const std::string &path, const Bytes &bytes);

} // namespace orvex::test

// Writes a camera-layout movie from an Annex-B H.264 stream and raw 16-bit
// little-endian PCM with the test support's movie writer:
//   write_sample_movie STREAM.h264 WIDTH HEIGHT FPS SOUND.pcm CHANNELS RATE OUT.mov
#include "support/annexb.h"
#include "support/movie_writer.h"

#include <cstdio>
#include <exception>
#include <string>

using namespace orvex::test;

int main(int argc, char **argv)
{
    if (argc != 9) {
        std::fprintf(stderr, "usage: %s STREAM.h264 WIDTH HEIGHT FPS SOUND.pcm CHANNELS RATE OUT.mov\n", argv[0]);
        return 64;
    }
    try {
        const H264Stream stream = parseAnnexB(readFileBytes(argv[1]));
        const uint32_t fps = uint32_t(std::stoul(argv[4]));
        // A time scale of 1000 units a frame keeps every frame time exact.
        const VideoInput video =
            videoFromStream(stream, int16_t(std::stoi(argv[2])), int16_t(std::stoi(argv[3])), fps * 1000, 1000);
        SoundInput sound;
        sound.pcm = readFileBytes(argv[5]);
        sound.channels = uint16_t(std::stoul(argv[6]));
        sound.sampleRate = uint32_t(std::stoul(argv[7]));
        sound.pcm.resize(sound.frameCount() * sound.bytesPerFrame());
        writeFileBytes(argv[8], writeMovie(video, &sound, {MovieLayout::kCamera, false}).file);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "write_sample_movie: %s\n", e.what());
        return 1;
    }
    return 0;
}

// Run on the build machine: writes ffmpeg's decoding of each movie, through
// the Linux tests' own reference helpers, into a folder that the programs
// under Wine read.
//   wine_references DIR MOVIE...
// NAME.times: "start stop" per picture (100-ns units); NAME.yuv420p and
// NAME.bgr24: the pictures as ffmpeg's raw yuv420p and bgr24; with a sound
// track, NAME.sound: each packet's size a line, NAME.soundbytes: its bytes.
#include "support/annexb.h"
#include "support/ffmpeg_reference.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

using namespace orvex::test;

int main(int argc, char **argv)
try {
    const std::filesystem::path dir = argc > 1 ? argv[1] : throw std::runtime_error("no folder given");
    std::filesystem::create_directories(dir);
    for (int i = 2; i < argc; ++i) {
        const std::string movie = argv[i], name = std::filesystem::path(movie).filename().string();
        const ReferenceStream &video = referenceStream(movie, "v:0");
        const size_t width = size_t(video.width), height = size_t(video.height);
        std::ofstream times(dir / (name + ".times"));
        for (const ReferenceStream::Packet &p : video.packets)
            times << p.start << ' ' << p.stop << '\n';
        for (const auto &[format, bytes] :
             {std::pair<std::string, size_t>{"yuv420p", width * height + 2 * ((width + 1) / 2) * ((height + 1) / 2)},
              {"bgr24", width * height * 3}}) {
            // The movies have no reordering: the n-th packet holds the n-th picture.
            const auto &frames = referenceFrames(movie, format, bytes);
            if (frames.empty() || frames.size() != video.packets.size())
                throw std::runtime_error("pictures and video packets differ in " + movie);
            std::ofstream out(dir / (name + "." + format), std::ios::binary);
            for (const auto &frame : frames)
                out.write(reinterpret_cast<const char *>(frame.data()), std::streamsize(frame.size()));
        }
        const ReferenceStream &sound = referenceStream(movie, "a:0");
        if (sound.packets.empty()) continue;
        const Bytes file = readFileBytes(movie);
        std::ofstream sizes(dir / (name + ".sound")), bytes(dir / (name + ".soundbytes"), std::ios::binary);
        for (const ReferenceStream::Packet &packet : sound.packets) {
            if (packet.pos < 0 || size_t(packet.pos + packet.size) > file.size())
                throw std::runtime_error("a sound packet outside " + movie);
            sizes << packet.size << '\n';
            bytes.write(reinterpret_cast<const char *>(file.data() + packet.pos), std::streamsize(packet.size));
        }
    }
    return 0;
} catch (const std::exception &e) {
    std::fprintf(stderr, "wine_references: %s\n", e.what());
    return 1;
}

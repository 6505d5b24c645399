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
#include <string>

using namespace orvex::test;

namespace {

void WriteFrames(const std::filesystem::path &file, const std::vector<std::vector<uint8_t>> &frames)
{
    std::ofstream out(file, std::ios::binary);
    for (const auto &frame : frames)
        out.write(reinterpret_cast<const char *>(frame.data()), std::streamsize(frame.size()));
}

void WriteReferences(const std::filesystem::path &dir, const std::string &movie)
{
    const std::string name = std::filesystem::path(movie).filename().string();
    const ReferenceStream &video = referenceStream(movie, "v:0");
    const size_t width = size_t(video.width), height = size_t(video.height);
    const size_t chroma = ((width + 1) / 2) * ((height + 1) / 2);
    const auto &yuv = referenceFrames(movie, "yuv420p", width * height + 2 * chroma);
    // The movies have no reordering: the n-th packet holds the n-th picture.
    if (yuv.empty() || yuv.size() != video.packets.size())
        throw std::runtime_error("pictures and video packets differ in " + movie);
    std::ofstream times(dir / (name + ".times"));
    for (const ReferenceStream::Packet &p : video.packets)
        times << p.start << ' ' << p.stop << '\n';
    WriteFrames(dir / (name + ".yuv420p"), yuv);
    WriteFrames(dir / (name + ".bgr24"), referenceFrames(movie, "bgr24", width * height * 3));
    const ReferenceStream &sound = referenceStream(movie, "a:0");
    if (sound.packets.empty()) return;
    const Bytes file = readFileBytes(movie);
    std::ofstream sizes(dir / (name + ".sound"));
    std::ofstream bytes(dir / (name + ".soundbytes"), std::ios::binary);
    for (const ReferenceStream::Packet &packet : sound.packets) {
        if (packet.pos < 0 || size_t(packet.pos + packet.size) > file.size())
            throw std::runtime_error("a sound packet outside " + movie);
        sizes << packet.size << '\n';
        bytes.write(reinterpret_cast<const char *>(file.data() + packet.pos), std::streamsize(packet.size));
    }
}

} // namespace

int main(int argc, char **argv)
{
    try {
        std::filesystem::create_directories(argc > 1 ? argv[1] : throw std::runtime_error("no folder given"));
        for (int i = 2; i < argc; ++i)
            WriteReferences(argv[1], argv[i]);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "wine_references: %s\n", e.what());
        return 1;
    }
    return 0;
}

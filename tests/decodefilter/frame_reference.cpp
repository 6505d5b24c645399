#include "frame_reference.h"

extern "C" {
#include <libavutil/md5.h>
}

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <unistd.h>

namespace {

// The output of command, which writes to the file named by {out}.
std::string RunToText(std::string command)
{
    namespace fs = std::filesystem;
    // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) inside a
    // literal + std::string concatenation.
    std::string name = "decodefilter-ref-";
    name += std::to_string(getpid());
    name += ".txt";
    const fs::path out = fs::temp_directory_path() / name;
    std::string quoted = "'";
    quoted += out.string();
    quoted += "'";
    command.replace(command.find("{out}"), 5, quoted);
    if (std::system(command.c_str()) != 0) throw std::runtime_error("reference command failed: " + command);
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    std::error_code ec;
    fs::remove(out, ec);
    return text.str();
}

} // namespace

std::vector<ReferenceFrame> ReferenceFrames(const std::string &path)
{
    // Pictures from the decoder, times from the packets: the streams have no
    // reordering, so the n-th packet carries the n-th picture's times.
    std::stringstream md5s(RunToText("ffmpeg -nostdin -hide_banner -loglevel error -y -i '" + path +
                                     "' -map 0:v:0 -fps_mode passthrough -f framemd5 -pix_fmt yuv420p {out}"));
    std::stringstream packets(
        RunToText("ffprobe -v error -select_streams v:0 -show_entries stream=time_base:packet=pts,duration,flags "
                  "-of csv=p=0 '" +
                  path + "' > {out}"));
    std::vector<ReferenceFrame> frames;
    std::string line;
    while (std::getline(md5s, line)) {
        if (line.empty() || line[0] == '#') continue;
        ReferenceFrame frame;
        frame.md5 = line.substr(line.rfind(',') + 1);
        frame.md5.erase(0, frame.md5.find_first_not_of(' '));
        frames.push_back(frame);
    }
    long long num = 1, den = 1;
    struct Packet {
        long long pts, duration;
        bool key;
    };
    std::vector<Packet> times;
    while (std::getline(packets, line)) {
        long long pts = 0, duration = 0;
        char flag = '_';
        if (line.find('/') != std::string::npos) {
            std::sscanf(line.c_str(), "%lld/%lld", &num, &den);
        } else if (std::sscanf(line.c_str(), "%lld,%lld,%c", &pts, &duration, &flag) >= 2) {
            times.push_back({pts, duration, flag == 'K'});
        }
    }
    for (size_t i = 0; i < frames.size() && i < times.size(); ++i) {
        frames[i].start = 10000000LL * times[i].pts * num / den;
        frames[i].stop = 10000000LL * (times[i].pts + times[i].duration) * num / den;
        frames[i].sync = times[i].key;
    }
    return frames;
}

std::string Md5Hex(const BYTE *bytes, size_t count)
{
    uint8_t digest[16];
    av_md5_sum(digest, bytes, count);
    char hex[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return std::string(hex, 32);
}

std::vector<std::vector<BYTE>> ReferenceRawFrames(const std::string &path, const std::string &pixFmt, size_t frameBytes,
                                                  const std::string &filter)
{
    namespace fs = std::filesystem;
    const fs::path out = fs::temp_directory_path() / ("decodefilter-raw-" + std::to_string(getpid()) + ".raw");
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y -i '" + path +
                                "' -map 0:v:0 -fps_mode passthrough " + (filter.empty() ? "" : "-vf " + filter + " ") +
                                "-f rawvideo -pix_fmt " + pixFmt + " '" + out.string() + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("ffmpeg failed: " + command);
    std::ifstream in(out, std::ios::binary);
    std::vector<std::vector<BYTE>> frames;
    std::vector<BYTE> frame(frameBytes);
    while (frameBytes && in.read(reinterpret_cast<char *>(frame.data()), static_cast<std::streamsize>(frameBytes)))
        frames.push_back(frame);
    std::error_code ec;
    fs::remove(out, ec);
    return frames;
}

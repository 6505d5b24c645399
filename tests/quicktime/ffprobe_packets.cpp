#include "ffprobe_packets.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace orvex::test {

std::string findOnPath(const std::string &program)
{
    const char *path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

namespace {

// One line of "key=value|key=value|...".
ProbePacket parseLine(const std::string &line)
{
    ProbePacket packet;
    std::stringstream fields(line);
    std::string field;
    while (std::getline(fields, field, '|')) {
        auto eq = field.find('=');
        if (eq == std::string::npos) continue;
        std::string key = field.substr(0, eq), value = field.substr(eq + 1);
        auto number = [&] { return value == "N/A" ? int64_t(-1) : std::stoll(value); };
        if (key == "dts")
            packet.dts = number();
        else if (key == "duration")
            packet.duration = number();
        else if (key == "pos")
            packet.pos = number();
        else if (key == "size")
            packet.size = number();
        else if (key == "flags")
            packet.key = value.find('K') != std::string::npos;
    }
    return packet;
}

} // namespace

std::vector<ProbePacket> probePackets(const std::string &path, const std::string &selector)
{
    std::string ffprobe = findOnPath("ffprobe");
    if (ffprobe.empty()) throw std::runtime_error("ffprobe is not on PATH (scripts/setup installs ffmpeg)");
    std::string command = "'" + ffprobe + "' -v error -select_streams " + selector +
                          " -show_entries packet=dts,duration,size,pos,flags -of compact=p=0:nk=0 '" + path + "'";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run " + command);
    std::vector<ProbePacket> packets;
    std::string line;
    char chunk[512];
    while (fgets(chunk, sizeof(chunk), pipe)) {
        line += chunk;
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
            if (!line.empty()) packets.push_back(parseLine(line));
            line.clear();
        }
    }
    int status = pclose(pipe);
    if (status != 0 || packets.empty()) throw std::runtime_error("ffprobe failed on " + path);
    return packets;
}

} // namespace orvex::test

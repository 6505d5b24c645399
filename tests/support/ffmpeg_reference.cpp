#include "support/ffmpeg_reference.h"

#include "support/annexb.h"

extern "C" {
#include <libavutil/md5.h>
}

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <stdexcept>
#include <unistd.h>

namespace orvex::test {

namespace {

std::mutex g_cacheLock;

std::string quote(const std::string &s)
{
    std::string quoted = "'";
    for (char c : s)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The output of COMMAND, which writes the file {out}, for an input file, kept
// in the build folder so that the test processes ctest starts (one per case)
// run it once. The key holds the command and the input's size and time, so
// a regenerated stream gets a new reference.
std::string referenceOutput(const std::string &inputPath, std::string command)
{
    namespace fs = std::filesystem;
    const auto time = fs::last_write_time(inputPath).time_since_epoch().count();
    const std::string key =
        command + " " + std::to_string(fs::file_size(inputPath)) + " " + std::to_string(static_cast<long long>(time));
    const fs::path dir = fs::path(ORVEX_BINARY_DIR) / "ffmpeg-reference";
    fs::create_directories(dir);
    const fs::path cached = dir / md5Hex(std::vector<uint8_t>(key.begin(), key.end()));
    if (fs::exists(cached)) return cached.string();

    // Written beside, then renamed: processes running at once never see half a file.
    const fs::path part = dir / (cached.filename().string() + "." + std::to_string(getpid()) + ".part");
    command.replace(command.find("{out}"), 5, quote(part.string()));
    if (std::system(command.c_str()) != 0) {
        std::error_code ec;
        fs::remove(part, ec);
        throw std::runtime_error("reference command failed: " + command);
    }
    fs::rename(part, cached);
    return cached.string();
}

} // namespace

const std::vector<std::vector<uint8_t>> &referenceFrames(const std::string &path, const std::string &pixFmt,
                                                         size_t frameBytes, const std::string &filter)
{
    static std::map<std::string, std::vector<std::vector<uint8_t>>> cache;
    const std::string key = path + "|" + pixFmt + "|" + filter;
    std::lock_guard<std::mutex> lock(g_cacheLock);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    const std::vector<uint8_t> all =
        readFileBytes(referenceOutput(path, "ffmpeg -nostdin -hide_banner -loglevel error -y -i " + quote(path) +
                                                (filter.empty() ? "" : " -vf " + quote(filter)) +
                                                " -fps_mode passthrough -f rawvideo -pix_fmt " + pixFmt + " {out}"));
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = 0; frameBytes > 0 && at + frameBytes <= all.size(); at += frameBytes)
        frames.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at),
                            all.begin() + static_cast<std::ptrdiff_t>(at + frameBytes));
    return cache.emplace(key, std::move(frames)).first->second;
}

std::string md5Hex(const std::vector<uint8_t> &bytes)
{
    uint8_t digest[16];
    av_md5_sum(digest, bytes.data(), bytes.size());
    char hex[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return std::string(hex, 32);
}

double packedPsnr(const std::vector<uint8_t> &a, size_t aBytesPerPixel, const std::vector<uint8_t> &b,
                  size_t bBytesPerPixel, size_t channels)
{
    const size_t pixels = a.size() / aBytesPerPixel;
    if (pixels == 0 || pixels != b.size() / bBytesPerPixel) return -1.0;
    double sum = 0;
    for (size_t i = 0; i < pixels; ++i)
        for (size_t c = 0; c < channels; ++c) {
            const double d = double(a[i * aBytesPerPixel + c]) - double(b[i * bBytesPerPixel + c]);
            sum += d * d;
        }
    if (sum == 0) return std::numeric_limits<double>::infinity();
    const double mse = sum / double(pixels * channels);
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

const ReferenceStream &referenceStream(const std::string &path, const std::string &selector)
{
    static std::map<std::string, ReferenceStream> cache;
    const std::string key = path + "|" + selector;
    std::lock_guard<std::mutex> lock(g_cacheLock);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    const std::string entries = "stream=width,height,time_base:packet=pts,duration,size,pos";
    std::ifstream in(referenceOutput(path, "ffprobe -v error -select_streams " + selector + " -show_entries " +
                                               entries + " -of csv=p=0 " + quote(path) + " > {out}"));
    // Packet lines "pts,duration,size,pos" (ffprobe's order), then the stream's
    // line: "width,height,num/den" for pictures, "num/den" for sound.
    ReferenceStream stream;
    long long num = 1, den = 1;
    std::string line;
    while (std::getline(in, line)) {
        long long pts = 0, duration = 0, size = 0, pos = -1;
        if (line.find('/') == std::string::npos) {
            if (std::sscanf(line.c_str(), "%lld,%lld,%lld,%lld", &pts, &duration, &size, &pos) >= 2)
                stream.packets.push_back({pts, pts + duration, size, pos});
        } else if (std::sscanf(line.c_str(), "%d,%d,%lld/%lld", &stream.width, &stream.height, &num, &den) != 4) {
            std::sscanf(line.c_str(), "%lld/%lld", &num, &den);
        }
    }
    for (ReferenceStream::Packet &p : stream.packets) {
        p.start = 10000000LL * p.start * num / den;
        p.stop = 10000000LL * p.stop * num / den;
    }
    return cache.emplace(key, std::move(stream)).first->second;
}

std::vector<std::string> referenceMd5s(const std::string &path)
{
    const ReferenceStream &stream = referenceStream(path, "v:0");
    const size_t w = size_t(stream.width), h = size_t(stream.height);
    std::vector<std::string> md5s;
    for (const auto &frame : referenceFrames(path, "yuv420p", w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2)))
        md5s.push_back(md5Hex(frame));
    return md5s;
}

} // namespace orvex::test

#include "movie_reference.h"

#include "annexb_stream.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <stdexcept>

#include <unistd.h>

namespace wrapper_test {

namespace {

namespace fs = std::filesystem;

std::mutex g_lock;

std::string Quote(const std::string &s)
{
    std::string quoted = "'";
    for (char c : s)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs ffmpeg on the file's first video stream into a temporary file and
// returns the file's bytes.
std::vector<uint8_t> Ffmpeg(const std::string &path, const std::string &outputArgs)
{
    const fs::path out = fs::temp_directory_path() / ("wrapper-reference-" + std::to_string(getpid()) + ".out");
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y -i " + Quote(path) +
                                " -map 0:v:0 -fps_mode passthrough " + outputArgs + " " + Quote(out.string());
    const int status = std::system(command.c_str());
    std::vector<uint8_t> bytes = status == 0 ? declib_test::ReadFileBytes(out.string()) : std::vector<uint8_t>{};
    std::error_code ec;
    fs::remove(out, ec);
    if (status != 0) throw std::runtime_error("ffmpeg failed: " + command);
    return bytes;
}

} // namespace

const std::vector<std::string> &VideoMd5s(const std::string &path, const std::string &pixFmt)
{
    static std::map<std::string, std::vector<std::string>> cache;
    std::lock_guard<std::mutex> lock(g_lock);
    const std::string key = path + "|" + pixFmt;
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    const std::vector<uint8_t> text = Ffmpeg(path, "-f framemd5 -pix_fmt " + pixFmt);
    std::vector<std::string> md5s;
    std::string line;
    for (uint8_t c : text) {
        if (c != '\n') {
            line += char(c);
            continue;
        }
        if (!line.empty() && line[0] != '#') {
            std::string md5 = line.substr(line.rfind(',') + 1);
            md5.erase(0, md5.find_first_not_of(' '));
            md5s.push_back(md5);
        }
        line.clear();
    }
    return cache.emplace(key, std::move(md5s)).first->second;
}

const std::vector<std::vector<uint8_t>> &VideoFrames(const std::string &path, const std::string &pixFmt,
                                                     size_t frameBytes)
{
    static std::map<std::string, std::vector<std::vector<uint8_t>>> cache;
    std::lock_guard<std::mutex> lock(g_lock);
    const std::string key = path + "|" + pixFmt + "|" + std::to_string(frameBytes);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    const std::vector<uint8_t> all = Ffmpeg(path, "-f rawvideo -pix_fmt " + pixFmt);
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = 0; frameBytes > 0 && at + frameBytes <= all.size(); at += frameBytes)
        frames.emplace_back(all.begin() + std::ptrdiff_t(at), all.begin() + std::ptrdiff_t(at + frameBytes));
    return cache.emplace(key, std::move(frames)).first->second;
}

} // namespace wrapper_test

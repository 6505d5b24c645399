#include "ffmpeg_reference.h"

#include "annexb_stream.h"

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
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace declib_test {

namespace {

std::mutex g_cacheLock;

std::string Quote(const std::string &s)
{
    std::string quoted = "'";
    for (char c : s)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// A file in a fresh temporary folder, removed with the object.
class TempFile {
public:
    TempFile()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "declib-ref-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
        m_dir = pattern;
    }
    ~TempFile()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::string Path() const { return (m_dir / "out").string(); }

private:
    std::filesystem::path m_dir;
};

void RunFfmpeg(const std::string &args)
{
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + args;
    if (std::system(command.c_str()) != 0) throw std::runtime_error("ffmpeg failed: " + command);
}

} // namespace

const std::vector<std::string> &ReferenceMd5s(const std::string &path, const std::string &pixFmt)
{
    static std::map<std::string, std::vector<std::string>> cache;
    const std::string key = path + "|" + pixFmt;
    std::lock_guard<std::mutex> lock(g_cacheLock);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    TempFile out;
    RunFfmpeg("-i " + Quote(path) + " -f framemd5 -pix_fmt " + pixFmt + " " + Quote(out.Path()));
    std::ifstream in(out.Path());
    std::vector<std::string> md5s;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const auto comma = line.rfind(',');
        std::string md5 = line.substr(comma + 1);
        md5.erase(0, md5.find_first_not_of(' '));
        md5s.push_back(md5);
    }
    return cache.emplace(key, std::move(md5s)).first->second;
}

const std::vector<std::vector<uint8_t>> &ReferenceFrames(const std::string &path, const std::string &pixFmt,
                                                         size_t frameBytes, const std::string &filter)
{
    static std::map<std::string, std::vector<std::vector<uint8_t>>> cache;
    const std::string key = path + "|" + pixFmt + "|" + filter;
    std::lock_guard<std::mutex> lock(g_cacheLock);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    TempFile out;
    RunFfmpeg("-i " + Quote(path) + (filter.empty() ? "" : " -vf " + Quote(filter)) + " -f rawvideo -pix_fmt " +
              pixFmt + " " + Quote(out.Path()));
    const std::vector<uint8_t> all = ReadFileBytes(out.Path());
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = 0; frameBytes > 0 && at + frameBytes <= all.size(); at += frameBytes)
        frames.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at),
                            all.begin() + static_cast<std::ptrdiff_t>(at + frameBytes));
    return cache.emplace(key, std::move(frames)).first->second;
}

const std::vector<char> &ReferencePictureTypes(const std::string &path)
{
    static std::map<std::string, std::vector<char>> cache;
    std::lock_guard<std::mutex> lock(g_cacheLock);
    auto it = cache.find(path);
    if (it != cache.end()) return it->second;
    TempFile out;
    const std::string command = "ffprobe -v error -select_streams v -show_entries frame=pict_type -of csv=p=0 " +
                                Quote(path) + " > " + Quote(out.Path());
    if (std::system(command.c_str()) != 0) throw std::runtime_error("ffprobe failed: " + command);
    std::ifstream in(out.Path());
    std::vector<char> types;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) types.push_back(line[0]);
    return cache.emplace(path, std::move(types)).first->second;
}

std::string Md5Hex(const std::vector<uint8_t> &bytes)
{
    uint8_t digest[16];
    av_md5_sum(digest, bytes.data(), bytes.size());
    char hex[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return std::string(hex, 32);
}

double PackedPsnr(const std::vector<uint8_t> &a, size_t aBytesPerPixel, const std::vector<uint8_t> &b,
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

double Psnr(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b)
{
    if (a.size() != b.size()) return -1.0;
    return PackedPsnr(a, 1, b, 1, 1);
}

} // namespace declib_test

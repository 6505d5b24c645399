#include "movie_loader.h"

#include "load_report.h"

#include <cstdio>
#include <vector>

namespace orvex {

std::wstring widen(const std::string &text)
{
    if (text.empty()) return {};
    int count = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0);
    if (count <= 0) return {};
    std::vector<wchar_t> wide(size_t(count) + 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), wide.data(), count);
    return std::wstring(wide.data(), size_t(count));
}

std::string narrow(const wchar_t *text)
{
    if (!text) return {};
    int count = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (count <= 1) return {};
    std::vector<char> bytes(size_t(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), count, nullptr, nullptr);
    return std::string(bytes.data());
}

bool loadMovie(const std::string &path, CMyMovieStreams *streams)
{
    // A path that is not valid UTF-8 converts to nothing and is reported as not found.
    const std::wstring wide = widen(path);
    LoadTrace trace;
    const HRESULT hr = LoadMovieStreams(wide.c_str(), streams);
    if (SUCCEEDED(hr)) return true;
    printLoadFailure(path, hr, trace.messages());
    return false;
}

} // namespace orvex

#include "video_sink.h"

#include "output_file.h"
#include "ppm_writer.h"
#include "y4m_writer.h"

#include <cctype>

namespace orvex {

namespace {

bool endsWith(const std::string &text, const std::string &end)
{
    if (text.size() < end.size()) return false;
    for (size_t i = 0; i < end.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i]) return false;
    return true;
}

} // namespace

void checkPictureSize(const PictureLayout &layout, size_t size)
{
    if (size < layout.bytes)
        throw OutputError("a picture of " + std::to_string(size) + " bytes is smaller than its " +
                          std::to_string(layout.width) + "x" + std::to_string(layout.height) + " " +
                          pixelFormatName(layout.format) + " layout");
}

std::unique_ptr<VideoSink> makeVideoSink(const std::string &path, PixelFormat format, uint32_t rateNum,
                                         uint32_t rateDen)
{
    if (endsWith(path, ".y4m")) {
        if (!isPlanar(format))
            throw OutputError("cannot write " + path + ": .y4m takes --format yv12 or iyuv, not " +
                              pixelFormatName(format));
        return std::make_unique<Y4mWriter>(path, rateNum, rateDen);
    }
    if (endsWith(path, ".ppm")) {
        if (isPlanar(format))
            throw OutputError("cannot write " + path + ": .ppm takes --format rgb24 or rgb32, not " +
                              pixelFormatName(format));
        return std::make_unique<PpmWriter>(path);
    }
    throw OutputError("cannot write " + path + ": the video file must end in .y4m or .ppm");
}

} // namespace orvex

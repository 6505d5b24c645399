#include "info_command.h"

#include "json_writer.h"
#include "movie_loader.h"
#include "movie_summary.h"
#include "parser_loader.h"

#include <cinttypes>
#include <cstdio>

namespace orvex {

namespace {

std::string toJson(const MovieSummary &m)
{
    JsonWriter w;
    w.value("file", m.file);
    w.value("layout", m.layout);
    const VideoSummary &v = m.video;
    w.beginObject("video");
    w.value("pin", v.pin);
    w.value("subtype", v.subtype);
    w.value("width", v.width);
    w.value("height", v.height);
    w.value("displayWidth", v.displayWidth);
    w.value("displayHeight", v.displayHeight);
    w.value("profile", v.profile);
    w.value("level", v.level);
    w.value("avgTimePerFrame", v.avgTimePerFrame);
    w.value("bitRate", v.bitRate);
    w.value("timeScale", v.timeScale);
    w.value("duration", v.duration);
    w.value("sampleCount", v.sampleCount);
    w.value("entries", v.entries);
    w.value("durationRt", v.durationRt);
    w.beginObject("signal");
    w.value("videoFormat", v.videoFormat);
    w.value("fullRange", v.fullRange);
    w.value("colourPrimaries", v.colourPrimaries);
    w.value("transferCharacteristics", v.transferCharacteristics);
    w.value("matrixCoefficients", v.matrixCoefficients);
    w.endObject();
    w.endObject();
    if (!m.sound) {
        w.null("sound");
    } else {
        const SoundSummary &s = *m.sound;
        w.beginObject("sound");
        w.value("pin", s.pin);
        w.value("subtype", s.subtype);
        w.value("channels", s.channels);
        w.value("sampleRate", s.sampleRate);
        w.value("bitsPerSample", s.bitsPerSample);
        w.value("blockAlign", s.blockAlign);
        w.value("avgBytesPerSec", s.avgBytesPerSec);
        w.value("entries", s.entries);
        w.value("durationRt", s.durationRt);
        w.endObject();
    }
    return w.finish();
}

// Reference time (100-ns units) as seconds with three decimals.
std::string seconds(int64_t referenceTime)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.3f s", double(referenceTime) / 1e7);
    return text;
}

void printText(const MovieSummary &m)
{
    const VideoSummary &v = m.video;
    std::printf("file:    %s\n", m.file.c_str());
    std::printf("layout:  %s\n", m.layout.c_str());
    std::printf("video:   pin \"%s\"\n", v.pin.c_str());
    std::printf("  subtype %s, %" PRId64 " x %" PRId64 " (display %" PRId64 " x %" PRId64 "), profile %u, level %u\n",
                v.subtype.c_str(), v.width, v.height, v.displayWidth, v.displayHeight, v.profile, v.level);
    std::printf("  AvgTimePerFrame %" PRId64 ", dwBitRate %u\n", v.avgTimePerFrame, v.bitRate);
    std::printf("  media: time scale %d, duration %d, %d samples\n", v.timeScale, v.duration, v.sampleCount);
    std::printf("  index: %u entries, %" PRId64 " (%s)\n", v.entries, v.durationRt, seconds(v.durationRt).c_str());
    std::printf("  signal: video_format %d, full range %d, colour primaries %d, transfer %d, matrix %d\n",
                v.videoFormat, v.fullRange, v.colourPrimaries, v.transferCharacteristics, v.matrixCoefficients);
    if (!m.sound) {
        std::printf("sound:   none\n");
        return;
    }
    const SoundSummary &s = *m.sound;
    std::printf("sound:   pin \"%s\"\n", s.pin.c_str());
    std::printf("  %s, channels %u, %u Hz, %u bits per sample, block align %u, %u bytes/s\n", s.subtype.c_str(),
                s.channels, s.sampleRate, s.bitsPerSample, s.blockAlign, s.avgBytesPerSec);
    std::printf("  index: %u entries, %" PRId64 " (%s)\n", s.entries, s.durationRt, seconds(s.durationRt).c_str());
}

} // namespace

int runInfo(const std::string &path, bool json)
{
    ParserLoader loader;
    if (!loader.load(path)) return kExitCannotLoad;
    const MovieSummary summary =
        summarize(path, loader.camera(), loader.videoPinName(), *loader.video(), loader.soundPinName(), loader.sound());
    if (json)
        std::fputs(toJson(summary).c_str(), stdout);
    else
        printText(summary);
    return 0;
}

} // namespace orvex

#include "info_command.h"

#include "movie_loader.h"
#include "movie_summary.h"
#include "parser_loader.h"

#include <nlohmann/json.hpp>

#include <cinttypes>
#include <cstdio>

namespace orvex {

namespace {

std::string toJson(const MovieSummary &m)
{
    const VideoSummary &v = m.video;
    nlohmann::ordered_json signal = {
        {"videoFormat", v.videoFormat},
        {"fullRange", v.fullRange},
        {"colourPrimaries", v.colourPrimaries},
        {"transferCharacteristics", v.transferCharacteristics},
        {"matrixCoefficients", v.matrixCoefficients},
    };
    nlohmann::ordered_json video = {
        {"pin", v.pin},
        {"subtype", v.subtype},
        {"width", v.width},
        {"height", v.height},
        {"displayWidth", v.displayWidth},
        {"displayHeight", v.displayHeight},
        {"profile", v.profile},
        {"level", v.level},
        {"avgTimePerFrame", v.avgTimePerFrame},
        {"bitRate", v.bitRate},
        {"timeScale", v.timeScale},
        {"duration", v.duration},
        {"sampleCount", v.sampleCount},
        {"entries", v.entries},
        {"durationRt", v.durationRt},
        {"signal", std::move(signal)},
    };
    nlohmann::ordered_json sound; // null without sound
    if (m.sound) {
        const SoundSummary &s = *m.sound;
        sound = {
            {"pin", s.pin},
            {"subtype", s.subtype},
            {"channels", s.channels},
            {"sampleRate", s.sampleRate},
            {"bitsPerSample", s.bitsPerSample},
            {"blockAlign", s.blockAlign},
            {"avgBytesPerSec", s.avgBytesPerSec},
            {"entries", s.entries},
            {"durationRt", s.durationRt},
        };
    }
    nlohmann::ordered_json tracks = nlohmann::ordered_json::array();
    for (const TrackReport &t : m.tracks) {
        nlohmann::ordered_json pin, reason; // null unless served, null when served
        if (t.served())
            pin = t.pin;
        else
            reason = t.reason;
        tracks.push_back({
            {"index", t.index},
            {"handler", t.handler},
            {"format", t.format},
            {"served", t.served()},
            {"pin", std::move(pin)},
            {"reason", std::move(reason)},
        });
    }
    nlohmann::ordered_json info = {
        {"file", m.file},
        {"layout", m.layout},
        {"video", std::move(video)},
        {"sound", std::move(sound)},
        {"tracks", std::move(tracks)},
    };
    // A file name need not be UTF-8; its invalid bytes become U+FFFD rather
    // than stopping the output.
    return info.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
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
    if (m.sound) {
        const SoundSummary &s = *m.sound;
        std::printf("sound:   pin \"%s\"\n", s.pin.c_str());
        std::printf("  %s, channels %u, %u Hz, %u bits per sample, block align %u, %u bytes/s\n", s.subtype.c_str(),
                    s.channels, s.sampleRate, s.bitsPerSample, s.blockAlign, s.avgBytesPerSec);
        std::printf("  index: %u entries, %" PRId64 " (%s)\n", s.entries, s.durationRt, seconds(s.durationRt).c_str());
    } else {
        // Without a served sound, the first refused sound track says why.
        std::string why;
        for (const TrackReport &t : m.tracks)
            if (why.empty() && t.handler == "soun") why = " (" + trackName(t) + ": " + t.reason + ")";
        std::printf("sound:   none%s\n", why.c_str());
    }
    std::printf("tracks:\n");
    for (const TrackReport &t : m.tracks) {
        if (t.served())
            std::printf("  %s: pin \"%s\"\n", trackName(t).c_str(), t.pin.c_str());
        else
            std::printf("  %s: refused: %s\n", trackName(t).c_str(), t.reason.c_str());
    }
}

} // namespace

int runInfo(const std::string &path, bool json)
{
    ParserLoader loader;
    if (!loader.load(path)) return kExitCannotLoad;
    MovieSummary summary =
        summarize(path, loader.camera(), loader.videoPinName(), *loader.video(), loader.soundPinName(), loader.sound());
    summary.tracks = loader.tracks();
    if (json)
        std::fputs(toJson(summary).c_str(), stdout);
    else
        printText(summary);
    return 0;
}

} // namespace orvex

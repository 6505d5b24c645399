// What `orvex info` reports of a loaded movie, gathered from its stream
// infos: the layout, and for each stream its pin, media type and index figures.
#pragma once

#include "MovFileParserFilter/MovieStreamLoader.h"

#include "load_report.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvex {

struct VideoSummary {
    std::string pin;
    std::string subtype;                         // the FOURCC of the offered subtype, e.g. "avc1"
    int64_t width = 0, height = 0;               // of the offered VIDEOINFOHEADER
    int64_t displayWidth = 0, displayHeight = 0; // of the SPS after cropping
    uint32_t profile = 0, level = 0;
    int64_t avgTimePerFrame = 0;
    uint32_t bitRate = 0;
    int32_t timeScale = 0, duration = 0, sampleCount = 0;
    uint32_t entries = 0;
    int64_t durationRt = 0;
    int32_t videoFormat = 0, fullRange = 0, colourPrimaries = 0, transferCharacteristics = 0, matrixCoefficients = 0;
};

struct SoundSummary {
    std::string pin;
    std::string subtype; // "PCM" or "AAC"
    uint32_t channels = 0, sampleRate = 0, bitsPerSample = 0, blockAlign = 0, avgBytesPerSec = 0;
    uint32_t entries = 0;
    int64_t durationRt = 0;
};

struct MovieSummary {
    std::string file;
    std::string layout; // "camera" or "plain"
    VideoSummary video;
    std::optional<SoundSummary> sound;
    std::vector<TrackReport> tracks; // every track, served or not
};

MovieSummary summarize(const std::string &file, const CMyMovieStreams &streams);
// The same from the streams of a parser filter's pins, under the pins' names.
MovieSummary summarize(const std::string &file, bool camera, const std::string &videoPin,
                       const CVideoMediaStreamInfo &video, const std::string &soundPin,
                       const CSoundMediaStreamInfo *sound);

} // namespace orvex

// Helpers of the stream info tests: tracks built from sample tables, and an
// index in short.
#pragma once

#include "MovFileParserFilter/QuickTimeMediaStreamInfo.h"
#include "support/annexb.h"
#include "support/qt_movie.h"

#include <string>

namespace orvex::test {

// tests/data/movies/stream_176x144_15fps.h264, parsed.
const H264Stream &testStream();

// A video track: one 'avc1' description (176x144 unless given) with the test
// stream's 'avcC', the given time scale and duration, and the tables as
// qt::tables writes them.
qt::TrackAtoms videoTrack(int32_t timeScale, int32_t duration, const std::string &tables, int16_t width = 176,
                          int16_t height = 144);
// A sound track with one version-0 description.
qt::TrackAtoms soundTrack(const std::string &format, uint16_t channels, uint16_t bits, uint32_t sampleRate,
                          int32_t duration, const std::string &tables);

// Tables of n samples, one a chunk, each `size` bytes from `firstOffset` on,
// all lasting `duration`.
std::string evenVideoTables(uint32_t n, uint32_t duration, uint32_t size, uint32_t firstOffset);

// The index in short: "N entries B bytes max L dur D sync S" (S: "all",
// "none" or the entries), then the first two entries and the last as
// "start-stop size@offset xSAMPLES".
std::string indexSummary(const CQuickTimeMediaStreamInfo &info);

} // namespace orvex::test

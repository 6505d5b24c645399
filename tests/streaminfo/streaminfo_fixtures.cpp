#include "streaminfo/streaminfo_fixtures.h"

#include <sstream>

namespace orvex::test {

const H264Stream &testStream()
{
    static const H264Stream stream = parseAnnexB(readFileBytes(dataPath("movies/stream_176x144_15fps.h264")));
    return stream;
}

qt::TrackAtoms videoTrack(int32_t timeScale, int32_t duration, const std::string &tables, int16_t width, int16_t height)
{
    qt::TrackAtoms track;
    track.timeScale = timeScale;
    track.duration = duration;
    track.sampleDescriptions =
        qt::stsd({qt::imageDescription("avc1", width, height, {qt::avcC(testStream().sps, testStream().pps)})});
    track.tables = qt::tables(tables);
    return track;
}

qt::TrackAtoms soundTrack(const std::string &format, uint16_t channels, uint16_t bits, uint32_t sampleRate,
                          int32_t duration, const std::string &tables)
{
    qt::TrackAtoms track;
    track.trackId = 2;
    track.mediaType = "soun";
    track.timeScale = int32_t(sampleRate);
    track.duration = duration;
    track.sampleDescriptions = qt::stsd({qt::soundDescription(format, channels, bits, sampleRate)});
    track.tables = qt::tables(tables);
    return track;
}

std::string evenVideoTables(uint32_t n, uint32_t duration, uint32_t size, uint32_t firstOffset)
{
    const std::string count = std::to_string(n);
    return "stts " + count + " " + std::to_string(duration) + "; stsc 1 1 1; stsz " + count + "@" +
           std::to_string(size) + "+0; stco " + count + "@" + std::to_string(firstOffset) + "+" + std::to_string(size);
}

std::string indexSummary(const CQuickTimeMediaStreamInfo &info)
{
    const auto &index = info.GetSampleIndex();
    std::ostringstream sync;
    size_t syncCount = 0;
    for (size_t i = 0; i < index.size(); ++i)
        if (index[i].sync) sync << (syncCount++ ? "," : "") << i;
    std::ostringstream out;
    out << index.size() << " entries " << info.GetTotalBytes() << " bytes max " << info.GetLargestEntry() << " dur "
        << info.GetDuration() << " sync "
        << (syncCount == 0              ? "none"
            : syncCount == index.size() ? "all"
                                        : sync.str());
    for (size_t i = 0; i < index.size(); ++i) {
        if (i == 2 && index.size() > 3) {
            out << " ...";
            i = index.size() - 1;
        }
        out << " | " << index[i].start << "-" << index[i].stop << " " << index[i].size << "@" << index[i].offset << " x"
            << index[i].sampleCount;
    }
    return out.str();
}

} // namespace orvex::test

// The indexes of real movies against ffprobe's packets: each video entry one
// packet, the sound entries exactly the bytes of the sound packets, in order.
#include "MovFileParserFilter/MovieStreamLoader.h"
#include "streaminfo/streaminfo_fixtures.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace orvex::test {
namespace {

// ffprobe's packets of one stream, each its fields by name.
std::vector<std::map<std::string, std::string>> probePackets(const std::string &path, const std::string &stream)
{
    const ProgramRun run = Run({"ffprobe", "-v", "error", "-select_streams", stream, "-show_entries",
                                "packet=dts,duration,size,pos,flags", "-of", "compact=p=0", path});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::map<std::string, std::string>> packets;
    std::istringstream lines(run.out);
    for (std::string line, field; std::getline(lines, line);) {
        std::istringstream fields(line);
        for (auto &packet = packets.emplace_back(); std::getline(fields, field, '|');)
            packet[field.substr(0, field.find('='))] = field.substr(field.find('=') + 1);
    }
    return packets;
}

// Byte ranges "begin-end " in order, pieces that touch merged.
std::string ranges(const std::vector<std::pair<uint64_t, uint64_t>> &pieces)
{
    std::string text;
    uint64_t begin = 0, end = 0;
    for (auto [at, size] : pieces) {
        if (at != end || !size) {
            if (end > begin) text += std::to_string(begin) + "-" + std::to_string(end) + " ";
            begin = at;
        }
        end = at + size;
    }
    return end > begin ? text + std::to_string(begin) + "-" + std::to_string(end) + " " : text;
}

class RealMovie : public testing::TestWithParam<const char *> {};

TEST_P(RealMovie, IndexesAgreeWithFfprobe)
{
    const std::string path = dataPath(std::string("movies/") + GetParam());
    CMyMovieStreams streams;
    ASSERT_EQ(LoadMovieStreams(widen(path).c_str(), &streams), S_OK);
    const LONGLONG scale = streams.video->GetMediaTimeScale();
    std::ostringstream probed;
    size_t i = 0;
    for (auto &p : probePackets(path, "v:0")) {
        const LONGLONG dts = std::stoll(p["dts"]), end = dts + std::stoll(p["duration"]);
        probed << "video\t" << i++ << '\t' << dts * 10000000 / scale << '\t' << end * 10000000 / scale << '\t'
               << p["size"] << '\t' << p["pos"] << '\t' << (p["flags"].find('K') != std::string::npos) << "\t1\n";
    }
    std::ostringstream indexed; // as `orvex index` prints it
    i = 0;
    for (const auto &e : streams.video->GetSampleIndex())
        indexed << "video\t" << i++ << '\t' << e.start << '\t' << e.stop << '\t' << e.size << '\t' << e.offset << '\t'
                << e.sync << '\t' << e.sampleCount << '\n';
    EXPECT_EQ(indexed.str(), probed.str());

    std::vector<std::pair<uint64_t, uint64_t>> fromProbe, fromIndex;
    for (auto &p : probePackets(path, "a:0"))
        fromProbe.emplace_back(std::stoull(p["pos"]), std::stoull(p["size"]));
    for (const auto &entry : streams.sound ? streams.sound->GetSampleIndex() : std::vector<MediaSampleRef>{})
        fromIndex.emplace_back(entry.offset, entry.size);
    EXPECT_EQ(ranges(fromIndex), ranges(fromProbe));
}

INSTANTIATE_TEST_SUITE_P(Movies, RealMovie, testing::ValuesIn(realMovies()), movieTestName);

} // namespace
} // namespace orvex::test

// `orvex info` and `orvex index` run as a user runs them: their output on
// real and written movies, the JSON keys, agreement with ffprobe, and the
// error line and exit status of a movie that cannot be loaded.
#include "quicktime/ffprobe_packets.h"
#include "support/annexb.h"
#include "support/movie_writer.h"
#include "support/scratch.h"
#include "tools/program_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>

namespace orvex::test {
namespace {

std::string dataPath(const std::string &relative)
{
    return std::string(ORVEX_TEST_DATA_DIR) + "/" + relative;
}

ProgramRun orvex(const std::vector<std::string> &args)
{
    return runProgram(orvexProgram(), args);
}

using Json = nlohmann::ordered_json;

// Parses the whole output, so malformed JSON fails the test.
Json infoJson(const std::string &path)
{
    ProgramRun run = orvex({"info", path, "--json"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    return Json::parse(run.out);
}

// An object's keys in the order they were written.
std::vector<std::string> keysOf(const Json &object)
{
    std::vector<std::string> keys;
    for (const auto &item : object.items())
        keys.push_back(item.key());
    return keys;
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// One stream's "key=value" fields from ffprobe.
std::map<std::string, std::string> probeStream(const std::string &path, const std::string &selector)
{
    std::string command = "ffprobe -v error -select_streams " + selector +
                          " -show_entries stream=width,height,sample_rate,channels -of default=nw=1 '" + path + "'";
    std::map<std::string, std::string> fields;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return fields;
    char line[256];
    while (fgets(line, sizeof(line), pipe)) {
        std::string text(line);
        auto eq = text.find('=');
        if (eq != std::string::npos) fields[text.substr(0, eq)] = text.substr(eq + 1, text.find('\n') - eq - 1);
    }
    pclose(pipe);
    return fields;
}

// ffprobe's streams as "codec_type,codec_tag_string", e.g. "video,avc1".
std::vector<std::string> probeStreamList(const std::string &path)
{
    std::vector<std::string> streams;
    const std::string command =
        "ffprobe -v error -show_entries stream=codec_type,codec_tag_string -of csv=p=0 '" + path + "'";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return streams;
    char line[256];
    while (fgets(line, sizeof(line), pipe)) {
        std::string text(line);
        streams.push_back(text.substr(0, text.find('\n')));
    }
    pclose(pipe);
    return streams;
}

TEST(OrvexInfo, JsonHasEveryDocumentedKey)
{
    const std::string path = dataPath("movies/baseline_sowt.mov");
    Json info = infoJson(path);
    EXPECT_EQ(keysOf(info), (std::vector<std::string>{"file", "layout", "video", "sound", "tracks"}));
    EXPECT_EQ(info.at("file").get<std::string>(), path);
    EXPECT_EQ(info.at("layout").get<std::string>(), "plain");
    EXPECT_EQ(keysOf(info.at("video")),
              (std::vector<std::string>{"pin", "subtype", "width", "height", "displayWidth", "displayHeight", "profile",
                                        "level", "avgTimePerFrame", "bitRate", "timeScale", "duration", "sampleCount",
                                        "entries", "durationRt", "signal"}));
    EXPECT_EQ(keysOf(info.at("video").at("signal")),
              (std::vector<std::string>{"videoFormat", "fullRange", "colourPrimaries", "transferCharacteristics",
                                        "matrixCoefficients"}));
    EXPECT_EQ(keysOf(info.at("sound")),
              (std::vector<std::string>{"pin", "subtype", "channels", "sampleRate", "bitsPerSample", "blockAlign",
                                        "avgBytesPerSec", "entries", "durationRt"}));

    EXPECT_EQ(info.at("video").at("pin").get<std::string>(), "Video(H.264) Out");
    EXPECT_EQ(info.at("video").at("subtype").get<std::string>(), "avc1");
    EXPECT_EQ(info.at("video").at("profile").get<int64_t>(), 66);
    EXPECT_EQ(info.at("video").at("avgTimePerFrame").get<int64_t>(), 666666);
    EXPECT_EQ(info.at("video").at("signal").at("videoFormat").get<int64_t>(), 5);
    EXPECT_EQ(info.at("sound").at("pin").get<std::string>(), "Audio(PCM) Out");
    EXPECT_EQ(info.at("sound").at("subtype").get<std::string>(), "PCM");
    EXPECT_EQ(info.at("sound").at("channels").get<int64_t>(), 2);
    EXPECT_EQ(info.at("sound").at("bitsPerSample").get<int64_t>(), 16);
    EXPECT_EQ(info.at("sound").at("blockAlign").get<int64_t>(), 4);
    EXPECT_EQ(info.at("sound").at("avgBytesPerSec").get<int64_t>(), 32000);
}

TEST(OrvexInfo, AacAndVideoOnlyMovies)
{
    Json aac = infoJson(dataPath("movies/main_aac_faststart.mov"));
    EXPECT_EQ(aac.at("sound").at("pin").get<std::string>(), "Audio(AAC) Out");
    EXPECT_EQ(aac.at("sound").at("subtype").get<std::string>(), "AAC");
    EXPECT_EQ(aac.at("video").at("profile").get<int64_t>(), 77);
    EXPECT_EQ(aac.at("video").at("timeScale").get<int64_t>(), 30000);

    Json videoOnly = infoJson(dataPath("movies/video_only_faststart.mov"));
    EXPECT_TRUE(videoOnly.at("sound").is_null());
    EXPECT_EQ(videoOnly.at("video").at("entries").get<int64_t>(),
              videoOnly.at("video").at("sampleCount").get<int64_t>());
}

TEST(OrvexInfo, JsonKeepsAnyFileNameUnchanged)
{
    ScratchFolder folder;
    const std::string name = "a \"quoted\" back\\slash\ttab\x01\x1f Ünïcødé ✓.mov";
    const std::string path = folder.write(name, readFileBytes(dataPath("movies/baseline_sowt.mov")));
    EXPECT_EQ(infoJson(path).at("file").get<std::string>(), path);
}

class OrvexInfoAgainstFfprobe : public testing::TestWithParam<const char *> {};

TEST_P(OrvexInfoAgainstFfprobe, PictureSizeAndSampleRate)
{
    if (findOnPath("ffprobe").empty()) GTEST_SKIP() << "ffprobe is not installed";
    const std::string path = dataPath(std::string("movies/") + GetParam());
    Json info = infoJson(path);
    auto video = probeStream(path, "v:0");
    EXPECT_EQ(std::to_string(info.at("video").at("width").get<int64_t>()), video.at("width"));
    EXPECT_EQ(std::to_string(info.at("video").at("height").get<int64_t>()), video.at("height"));
    EXPECT_EQ(std::to_string(info.at("video").at("displayWidth").get<int64_t>()), video.at("width"));
    EXPECT_EQ(std::to_string(info.at("video").at("displayHeight").get<int64_t>()), video.at("height"));
    EXPECT_EQ(info.at("video").at("entries").get<int64_t>(), int64_t(probePackets(path, "v:0").size()));
    auto sound = probeStream(path, "a:0");
    if (sound.empty()) {
        EXPECT_TRUE(info.at("sound").is_null());
    } else {
        EXPECT_EQ(std::to_string(info.at("sound").at("sampleRate").get<int64_t>()), sound.at("sample_rate"));
        EXPECT_EQ(std::to_string(info.at("sound").at("channels").get<int64_t>()), sound.at("channels"));
    }
    // Every stream ffprobe lists is a track, in the same order and format.
    std::vector<std::string> streams;
    for (const Json &track : info.at("tracks")) {
        const std::string handler = track.at("handler").get<std::string>();
        streams.push_back((handler == "vide"   ? "video,"
                           : handler == "soun" ? "audio,"
                                               : handler + ",") +
                          track.at("format").get<std::string>());
    }
    EXPECT_EQ(streams, probeStreamList(path));
}

INSTANTIATE_TEST_SUITE_P(Movies, OrvexInfoAgainstFfprobe,
                         testing::Values("baseline_sowt.mov", "main_aac_faststart.mov", "odd_size_sowt_3000.mov",
                                         "sowt_one_second_chunks.mov", "video_only_faststart.mov"),
                         [](const testing::TestParamInfo<const char *> &info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

TEST(OrvexInfo, TextNamesTheLayoutAndThePins)
{
    ProgramRun run = orvex({"info", dataPath("movies/baseline_sowt.mov")});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("layout:  plain"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"Video(H.264) Out\""), std::string::npos);
    EXPECT_NE(run.out.find("\"Audio(PCM) Out\""), std::string::npos);
    EXPECT_NE(run.out.find("160 x 120"), std::string::npos);
}

TEST(OrvexInfo, CameraMovieFromTheMovieWriter)
{
    ScratchFolder folder;
    VideoInput video =
        videoFromStream(parseAnnexB(readFileBytes(dataPath("movies/stream_176x144_15fps.h264"))), 176, 144);
    SoundInput sound = makeSound(2.5, 1, 8000);
    const std::string path = folder.write("camera.mov", writeMovie(video, &sound, {MovieLayout::kCamera}).file);
    Json info = infoJson(path);
    EXPECT_EQ(info.at("layout").get<std::string>(), "camera");
    EXPECT_EQ(info.at("video").at("pin").get<std::string>(), "Video(Orvex H.264) Out");
    EXPECT_EQ(info.at("sound").at("pin").get<std::string>(), "Audio(PCM) Out");
    EXPECT_EQ(info.at("sound").at("entries").get<int64_t>(), 3);
    EXPECT_EQ(info.at("sound").at("durationRt").get<int64_t>(), 25000000);
    EXPECT_EQ(info.at("video").at("entries").get<int64_t>(), int64_t(video.samples.size()));
}

TEST(OrvexIndex, HeaderThenOneLinePerEntry)
{
    const std::string path = dataPath("movies/sowt_one_second_chunks.mov");
    ProgramRun run = orvex({"index", path});
    ASSERT_EQ(run.status, 0) << run.err;
    auto text = lines(run.out);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text[0], "stream\tentry\tstart\tstop\tsize\toffset\tsync\tsamples");
    Json info = infoJson(path);
    const size_t videoEntries = size_t(info.at("video").at("entries").get<int64_t>());
    const size_t soundEntries = size_t(info.at("sound").at("entries").get<int64_t>());
    ASSERT_EQ(text.size(), 1 + videoEntries + soundEntries);

    // The first video line is ffprobe's first packet at time 0, a sync sample.
    auto packets = probePackets(path, "v:0");
    EXPECT_EQ(text[1], "video\t0\t0\t" + std::to_string(packets[0].duration * 10000000 / 15360) + "\t" +
                           std::to_string(packets[0].size) + "\t" + std::to_string(packets[0].pos) + "\t1\t1");
    // Sound: one-second chunks of 8000 mono 16-bit frames, the last one a half.
    EXPECT_TRUE(std::regex_match(text[1 + videoEntries], std::regex("sound\t0\t0\t10000000\t16000\t[0-9]+\t1\t8000")))
        << text[1 + videoEntries];
    EXPECT_TRUE(std::regex_match(text.back(), std::regex("sound\t2\t20000000\t25000000\t8000\t[0-9]+\t1\t4000")))
        << text.back();
}

TEST(OrvexRefusal, MissingFileGivesTheErrorLineAndStatus2)
{
    ProgramRun run = orvex({"info", "/nonexistent/folder/movie.mov"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "orvex: cannot load /nonexistent/folder/movie.mov: HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) "
                       "(0x80070003)\n");
}

const std::string kNotAMovie = "\norvex:   not a QuickTime movie: no whole 'moov' and 'mdat' atoms\n";

TEST(OrvexRefusal, FilesThatAreNoMovieGiveEInvalidArg)
{
    ScratchFolder folder;
    const std::string text = folder.write("notes.mov", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'});
    for (const char *command : {"info", "index"}) {
        ProgramRun run = orvex({command, text});
        EXPECT_EQ(run.status, 2) << command;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "orvex: cannot load " + text + ": E_INVALIDARG (0x80070057)" + kNotAMovie);
    }
    const std::string missing = folder.write("x.mov", {}) + ".gone";
    ProgramRun run = orvex({"index", missing});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "orvex: cannot load " + missing + ": HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) (0x80070002)\n");
}

TEST(OrvexRefusal, TruncatedRealMovieIsRefusedNotCrashed)
{
    ScratchFolder folder;
    Bytes movie = readFileBytes(dataPath("movies/main_aac_faststart.mov"));
    for (size_t keep : {size_t(16), movie.size() / 3, movie.size() - 1}) {
        const std::string path = folder.write("cut.mov", Bytes(movie.begin(), movie.begin() + long(keep)));
        ProgramRun run = orvex({"info", path, "--json"});
        EXPECT_EQ(run.status, 2) << keep;
        EXPECT_EQ(run.err, "orvex: cannot load " + path + ": E_INVALIDARG (0x80070057)" + kNotAMovie);
    }
}

// Movies ffmpeg makes by default that the filters do not serve: every
// command that loads one names the refused track and why, and exits with 2.
TEST(OrvexRefusal, EachCommandSaysWhyTheVideoIsRefused)
{
    if (findOnPath("ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is not installed";
    struct Row {
        const char *name;
        const char *x264;
        const char *profile;
        const char *reason;
    };
    const Row rows[] = {
        {"high", "cabac=0:bframes=0", "high", "H.264 profile_idc 100 (only Baseline and Main are served)"},
        {"bframes", "cabac=0:bframes=2", "main", "has a 'ctts' atom (frames out of decoding order)"},
        {"cabac", "cabac=1:bframes=0", "main", "CABAC entropy coding (only CAVLC is served)"},
    };
    ScratchFolder folder;
    for (const Row &row : rows) {
        const std::string path = folder.ffmpeg(std::string(row.name) + ".mov",
                                               {"-f", "lavfi", "-i", "testsrc2=s=160x120:r=15:d=1", "-c:v", "libx264",
                                                "-profile:v", row.profile, "-x264-params", row.x264});
        const std::string trackLine = "\norvex:   track 1 (vide 'avc1'): refused: " + std::string(row.reason) + "\n";
        for (const std::vector<std::string> &args :
             {std::vector<std::string>{"info", path}, {"info", path, "--json"}, {"index", path}}) {
            ProgramRun run = orvex(args);
            EXPECT_EQ(run.status, 2) << row.name << " " << args[0];
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err, "orvex: cannot load " + path + ": E_INVALIDARG (0x80070057)" + trackLine);
        }
        // The graph's own code, by its name, then the same track line.
        for (const std::vector<std::string> &args :
             {std::vector<std::string>{"play", path, "--quiet"}, {"snapshot", path, "0", folder.path("out.png")}}) {
            ProgramRun run = orvex(args);
            EXPECT_EQ(run.status, 2) << row.name << " " << args[0];
            EXPECT_EQ(run.err.rfind("orvex: cannot load " + path + ": VFW_E_", 0), 0u) << run.err;
            EXPECT_NE(run.err.find(trackLine), std::string::npos) << run.err;
        }
    }
}

// ffmpeg's default AAC track starts with an edit (the encoder's priming):
// the video is served, and both outputs say why there is no sound.
TEST(OrvexInfo, TracksSayWhichPinServesThemOrWhyNone)
{
    if (findOnPath("ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is not installed";
    ScratchFolder folder;
    const std::string path = folder.ffmpeg(
        "aac_edit.mov", {"-f", "lavfi", "-i", "testsrc2=s=160x120:r=15:d=1", "-f", "lavfi", "-i", "sine=d=1", "-c:v",
                         "libx264", "-profile:v", "baseline", "-x264-params", "cabac=0:bframes=0", "-c:a", "aac"});
    Json info = infoJson(path);
    EXPECT_TRUE(info.at("sound").is_null());
    EXPECT_EQ(info.at("tracks"), Json::parse(R"json([
        {"index": 1, "handler": "vide", "format": "avc1", "served": true, "pin": "Video(H.264) Out", "reason": null},
        {"index": 2, "handler": "soun", "format": "mp4a", "served": false, "pin": null,
         "reason": "edit list (media time 1024)"}])json"));
    ProgramRun text = orvex({"info", path});
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("sound:   none (track 2 (soun 'mp4a'): edit list (media time 1024))\n"), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("tracks:\n  track 1 (vide 'avc1'): pin \"Video(H.264) Out\"\n"
                            "  track 2 (soun 'mp4a'): refused: edit list (media time 1024)\n"),
              std::string::npos)
        << text.out;
}

TEST(OrvexUsage, WrongArgumentsExitWith64)
{
    EXPECT_EQ(orvex({"info"}).status, 64);
    EXPECT_EQ(orvex({"index", "a.mov", "b.mov"}).status, 64);
    EXPECT_EQ(orvex({"info", "a.mov", "--bogus"}).status, 64);
}

} // namespace
} // namespace orvex::test

// `orvex info` and `orvex index` run as a user runs them: the JSON and text
// outputs, the index table, and the error lines and exit statuses.
#include "support/annexb.h"
#include "support/movie_writer.h"
#include "support/scratch.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstring>

namespace orvex::test {
namespace {

std::string movie(const std::string &name)
{
    return std::string(ORVEX_TEST_DATA_DIR) + "/movies/" + name;
}

ProgramRun orvex(std::vector<std::string> args)
{
    args.insert(args.begin(), BuildProgram("orvex"));
    return Run(args);
}

// The whole output parsed, so malformed JSON fails; the file name left out.
nlohmann::ordered_json infoJson(const std::string &path)
{
    ProgramRun run = orvex({"info", path, "--json"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    auto json = nlohmann::ordered_json::parse(run.out);
    EXPECT_EQ(json.at("file"), path);
    json.erase("file");
    return json;
}

TEST(OrvexInfo, JsonOfEachLayoutAndSound)
{
    ScratchFolder folder;
    VideoInput video = videoFromStream(parseAnnexB(readFileBytes(movie("stream_176x144_15fps.h264"))), 176, 144);
    SoundInput sound = makeSound(2.5, 1, 8000);
    const std::string camera = folder.write("camera.mov", writeMovie(video, &sound, {MovieLayout::kCamera}).file);
    // Every key, in order, once; then the layout, the video pin and the sound of each.
    EXPECT_EQ(
        infoJson(movie("baseline_sowt.mov")).dump(),
        "{\"layout\":\"plain\",\"video\":{\"pin\":\"Video(H.264) "
        "Out\",\"subtype\":\"avc1\",\"width\":160,\"height\":120,\"displayWidth\":160,\"displayHeight\":120,"
        "\"profile\":66,\"level\":10,\"avgTimePerFrame\":666666,\"bitRate\":128964,\"timeScale\":15360,\"duration\":"
        "30720,\"sampleCount\":30,\"entries\":30,\"durationRt\":20000000,\"signal\":{\"videoFormat\":5,\"fullRange\":"
        "0,\"colourPrimaries\":2,\"transferCharacteristics\":2,\"matrixCoefficients\":2}},\"sound\":{\"pin\":\"Audio("
        "PCM) Out\",\"subtype\":\"PCM\",\"channels\":2,\"sampleRate\":8000,\"bitsPerSample\":16,\"blockAlign\":4,"
        "\"avgBytesPerSec\":32000,\"entries\":16,\"durationRt\":20000000},\"tracks\":[{\"index\":1,\"handler\":"
        "\"vide\",\"format\":\"avc1\",\"served\":true,\"pin\":\"Video(H.264) Out\",\"reason\":null},{\"index\":"
        "2,\"handler\":\"soun\",\"format\":\"sowt\",\"served\":true,\"pin\":\"Audio(PCM) Out\",\"reason\":null}]}");
    const std::pair<std::string, std::string> cases[] = {
        {movie("main_aac_faststart.mov"),
         "plain Video(H.264) Out {\"pin\":\"Audio(AAC) Out\",\"subtype\":\"AAC\",\"channels\":1,\"sampleRate\":16000,"
         "\"bitsPerSample\":16,\"blockAlign\":0,\"avgBytesPerSec\":3085,\"entries\":33,\"durationRt\":20640000}"},
        {movie("video_only_faststart.mov"), "plain Video(H.264) Out null"},
        {camera, "camera Video(Orvex H.264) Out {\"pin\":\"Audio(PCM) Out\",\"subtype\":\"PCM\",\"channels\":1,"
                 "\"sampleRate\":8000,\"bitsPerSample\":16,\"blockAlign\":2,\"avgBytesPerSec\":16000,\"entries\":3,"
                 "\"durationRt\":25000000}"},
    };
    for (const auto &[path, expected] : cases) {
        auto info = infoJson(path);
        EXPECT_EQ(info.at("layout").get<std::string>() + " " + info.at("video").at("pin").get<std::string>() + " " +
                      info.at("sound").dump(),
                  expected)
            << path;
    }
    const std::string odd =
        folder.write("a \"quoted\" back\\slash\ttab\x01\x1f Ünïcødé ✓.mov", readFileBytes(movie("baseline_sowt.mov")));
    infoJson(odd); // the name comes back unchanged
}

TEST(OrvexInfo, TextNamesTheLayoutAndThePins)
{
    const std::string path = movie("baseline_sowt.mov");
    ProgramRun run = orvex({"info", path});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(
        run.out,
        "file:    " + path +
            "\nlayout:  plain\nvideo:   pin \"Video(H.264) Out\"\n  subtype avc1, 160 x 120 (display 160 x 120), "
            "profile 66, level 10\n  AvgTimePerFrame 666666, dwBitRate 128964\n  media: time scale 15360, duration "
            "30720, 30 samples\n  index: 30 entries, 20000000 (2.000 s)\n  signal: video_format 5, full range 0, "
            "colour primaries 2, transfer 2, matrix 2\nsound:   pin \"Audio(PCM) Out\"\n  PCM, channels 2, 8000 Hz, 16 "
            "bits per sample, block align 4, 32000 bytes/s\n  index: 16 entries, 20000000 (2.000 s)\ntracks:\n  track "
            "1 (vide 'avc1'): pin \"Video(H.264) Out\"\n  track 2 (soun 'sowt'): pin \"Audio(PCM) Out\"\n");
}

TEST(OrvexIndex, HeaderThenOneLinePerEntry)
{
    ProgramRun run = orvex({"index", movie("sowt_one_second_chunks.mov")});
    ASSERT_EQ(run.status, 0) << run.err;
    const size_t sound = run.out.find("\nsound\t");
    ASSERT_NE(sound, std::string::npos);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n', run.out.find('\n') + 1) + 1),
              "stream\tentry\tstart\tstop\tsize\toffset\tsync\tsamples\nvideo\t0\t0\t666666\t3536\t36\t1\t1\n");
    EXPECT_EQ(run.out.substr(sound + 1), "sound\t0\t0\t10000000\t16000\t3572\t1\t8000\nsound\t1\t10000000\t20000000\t16"
                                         "000\t40040\t1\t8000\nsound\t2\t20000000\t25000000\t8000\t74579\t1\t4000\n");
}

// Status and standard error of what cannot be run or loaded.
TEST(OrvexRefusal, StatusAndErrorLine)
{
    ScratchFolder folder;
    const std::string text = folder.write("notes.mov", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'});
    const Bytes whole = readFileBytes(movie("main_aac_faststart.mov"));
    const std::string cut = folder.write("cut.mov", Bytes(whole.begin(), whole.begin() + long(whole.size() / 3)));
    const std::string notMovie = ": E_INVALIDARG (0x80070057)\norvex:   not a QuickTime movie: no whole 'moov' and "
                                 "'mdat' atoms\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{"info", "/nonexistent/movie.mov"},
         2,
         "orvex: cannot load /nonexistent/movie.mov: HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) (0x80070003)\n"},
        {{"index", text + ".gone"},
         2,
         "orvex: cannot load " + text + ".gone: HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) (0x80070002)\n"},
        {{"info", text}, 2, "orvex: cannot load " + text + notMovie},
        {{"index", text}, 2, "orvex: cannot load " + text + notMovie},
        {{"info", cut, "--json"}, 2, "orvex: cannot load " + cut + notMovie},
        {{"info"}, 64, ""},
        {{"index", "a.mov", "b.mov"}, 64, ""},
        {{"info", "a.mov", "--bogus"}, 64, ""},
    };
    for (const auto &c : cases) {
        ProgramRun run = orvex(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[0] << " " << run.err;
        EXPECT_EQ(run.out, "");
        if (c.status != 64) {
            EXPECT_EQ(run.err, c.err);
        }
    }
}

// Movies ffmpeg makes by default that the filters do not serve: every
// command that loads one names the refused track and why, and exits with 2.
TEST(OrvexRefusal, EachCommandSaysWhyTheVideoIsRefused)
{
    const std::pair<const char *, const char *> rows[] = {
        {"high:cabac=0:bframes=0", "H.264 profile_idc 100 (only Baseline and Main are served)"},
        {"main:cabac=0:bframes=2", "has a 'ctts' atom (frames out of decoding order)"},
        {"main:cabac=1:bframes=0", "CABAC entropy coding (only CAVLC is served)"},
    };
    ScratchFolder folder;
    for (const auto &[settings, reason] : rows) {
        const std::string profile(settings, std::strchr(settings, ':'));
        const std::string path = folder.ffmpeg(profile + std::to_string(std::strlen(reason)) + ".mov",
                                               {"-f", "lavfi", "-i", "testsrc2=s=160x120:r=15:d=1", "-c:v", "libx264",
                                                "-profile:v", profile, "-x264-params", std::strchr(settings, ':') + 1});
        const std::string trackLine = "\norvex:   track 1 (vide 'avc1'): refused: " + std::string(reason) + "\n";
        for (const std::vector<std::string> &args : {std::vector<std::string>{"info", path}, {"index", path}}) {
            ProgramRun run = orvex(args);
            EXPECT_EQ(std::to_string(run.status) + " " + run.err,
                      "2 orvex: cannot load " + path + ": E_INVALIDARG (0x80070057)" + trackLine);
        }
        // The graph's own code, by its name, then the same track line.
        for (const std::vector<std::string> &args :
             {std::vector<std::string>{"play", path, "--quiet"}, {"snapshot", path, "0", folder.path("out.png")}}) {
            ProgramRun run = orvex(args);
            EXPECT_EQ(run.status, 2) << reason << " " << args[0];
            EXPECT_EQ(run.err.rfind("orvex: cannot load " + path + ": VFW_E_", 0), 0u) << run.err;
            EXPECT_NE(run.err.find(trackLine), std::string::npos) << run.err;
        }
    }
}

// ffmpeg's default AAC track starts with an edit (the encoder's priming):
// the video is served, and both outputs say why there is no sound.
TEST(OrvexInfo, TracksSayWhichPinServesThemOrWhyNone)
{
    ScratchFolder folder;
    const std::string path = folder.ffmpeg(
        "aac_edit.mov", {"-f", "lavfi", "-i", "testsrc2=s=160x120:r=15:d=1", "-f", "lavfi", "-i", "sine=d=1", "-c:v",
                         "libx264", "-profile:v", "baseline", "-x264-params", "cabac=0:bframes=0", "-c:a", "aac"});
    auto info = infoJson(path);
    EXPECT_EQ(info.at("sound").dump() + " " + info.at("tracks").dump(),
              "null [{\"index\":1,\"handler\":\"vide\",\"format\":\"avc1\",\"served\":true,\"pin\":\"Video(H.264) "
              "Out\",\"reason\":null},{\"index\":2,\"handler\":\"soun\",\"format\":\"mp4a\",\"served\":false,\"pin\":"
              "null,\"reason\":\"edit list (media time 1024)\"}]");
    ProgramRun text = orvex({"info", path});
    EXPECT_NE(text.out.find("sound:   none (track 2 (soun 'mp4a'): edit list (media time 1024))\n"
                            "tracks:\n  track 1 (vide 'avc1'): pin \"Video(H.264) Out\"\n"
                            "  track 2 (soun 'mp4a'): refused: edit list (media time 1024)\n"),
              std::string::npos)
        << text.out;
}

} // namespace
} // namespace orvex::test

// orvex run as a user runs it, through the real module: what info, index,
// play, snapshot and the registry commands write, and the exit status and
// standard error of each refusal.
#include "support/annexb.h"
#include "support/ffmpeg_reference.h"
#include "support/movie_writer.h"
#include "support/scratch.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <regex>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace orvex::test {
namespace {

std::string movie(const std::string &name)
{
    return std::string(ORVEX_TEST_DATA_DIR) + "/movies/" + name;
}

// Never the user's registry: the filters come from the module beside orvex.
class OrvexTest : public ::testing::Test, protected TempRegistry {
protected:
    static ProgramRun orvex(std::vector<std::string> args)
    {
        args.insert(args.begin(), BuildProgram("orvex"));
        return test::Run(args);
    }
    // The whole output parsed, so malformed JSON fails; the file name left out.
    static nlohmann::ordered_json infoJson(const std::string &path)
    {
        ProgramRun run = orvex({"info", path, "--json"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        auto json = nlohmann::ordered_json::parse(run.out);
        EXPECT_EQ(json.at("file"), path);
        json.erase("file");
        return json;
    }
};

TEST_F(OrvexTest, InfoJsonOfEachLayoutAndSound)
{
    VideoInput video = videoFromStream(parseAnnexB(readFileBytes(movie("stream_176x144_15fps.h264"))), 176, 144);
    SoundInput sound = makeSound(2.5, 1, 8000);
    const std::string camera =
        ScratchFolder::write("camera.mov", writeMovie(video, &sound, {MovieLayout::kCamera}).file);
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
    const std::string odd = ScratchFolder::write("a \"quoted\" back\\slash\ttab\x01\x1f Ünïcødé ✓.mov",
                                                 readFileBytes(movie("baseline_sowt.mov")));
    infoJson(odd); // the name comes back unchanged
    const std::string path = movie("baseline_sowt.mov");
    EXPECT_EQ(
        orvex({"info", path}).out,
        "file:    " + path +
            "\nlayout:  plain\nvideo:   pin \"Video(H.264) Out\"\n  subtype avc1, 160 x 120 (display 160 x 120), "
            "profile 66, level 10\n  AvgTimePerFrame 666666, dwBitRate 128964\n  media: time scale 15360, duration "
            "30720, 30 samples\n  index: 30 entries, 20000000 (2.000 s)\n  signal: video_format 5, full range 0, "
            "colour primaries 2, transfer 2, matrix 2\nsound:   pin \"Audio(PCM) Out\"\n  PCM, channels 2, 8000 Hz, 16 "
            "bits per sample, block align 4, 32000 bytes/s\n  index: 16 entries, 20000000 (2.000 s)\ntracks:\n  track "
            "1 (vide 'avc1'): pin \"Video(H.264) Out\"\n  track 2 (soun 'sowt'): pin \"Audio(PCM) Out\"\n");
}

TEST_F(OrvexTest, IndexHeaderThenOneLinePerEntry)
{
    const ProgramRun run = orvex({"index", movie("sowt_one_second_chunks.mov")});
    // The video lines between the first and the sound left out.
    EXPECT_EQ(std::to_string(run.status) + " " + std::regex_replace(run.out, std::regex("\nvideo\t[1-9][^\n]*"), ""),
              "0 stream\tentry\tstart\tstop\tsize\toffset\tsync\tsamples\nvideo\t0\t0\t666666\t3536\t36\t1\t1\n"
              "sound\t0\t0\t10000000\t16000\t3572\t1\t8000\nsound\t1\t10000000\t20000000\t16000\t40040\t1\t8000\n"
              "sound\t2\t20000000\t25000000\t8000\t74579\t1\t4000\n");
}

TEST_F(OrvexTest, InfoTracksSayWhichPinServesThemOrWhyNone)
{
    const std::string path = ffmpeg("aac_edit.mov", {"-f", "lavfi", "-i", "testsrc2=s=160x120:r=15:d=1", "-f", "lavfi",
                                                     "-i", "sine=d=1", "-c:v", "libx264", "-profile:v", "baseline",
                                                     "-x264-params", "cabac=0:bframes=0", "-c:a", "aac"});
    auto info = infoJson(path);
    EXPECT_EQ(info.at("sound").dump() + " " + info.at("tracks").dump(),
              "null [{\"index\":1,\"handler\":\"vide\",\"format\":\"avc1\",\"served\":true,\"pin\":\"Video(H.264) "
              "Out\",\"reason\":null},{\"index\":2,\"handler\":\"soun\",\"format\":\"mp4a\",\"served\":false,\"pin\":"
              "null,\"reason\":\"edit list (media time 1024)\"}]");
    EXPECT_NE(orvex({"info", path})
                  .out.find("sound:   none (track 2 (soun 'mp4a'): edit list (media time 1024))\n"
                            "tracks:\n  track 1 (vide 'avc1'): pin \"Video(H.264) Out\"\n"
                            "  track 2 (soun 'mp4a'): refused: edit list (media time 1024)\n"),
              std::string::npos);
}

// Movies ffmpeg makes by default that the filters do not serve: every
// command that loads one names the refused track and why, and exits with 2.
TEST_F(OrvexTest, EachCommandSaysWhyTheVideoIsRefused)
{
    const std::pair<const char *, const char *> rows[] = {
        {"high:cabac=0:bframes=0", "H.264 profile_idc 100 (only Baseline and Main are served)"},
        {"main:cabac=0:bframes=2", "has a 'ctts' atom (frames out of decoding order)"},
        {"main:cabac=1:bframes=0", "CABAC entropy coding (only CAVLC is served)"},
    };
    for (const auto &[settings, reason] : rows) {
        const std::string profile(settings, std::strchr(settings, ':'));
        const std::string path = ffmpeg(profile + std::to_string(std::strlen(reason)) + ".mov",
                                        {"-f", "lavfi", "-i", "testsrc2=s=160x120:r=15:d=1", "-c:v", "libx264",
                                         "-profile:v", profile, "-x264-params", std::strchr(settings, ':') + 1});
        std::string got, expected;
        for (const std::vector<std::string> &args : {std::vector<std::string>{"info", path},
                                                     {"index", path},
                                                     {"play", path, "--quiet"},
                                                     {"snapshot", path, "0", path + ".png"}}) {
            const ProgramRun run = orvex(args);
            got += std::to_string(run.status) + " " + run.err;
            // The parser's refusal, or the graph's code when the graph loads the movie.
            expected += "2 orvex: cannot load " + path +
                        (args[0] == "info" || args[0] == "index" ? ": E_INVALIDARG (0x80070057)"
                                                                 : ": VFW_E_NO_ACCEPTABLE_TYPES (0x80040207)") +
                        "\norvex:   track 1 (vide 'avc1'): refused: " + reason + "\n";
        }
        EXPECT_EQ(got, expected);
    }
}

TEST_F(OrvexTest, RefusalsGiveStatusAndStandardError)
{
    const std::string good = movie("baseline_sowt.mov"), aac = movie("main_aac_faststart.mov"),
                      silent = movie("video_only_faststart.mov");
    const std::string text = ScratchFolder::write("notes.mov", Bytes{'n', 'o', 't', 'e', 's'});
    const Bytes whole = readFileBytes(aac);
    const std::string cut =
        ScratchFolder::write("cut.mov", Bytes(whole.begin(), whole.begin() + long(whole.size() / 3)));
    fs::create_directories(path("folder.mov"));
    const std::string notMovie = "\norvex:   not a QuickTime movie: no whole 'moov' and 'mdat' atoms\n";
    const std::string usage = "\nTry 'orvex --help' for the commands and options.\n";
    const std::string write = "73 orvex: cannot write ";
    const struct {
        std::vector<std::string> args;
        std::string expected; // the status, then standard error
    } cases[] = {
        {{"info", "/nonexistent/movie.mov"},
         "2 orvex: cannot load /nonexistent/movie.mov: HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) (0x80070003)\n"},
        {{"info", cut, "--json"}, "2 orvex: cannot load " + cut + ": E_INVALIDARG (0x80070057)" + notMovie},
        {{"play", text}, "2 orvex: cannot load " + text + ": VFW_E_NO_ACCEPTABLE_TYPES (0x80040207)" + notMovie},
        {{"play", path("gone.mov")}, "2 orvex: cannot load " + path("gone.mov") + ": no such file\n"},
        {{"play", path("folder.mov")}, "2 orvex: cannot load " + path("folder.mov") + ": it is a folder\n"},
        {{"play", good, "-o", path("no/a.y4m")}, write + path("no/a.y4m") + ": No such file or directory\n"},
        {{"play", good, "-o", path("a.ppm")},
         write + path("a.ppm") + ": .ppm takes --format rgb24 or rgb32, not yv12\n"},
        {{"play", good, "-o", path("a.mp4")}, write + path("a.mp4") + ": the video file must end in .y4m or .ppm\n"},
        {{"play", good, "--audio", path("a.aac")},
         write + path("a.aac") + ": the movie's sound is PCM; write it to a .wav file\n"},
        {{"play", aac, "--audio", path("a.wav")},
         write + path("a.wav") + ": the movie's sound is AAC; write it to a .aac file\n"},
        {{"play", silent, "--audio", path("a.wav")}, write + "sound: " + silent + " has no sound the parser serves\n"},
        {{"snapshot", good, "30", path("a.png")}, "1 orvex: " + good + " has no picture at or after 30 s\n"},
        {{"register", path("none.ax")}, "2 orvex: cannot load " + path("none.ax") + ": no such module file\n"},
        {{"register", text}, "2 orvex: cannot load " + text + ": not a loadable module (error 11)\n"},
        {{"info"}, "64 orvex: missing arguments" + usage},
        {{"index", "a.mov", "b.mov"}, "64 orvex: too many arguments" + usage},
        {{"info", "a.mov", "--bogus"}, "64 orvex: unknown option --bogus" + usage},
        {{"play", good, "--format", "nv12"}, "64 orvex: --format takes yv12, iyuv, rgb24 or rgb32" + usage},
        {{"play", good, "--scale", "3"}, "64 orvex: --scale takes 0, 1 or 2" + usage},
        {{"play", good, "--start", "2", "--stop", "1"}, "64 orvex: --stop must come after --start" + usage},
        {{"snapshot", good, "soon", path("a.png")}, "64 orvex: TIME takes a number of seconds, 0 or more" + usage},
    };
    for (const auto &c : cases) {
        const ProgramRun run = orvex(c.args);
        EXPECT_EQ(std::to_string(run.status) + " " + run.err, c.expected);
        EXPECT_EQ(run.out, "") << c.expected;
    }
    // Nothing half-written anywhere.
    for (const char *name : {"a.png", "a.y4m", "a.wav", "a.aac", "a.ppm", "a.mp4"})
        EXPECT_FALSE(fs::exists(path(name))) << name;
}

TEST_F(OrvexTest, PlayFormatsScaleAndSummary)
{
    const std::string sample = movie("baseline_sowt.mov");
    const struct {
        std::vector<std::string> options;
        const char *file, *header;
    } cases[] = {{{"--format", "yv12"}, "a.y4m", "YUV4MPEG2 W160 H120 F15:1 "},
                 {{"--format", "iyuv"}, "b.y4m", "YUV4MPEG2 W160 H120 F15:1 "},
                 {{"--format", "rgb24"}, "a.ppm", "P6\n160 120\n255\n"},
                 {{"--format", "rgb32"}, "b.ppm", "P6\n160 120\n255\n"},
                 {{"--scale", "1", "--deblock", "2"}, "h.y4m", "YUV4MPEG2 W80 H60 F15:1 "},
                 {{"--scale", "2", "--format", "rgb24"}, "q.ppm", "P6\n40 30\n255\n"}};
    for (const auto &c : cases) {
        std::vector<std::string> args = {"play", sample, "-o", path(c.file)};
        args.insert(args.end(), c.options.begin(), c.options.end());
        auto run = orvex(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(std::regex_replace(run.out, std::regex("[0-9.]+ s wall, [0-9.]+ frames/s"), "W s wall, F frames/s"),
                  sample + ": 30 frames, 2.000 s of media, W s wall, F frames/s, 0 dropped\n");
        EXPECT_EQ(ReadFileText(path(c.file)).rfind(c.header, 0), 0u) << c.file;
    }
    EXPECT_TRUE(ReadFileText(path("a.y4m")) == ReadFileText(path("b.y4m")));
    EXPECT_TRUE(ReadFileText(path("a.ppm")) == ReadFileText(path("b.ppm")));

    // 15 frames a second: [1.0, 1.6) holds frames 15 to 23.
    auto part = orvex({"play", sample, "--start", "1.0", "--stop", "1.6", "--quiet", "-o", path("c.y4m")});
    EXPECT_EQ(std::to_string(part.status) + part.out, "0") << part.err;
    const std::string all = ReadFileText(path("a.y4m"));
    const size_t header = all.find("FRAME\n"), frame = 6 + 160 * 120 * 3 / 2;
    EXPECT_TRUE(ReadFileText(path("c.y4m")) == all.substr(0, header) + all.substr(header + 15 * frame, 9 * frame));

    // The sound: 2 s of 16-bit stereo at 8000 Hz after a WAV header; AAC LC at 16000 Hz in ADTS frames.
    ASSERT_EQ(orvex({"play", sample, "--quiet", "--audio", path("s.wav")}).status, 0);
    const std::string wav = ReadFileText(path("s.wav"));
    EXPECT_EQ(wav.substr(0, 44) + std::to_string(wav.size()),
              "RIFF\x24\xfa\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x40\x1f\0\0\x00\x7d\0\0\x04\0\x10\0data\x00\xfa\0\0"
              "64044"s);
    ASSERT_EQ(orvex({"play", movie("main_aac_faststart.mov"), "--quiet", "--audio", path("a.aac")}).status, 0);
    EXPECT_EQ(ReadFileText(path("a.aac")).substr(0, 3), "\xff\xf1\x60");
}

TEST_F(OrvexTest, SnapshotIsThePictureAtTheTime)
{
    const std::string sample = movie("baseline_sowt.mov");
    ASSERT_EQ(orvex({"snapshot", sample, "1.0", path("a.png")}).status, 0);
    // ffmpeg reads the PNG back as RGB.
    const Bytes png = readFileBytes(ffmpeg("a.rgb", {"-i", path("a.png"), "-f", "rawvideo", "-pix_fmt", "rgb24"}));
    EXPECT_GT(psnr(png, referenceFrames(sample, "rgb24", png.size()).at(15)), 35.0);
}

TEST_F(OrvexTest, InterruptedPlayLeavesNothingBehind)
{
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(inotify_add_watch(watch, folder().c_str(), IN_CREATE), 0);
    const pid_t pid =
        Spawn({BuildProgram("orvex"), "play", std::string(ORVEX_TEST_DATA_DIR) + "/../../samples/sample.mov",
               "--realtime", "--quiet", "-o", path("r.y4m"), "--audio", path("r.wav")});
    char events[4096];
    auto outputs = [&] { return std::distance(fs::directory_iterator(folder()), {}); };
    while (outputs() < 2) {
        pollfd ready{watch, POLLIN, 0};
        ASSERT_EQ(poll(&ready, 1, 60000), 1) << "no temporary files"; // a hang guard, not a timing check
        ASSERT_GT(::read(watch, events, sizeof(events)), 0);
    }
    close(watch);
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid), 130);
    EXPECT_EQ(outputs(), 0);
}

TEST_F(OrvexTest, RegisterFiltersAndUnregister)
{
    const std::string module = BuildProgram("OrvexH264Filter.ax");
    const std::string nothing = "0 Registry: " + file() + "\n\nNothing is registered.\n";
    // Each entry's details left out but for its module.
    auto filters = [&] {
        const ProgramRun run = orvex({"filters"});
        return std::to_string(run.status) + " " +
               std::regex_replace(std::regex_replace(run.out, std::regex("\n {4}(?!module)[^\n]*"), ""),
                                  std::regex(module), "M");
    };
    EXPECT_EQ(filters(), nothing);
    EXPECT_EQ(orvex({"register"}).out, "registered " + module + "\n");
    EXPECT_EQ(filters(),
              "0 Registry: " + file() +
                  "\n\nFilters\n  Orvex H.264 Decode Filter 1.1\n    module  M\n  Orvex Mov File Parser Filter\n"
                  "    module  M\n\nCOM classes\n  {5AF48B65-5E81-4B0A-920D-EFB06867E37C}  Orvex Mov File Parser "
                  "Filter\n    module  M\n  {CBB7DE32-FF84-4085-BBFF-F714CCC43E80}  Orvex H.264 Decode Filter "
                  "PropertyPage\n    module  M\n  {D5074B5E-6312-4E1E-A99C-5138730059A2}  Orvex H.264 Decode Filter "
                  "1.1 (CFactoryTemplate)\n    module  M\n");
    EXPECT_EQ(orvex({"unregister"}).out, "unregistered " + module + "\n");
    EXPECT_EQ(filters(), nothing);
    TempRegistry::write("not a registry\n");
    const ProgramRun bad = orvex({"filters"});
    const std::string cannot = "orvex: cannot read the registry " + file();
    EXPECT_EQ(std::to_string(bad.status) + " " + bad.err.substr(0, cannot.size()), "2 " + cannot);
}

} // namespace
} // namespace orvex::test

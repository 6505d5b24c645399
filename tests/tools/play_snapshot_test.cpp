// orvex play, snapshot, register, unregister and filters run as a user runs
// them, through the real module, on the movies of tests/data and the bundled
// sample.
#include "support/ffmpeg_reference.h"
#include "support/scratch.h"

#include <gtest/gtest.h>
#include <png.h>

#include <csignal>
#include <filesystem>
#include <regex>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace orvex::test;

namespace {

std::string movie(const std::string &name)
{
    return std::string(ORVEX_TEST_DATA_DIR) + "/movies/" + name;
}

// Never the user's registry: the filters come from the module beside orvex.
class PlayTest : public ::testing::Test, protected TempRegistry {
protected:
    ProgramRun orvex(std::vector<std::string> args) const
    {
        args.insert(args.begin(), BuildProgram("orvex"));
        return orvex::test::Run(args);
    }
    size_t outputs() const
    {
        size_t n = 0;
        for (const auto &entry : fs::directory_iterator(folder()))
            n += entry.path().filename().string().find("r.") != std::string::npos;
        return n;
    }
};

// The frames of a Y4M file, its header dropped.
std::vector<std::string> y4mFrames(const std::string &y4m)
{
    std::vector<std::string> frames;
    for (size_t at = y4m.find("FRAME\n"), next; at != std::string::npos; at = next) {
        next = y4m.find("FRAME\n", at + 6);
        frames.push_back(y4m.substr(at + 6, (next == std::string::npos ? y4m.size() : next) - at - 6));
    }
    return frames;
}

// Both plane orders give the same file, and so do both RGB layouts; the
// summary line says what was played.
TEST_F(PlayTest, FormatsAndSummary)
{
    const std::string sample = movie("baseline_sowt.mov");
    const struct {
        const char *format, *file, *header;
    } cases[] = {{"yv12", "a.y4m", "YUV4MPEG2 W160 H120 F15:1 "},
                 {"iyuv", "b.y4m", "YUV4MPEG2 W160 H120 F15:1 "},
                 {"rgb24", "a.ppm", "P6\n160 120\n255\n"},
                 {"rgb32", "b.ppm", "P6\n160 120\n255\n"}};
    for (const auto &c : cases) {
        auto run = orvex({"play", sample, "--format", c.format, "-o", path(c.file)});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(std::regex_replace(run.out, std::regex("[0-9.]+ s wall, [0-9.]+ frames/s"), "W s wall, F frames/s"),
                  sample + ": 30 frames, 2.000 s of media, W s wall, F frames/s, 0 dropped\n");
        EXPECT_EQ(ReadFileText(path(c.file)).rfind(c.header, 0), 0u) << c.format;
    }
    EXPECT_TRUE(ReadFileText(path("a.y4m")) == ReadFileText(path("b.y4m")));
    EXPECT_TRUE(ReadFileText(path("a.ppm")) == ReadFileText(path("b.ppm")));

    // 15 frames a second: [1.0, 1.6) holds frames 15 to 23.
    auto part = orvex({"play", sample, "--start", "1.0", "--stop", "1.6", "--quiet", "-o", path("c.y4m")});
    ASSERT_EQ(part.status, 0) << part.err;
    EXPECT_EQ(part.out, "");
    const auto all = y4mFrames(ReadFileText(path("a.y4m"))), frames = y4mFrames(ReadFileText(path("c.y4m")));
    ASSERT_EQ(frames.size(), 9u);
    EXPECT_TRUE(frames.front() == all.at(15) && frames.back() == all.at(23));
}

TEST_F(PlayTest, SnapshotIsThePictureAtTheTime)
{
    auto run = orvex({"snapshot", movie("baseline_sowt.mov"), "1.0", path("a.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path("a.png").c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    ASSERT_EQ(std::to_string(image.width) + "x" + std::to_string(image.height), "160x120");
    const auto &reference = referenceFrames(movie("baseline_sowt.mov"), "rgb24", pixels.size());
    EXPECT_GT(psnr(pixels, reference.at(15)), 35.0);
}

TEST_F(PlayTest, SoundOutputs)
{
    const std::string sample = std::string(ORVEX_TEST_DATA_DIR) + "/../../samples/sample.mov";
    auto run = orvex({"play", sample, "-o", path("s.y4m"), "--audio", path("s.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(y4mFrames(ReadFileText(path("s.y4m"))).size(), 45u);
    const std::string wav = ReadFileText(path("s.wav"));
    EXPECT_EQ(wav.size(), 44u + 3u * 16000 * 4);
    EXPECT_EQ(wav.substr(0, 4) + wav.substr(8, 8) + wav.substr(36, 4), "RIFFWAVEfmt data");

    run = orvex({"play", movie("main_aac_faststart.mov"), "--audio", path("a.aac")});
    ASSERT_EQ(run.status, 0) << run.err;
    auto probe = [](const std::string &file) {
        return orvex::test::Run({"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries",
                                 "stream=codec_name,sample_rate,channels", "-of", "compact", file})
            .out;
    };
    EXPECT_EQ(probe(path("a.aac")), "stream|codec_name=aac|sample_rate=16000|channels=1\n");
}

TEST_F(PlayTest, UserErrorsNameTheFileAndCause)
{
    const std::string good = movie("baseline_sowt.mov");
    fs::create_directories(path("in"));
    WriteFileText(path("in/text.mov"), "not a movie at all");
    fs::create_directories(path("locked"));
    fs::permissions(path("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string error; // a part of standard error
    } cases[] = {
        {{"play", path("in/missing.mov")}, 2, "cannot load " + path("in/missing.mov") + ": no such file"},
        {{"play", path("in/text.mov")}, 2, "cannot load " + path("in/text.mov") + ": "},
        {{"play", path("in")}, 2, "it is a folder"},
        {{"play", good, "-o", path("nofolder/a.y4m")}, 73, "cannot write " + path("nofolder/a.y4m")},
        {{"play", good, "-o", path("a.ppm")}, 73, ".ppm takes --format rgb24 or rgb32"},
        {{"play", good, "-o", path("a.mp4")}, 73, "must end in .y4m or .ppm"},
        {{"play", good, "--audio", path("a.aac")}, 73, "the movie's sound is PCM"},
        {{"play", movie("main_aac_faststart.mov"), "--audio", path("a.wav")}, 73, "the movie's sound is AAC"},
        {{"play", movie("video_only_faststart.mov"), "--audio", path("a.wav")}, 73, "has no sound"},
        {{"play", good, "--format", "nv12"}, 64, "--format takes"},
        {{"play", good, "--scale", "3"}, 64, "--scale takes"},
        {{"play", good, "--start", "2", "--stop", "1"}, 64, "--stop must come after --start"},
        {{"play", good, "--bogus"}, 64, "unknown option --bogus"},
        {{"snapshot", good, "soon", path("a.png")}, 64, "TIME takes"},
        {{"snapshot", good, "30", path("a.png")}, 1, "no picture at or after 30 s"},
        {{"register", path("in/none.ax")}, 2, "cannot load " + path("in/none.ax")},
        {{"register", path("in/text.mov")}, 2, "not a loadable module"},
    };
    for (const Case &c : cases) {
        auto run = orvex(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[1] << "\n" << run.err;
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    }
    if (geteuid() != 0) { // root writes anywhere
        auto run = orvex({"play", good, "-o", path("locked/a.y4m")});
        EXPECT_EQ(run.status, 73);
        EXPECT_NE(run.err.find("Permission denied"), std::string::npos) << run.err;
    }
    // Nothing half-written anywhere.
    EXPECT_TRUE(fs::is_empty(path("locked")));
    for (const char *name : {"a.png", "a.y4m", "a.wav", "a.aac"})
        EXPECT_FALSE(fs::exists(path(name))) << name;
}

TEST_F(PlayTest, ScaleGivesHalfAndQuarterPictures)
{
    for (const auto &[scale, format, file, header] :
         {std::tuple{"1", "yv12", "a.y4m", "YUV4MPEG2 W80 H60 F15:1 "}, {"2", "rgb24", "a.ppm", "P6\n40 30\n"}}) {
        auto run = orvex({"play", movie("baseline_sowt.mov"), "--scale", scale, "--deblock", "2", "--format", format,
                          "-o", path(file)});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(ReadFileText(path(file)).rfind(header, 0), 0u) << scale;
    }
}

// Interrupted once both temporary files exist: they go, and the status says so.
TEST_F(PlayTest, InterruptedPlayLeavesNothingBehind)
{
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, folder().c_str(), IN_CREATE), 0);
    const pid_t pid =
        Spawn({BuildProgram("orvex"), "play", std::string(ORVEX_TEST_DATA_DIR) + "/../../samples/sample.mov",
               "--realtime", "--quiet", "-o", path("r.y4m"), "--audio", path("r.wav")});
    char events[4096];
    while (outputs() < 2) {
        pollfd ready{watch, POLLIN, 0};
        ASSERT_EQ(poll(&ready, 1, 60000), 1) << "no temporary files"; // a hang guard, not a timing check
        ASSERT_GT(::read(watch, events, sizeof(events)), 0);
    }
    close(watch);
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid), 130);
    EXPECT_EQ(outputs(), 0u);
}

TEST_F(PlayTest, RegisterFiltersAndUnregister)
{
    const std::string nothing = "Registry: " + file() + "\n\nNothing is registered.\n";
    EXPECT_EQ(orvex({"filters"}).out, nothing);
    const std::string module = BuildProgram("OrvexH264Filter.ax");
    auto reg = orvex({"register"});
    ASSERT_EQ(reg.status, 0) << reg.err;
    EXPECT_EQ(reg.out, "registered " + module + "\n");
    auto filters = orvex({"filters"});
    EXPECT_EQ(filters.status, 0);
    EXPECT_EQ(std::regex_replace(filters.out, std::regex(module), "M"),
              "Registry: " + file() +
                  "\n\n"
                  "Filters\n"
                  "  Orvex H.264 Decode Filter 1.1\n"
                  "    class   {D5074B5E-6312-4E1E-A99C-5138730059A2}\n"
                  "    module  M\n"
                  "    merit   0x00600001\n"
                  "    input   Input\n"
                  "            Video / 'avc1'\n"
                  "    output  Output\n"
                  "            Video / any\n"
                  "  Orvex Mov File Parser Filter\n"
                  "    class   {5AF48B65-5E81-4B0A-920D-EFB06867E37C}\n"
                  "    module  M\n"
                  "    merit   0x00600001\n"
                  "    input   Input\n"
                  "            Stream / any\n"
                  "    output  Output, many\n"
                  "            Video / 'avc1'\n"
                  "\n"
                  "COM classes\n"
                  "  {5AF48B65-5E81-4B0A-920D-EFB06867E37C}  Orvex Mov File Parser Filter\n"
                  "    module  M\n"
                  "  {CBB7DE32-FF84-4085-BBFF-F714CCC43E80}  Orvex H.264 Decode Filter PropertyPage\n"
                  "    module  M\n"
                  "  {D5074B5E-6312-4E1E-A99C-5138730059A2}  Orvex H.264 Decode Filter 1.1 (CFactoryTemplate)\n"
                  "    module  M\n");
    auto play = orvex({"play", movie("baseline_sowt.mov")}); // through the registry now
    EXPECT_EQ(play.status, 0) << play.err;
    auto unreg = orvex({"unregister"});
    EXPECT_EQ(unreg.status, 0);
    EXPECT_EQ(unreg.out, "unregistered " + module + "\n");
    EXPECT_EQ(orvex({"filters"}).out, nothing);
    TempRegistry::write("not a registry\n");
    filters = orvex({"filters"});
    EXPECT_EQ(filters.status, 2);
    EXPECT_EQ(filters.err.rfind("orvex: cannot read the registry " + file(), 0), 0u) << filters.err;
}

} // namespace

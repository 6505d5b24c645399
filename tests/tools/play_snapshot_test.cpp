// orvex play, snapshot, register and unregister run as a user runs them, on
// the movies of tests/data and the bundled sample, against ffmpeg's decoding.
#include "program_runner.h"
#include "support/annexb.h"
#include "support/movie_writer.h"

#include <gtest/gtest.h>
#include <png.h>

#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;
using orvex::test::orvexProgram;
using orvex::test::runProgram;

namespace {

std::string movie(const std::string &name)
{
    return std::string(ORVEX_TEST_DATA_DIR) + "/movies/" + name;
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// ffmpeg's decoding of a movie's video or sound as raw bytes.
std::string ffmpegRaw(const std::string &file, const std::vector<std::string> &output)
{
    std::vector<std::string> args = {"-v", "error", "-nostdin", "-i", file};
    args.insert(args.end(), output.begin(), output.end());
    args.push_back("-");
    auto run = runProgram("/usr/bin/ffmpeg", args);
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
}

// The frames of a Y4M file, headers dropped.
std::vector<std::string> y4mFrames(const std::string &y4m, std::string *header = nullptr)
{
    std::vector<std::string> frames;
    const size_t end = y4m.find('\n');
    if (end == std::string::npos) return frames;
    if (header) *header = y4m.substr(0, end);
    size_t at = end + 1;
    while (at < y4m.size()) {
        const size_t next = y4m.find("FRAME\n", at + 6);
        frames.push_back(y4m.substr(at + 6, (next == std::string::npos ? y4m.size() : next) - at - 6));
        at = next == std::string::npos ? y4m.size() : next;
    }
    return frames;
}

std::vector<std::string> split(const std::string &bytes, size_t size)
{
    std::vector<std::string> parts;
    for (size_t at = 0; at + size <= bytes.size(); at += size)
        parts.push_back(bytes.substr(at, size));
    return parts;
}

class PlayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "orvex-play-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(pattern.data()));
        dir = pattern;
        // Never the user's registry: the filters come from the module beside orvex.
        setenv("ORVEX_REGISTRY", (dir / "registry").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string out(const std::string &name) const { return (dir / name).string(); }
    orvex::test::ProgramRun orvex(const std::vector<std::string> &args) const
    {
        return runProgram(orvexProgram(), args);
    }
    size_t filesIn(const fs::path &folder) const
    {
        return size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
    fs::path dir;
};

} // namespace

TEST_F(PlayTest, Y4mFramesEqualFfmpegsDecoding)
{
    for (const char *name : {"baseline_sowt.mov", "odd_size_sowt_3000.mov", "video_only_faststart.mov"}) {
        for (const char *format : {"yv12", "iyuv"}) {
            auto run = orvex({"play", movie(name), "--format", format, "-o", out("a.y4m")});
            ASSERT_EQ(run.status, 0) << name << run.err;
            EXPECT_NE(run.out.find(" frames, "), std::string::npos) << run.out;
            const auto frames = y4mFrames(readFile(out("a.y4m")));
            ASSERT_FALSE(frames.empty());
            const auto reference =
                split(ffmpegRaw(movie(name), {"-f", "rawvideo", "-pix_fmt", "yuv420p"}), frames[0].size());
            ASSERT_EQ(frames.size(), reference.size()) << name;
            for (size_t i = 0; i < frames.size(); ++i)
                EXPECT_TRUE(frames[i] == reference[i]) << name << " frame " << i;
        }
    }
}

TEST_F(PlayTest, PpmPicturesAreCloseToFfmpegsRgb)
{
    for (const char *format : {"rgb24", "rgb32"}) {
        auto run = orvex({"play", movie("baseline_sowt.mov"), "--format", format, "-o", out("a.ppm")});
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string ppm = readFile(out("a.ppm"));
        const std::string header = "P6\n160 120\n255\n";
        ASSERT_EQ(ppm.compare(0, header.size(), header), 0);
        const size_t image = header.size() + 160 * 120 * 3;
        ASSERT_EQ(ppm.size() % image, 0u);
        const auto reference =
            split(ffmpegRaw(movie("baseline_sowt.mov"), {"-f", "rawvideo", "-pix_fmt", "rgb24"}), 160 * 120 * 3);
        ASSERT_EQ(ppm.size() / image, reference.size());
        for (size_t f = 0; f < reference.size(); ++f) {
            double difference = 0;
            for (size_t i = 0; i < reference[f].size(); ++i)
                difference +=
                    std::abs(int(uint8_t(ppm[f * image + header.size() + i])) - int(uint8_t(reference[f][i])));
            EXPECT_LT(difference / double(reference[f].size()), 3.0) << format << " frame " << f;
        }
    }
}

TEST_F(PlayTest, WavHoldsTheMoviesSoundBytes)
{
    for (const char *name : {"baseline_sowt.mov", "sowt_one_second_chunks.mov"}) {
        auto run = orvex({"play", movie(name), "--audio", out("a.wav"), "--quiet"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, ""); // --quiet
        const std::string wav = readFile(out("a.wav"));
        ASSERT_GT(wav.size(), 44u);
        EXPECT_EQ(wav.substr(0, 4), "RIFF");
        EXPECT_TRUE(wav.substr(44) == ffmpegRaw(movie(name), {"-f", "s16le"})) << name;
    }
}

TEST_F(PlayTest, AdtsIsReadAsAacWithTheMoviesRateAndChannels)
{
    auto run = orvex({"play", movie("main_aac_faststart.mov"), "--audio", out("a.aac")});
    ASSERT_EQ(run.status, 0) << run.err;
    auto probe = [](const std::string &file) {
        return runProgram("/usr/bin/ffprobe", {"-v", "error", "-select_streams", "a", "-show_entries",
                                               "stream=codec_name,sample_rate,channels", "-of", "compact", file})
            .out;
    };
    const std::string mine = probe(out("a.aac"));
    EXPECT_NE(mine.find("codec_name=aac"), std::string::npos) << mine;
    EXPECT_EQ(mine, probe(movie("main_aac_faststart.mov")));
}

TEST_F(PlayTest, StartAndStopGiveTheFirstAndLastFrames)
{
    // 15 frames a second: [1.0, 1.6) holds frames 15 to 23.
    auto run = orvex({"play", movie("baseline_sowt.mov"), "--start", "1.0", "--stop", "1.6", "-o", out("a.y4m")});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto frames = y4mFrames(readFile(out("a.y4m")));
    ASSERT_FALSE(frames.empty());
    const auto reference =
        split(ffmpegRaw(movie("baseline_sowt.mov"), {"-f", "rawvideo", "-pix_fmt", "yuv420p"}), frames[0].size());
    EXPECT_TRUE(frames.front() == reference[15]);
    EXPECT_TRUE(frames.back() == reference[23]);
    EXPECT_EQ(frames.size(), 9u);
}

TEST_F(PlayTest, SnapshotIsThePictureAtTheTime)
{
    auto run = orvex({"snapshot", movie("baseline_sowt.mov"), "1.0", out("a.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, out("a.png").c_str()));
    image.format = PNG_FORMAT_RGB;
    std::string pixels(PNG_IMAGE_SIZE(image), '\0');
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(image.width, 160u);
    EXPECT_EQ(image.height, 120u);
    const auto reference =
        split(ffmpegRaw(movie("baseline_sowt.mov"), {"-f", "rawvideo", "-pix_fmt", "rgb24"}), pixels.size());
    double difference = 0;
    for (size_t i = 0; i < pixels.size(); ++i)
        difference += std::abs(int(uint8_t(pixels[i])) - int(uint8_t(reference.at(15)[i])));
    EXPECT_LT(difference / double(pixels.size()), 3.0);
}

TEST_F(PlayTest, BundledSamplePlaysWithSound)
{
    const std::string sample = std::string(ORVEX_TEST_DATA_DIR) + "/../../samples/sample.mov";
    auto run = orvex({"play", sample, "-o", out("s.y4m"), "--audio", out("s.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string header;
    EXPECT_EQ(y4mFrames(readFile(out("s.y4m")), &header).size(), 45u);
    EXPECT_EQ(header.rfind("YUV4MPEG2 W320 H240 ", 0), 0u) << header;
    EXPECT_EQ(readFile(out("s.wav")).size(), 44u + 3u * 16000 * 4);
}

TEST_F(PlayTest, UserErrorsNameTheFileAndCause)
{
    const std::string good = movie("baseline_sowt.mov");
    fs::create_directories(dir / "in");
    std::ofstream(dir / "in" / "text.mov") << "not a movie at all";
    fs::create_directories(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string error; // a part of standard error
    } cases[] = {
        {{"play", out("in/missing.mov")}, 2, "cannot load " + out("in/missing.mov") + ": no such file"},
        {{"play", out("in/text.mov")}, 2, "cannot load " + out("in/text.mov") + ": "},
        {{"play", out("in")}, 2, "it is a folder"},
        {{"play", good, "-o", out("nofolder/a.y4m")}, 73, "cannot write " + out("nofolder/a.y4m")},
        {{"play", good, "-o", out("a.ppm")}, 73, ".ppm takes --format rgb24 or rgb32"},
        {{"play", good, "-o", out("a.mp4")}, 73, "must end in .y4m or .ppm"},
        {{"play", good, "--audio", out("a.aac")}, 73, "the movie's sound is PCM"},
        {{"play", movie("main_aac_faststart.mov"), "--audio", out("a.wav")}, 73, "the movie's sound is AAC"},
        {{"play", movie("video_only_faststart.mov"), "--audio", out("a.wav")}, 73, "has no sound"},
        {{"play", good, "--format", "nv12"}, 64, "--format takes"},
        {{"play", good, "--scale", "3"}, 64, "--scale takes"},
        {{"play", good, "--start", "2", "--stop", "1"}, 64, "--stop must come after --start"},
        {{"play", good, "--bogus"}, 64, "unknown option --bogus"},
        {{"snapshot", good, "soon", out("a.png")}, 64, "TIME takes"},
        {{"snapshot", good, "30", out("a.png")}, 1, "no picture at or after 30 s"},
        {{"register", out("in/none.ax")}, 2, "cannot load " + out("in/none.ax")},
        {{"register", out("in/text.mov")}, 2, "not a loadable module"},
    };
    for (const Case &c : cases) {
        auto run = orvex(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[1] << "\n" << run.err;
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    }
    if (geteuid() != 0) { // root writes anywhere
        auto run = orvex({"play", good, "-o", out("locked/a.y4m")});
        EXPECT_EQ(run.status, 73);
        EXPECT_NE(run.err.find("Permission denied"), std::string::npos) << run.err;
    }
    // Nothing half-written anywhere.
    EXPECT_EQ(filesIn(dir / "locked"), 0u);
    EXPECT_FALSE(fs::exists(out("a.png")));
    EXPECT_FALSE(fs::exists(out("a.y4m")));
    EXPECT_FALSE(fs::exists(out("a.wav")));
    EXPECT_FALSE(fs::exists(out("a.aac")));
}

TEST_F(PlayTest, ScaleGivesHalfAndQuarterPictures)
{
    struct Case {
        const char *scale, *format, *file, *header;
    } cases[] = {
        {"1", "yv12", "a.y4m", "YUV4MPEG2 W80 H60 F15:1 "},
        {"2", "rgb24", "a.ppm", "P6\n40 30\n"},
    };
    for (const Case &c : cases) {
        auto run = orvex({"play", movie("baseline_sowt.mov"), "--scale", c.scale, "--deblock", "2", "--format",
                          c.format, "-o", out(c.file)});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(readFile(out(c.file)).rfind(c.header, 0), 0u) << c.scale;
    }
}

TEST_F(PlayTest, UnservableVideoSaysWhyPerTrack)
{
    using namespace orvex::test;
    VideoInput video = videoFromStream(parseAnnexB(readFileBytes(movie("stream_176x144_15fps.h264"))), 176, 144);
    video.sps.assign(video.sps.size(), 0xff); // no parameter set the parser can read
    const std::string file = out("bad_sps.mov");
    writeFileBytes(file, writeMovie(video, nullptr, {MovieLayout::kCamera, false}).file);
    auto run = orvex({"play", file});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("orvex: cannot load " + file + ": "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\norvex:   track 1 (vide 'avc1'): refused: H.264 profile_idc 255"), std::string::npos)
        << run.err;
}

TEST_F(PlayTest, InterruptedPlayLeavesNothingBehind)
{
    const std::string program = orvexProgram(), sample = std::string(ORVEX_TEST_DATA_DIR) + "/../../samples/sample.mov",
                      video = out("r.y4m"), sound = out("r.wav");
    std::vector<const char *> argv = {program.c_str(), "play",    sample.c_str(), "--realtime", "--quiet", "-o",
                                      video.c_str(),   "--audio", sound.c_str(),  nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, const_cast<char **>(argv.data()), environ), 0);
    auto outputs = [this] {
        size_t n = 0;
        for (const auto &entry : fs::directory_iterator(dir))
            n += entry.path().filename().string().find("r.") != std::string::npos;
        return n;
    };
    // Both temporary files exist once the graph is about to run; the sample
    // plays for three seconds against the clock.
    for (int i = 0; i < 6000 && outputs() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(outputs(), 2u);
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(outputs(), 0u);
}

TEST_F(PlayTest, RegisterPutsTheFiltersInTheRegistryAndUnregisterTakesThemOut)
{
    auto reg = orvex({"register"});
    ASSERT_EQ(reg.status, 0) << reg.err;
    EXPECT_NE(reg.out.find("OrvexH264Filter.ax"), std::string::npos);
    auto filters = orvex({"filters"});
    EXPECT_NE(filters.out.find("Orvex H.264 Decode Filter"), std::string::npos) << filters.out;
    EXPECT_NE(filters.out.find("Orvex Mov File Parser Filter"), std::string::npos) << filters.out;
    auto play = orvex({"play", movie("baseline_sowt.mov")}); // through the registry now
    EXPECT_EQ(play.status, 0) << play.err;
    auto unreg = orvex({"unregister"});
    ASSERT_EQ(unreg.status, 0) << unreg.err;
    filters = orvex({"filters"});
    EXPECT_EQ(filters.out.find("Orvex H.264 Decode Filter"), std::string::npos) << filters.out;
}

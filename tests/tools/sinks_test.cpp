// The sinks of orvex play and snapshot on real files in a temp folder.
#include "aac_config.h"
#include "adts_writer.h"
#include "output_file.h"
#include "png_writer.h"
#include "video_sink.h"
#include "wav_writer.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;
using namespace orvex;

namespace {

class SinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("orvex_sinks_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const std::string &name) const { return (dir / name).string(); }
    std::string read(const std::string &name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    size_t entries() const { return size_t(std::distance(fs::directory_iterator(dir), {})); }
    fs::path dir;
};

// ES descriptor -> decoder config -> decoder specific info with asc.
std::vector<uint8_t> esds(std::vector<uint8_t> asc)
{
    // Byte by byte: GCC 12 at -O3 warns (-Warray-bounds) inside a range
    // insert into these small vectors.
    auto append = [](std::vector<uint8_t> &to, const std::vector<uint8_t> &from) {
        for (uint8_t b : from)
            to.push_back(b);
    };
    std::vector<uint8_t> dsi = {0x05, uint8_t(asc.size())};
    append(dsi, asc);
    std::vector<uint8_t> dcd = {0x04, uint8_t(13 + dsi.size()), 0x40, 0x15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    append(dcd, dsi);
    std::vector<uint8_t> es = {0x03, uint8_t(3 + dcd.size()), 0, 1, 0};
    append(es, dcd);
    return es;
}

} // namespace

TEST_F(SinkTest, OutputFileAppearsOnlyOnCommit)
{
    {
        OutputFile f(path("a.bin"));
        f.write("abc", 3);
        f.writeAt(1, "X", 1);
        EXPECT_EQ(entries(), 1u); // the temporary file
        EXPECT_FALSE(fs::exists(path("a.bin")));
        f.commit();
    }
    EXPECT_EQ(read("a.bin"), "aXc");
    {
        OutputFile f(path("b.bin"));
        f.write("abc", 3);
    }
    EXPECT_FALSE(fs::exists(path("b.bin")));
    EXPECT_EQ(entries(), 1u);
}

TEST_F(SinkTest, OutputFileNamesTheFileAndCause)
{
    try {
        OutputFile f(path("missing/a.y4m"));
        FAIL();
    } catch (const OutputError &e) {
        EXPECT_EQ(std::string(e.what()), "cannot write " + path("missing/a.y4m") + ": No such file or directory");
    }
    EXPECT_THROW(OutputFile(path("folder/")), OutputError);
    EXPECT_THROW(OutputFile(""), OutputError);
    OutputFile f(path("c.bin"));
    f.write("ab", 2);
    EXPECT_THROW(f.writeAt(1, "xy", 2), OutputError); // past the end written
}

TEST_F(SinkTest, Y4mTakesBothPlaneOrdersWithStrides)
{
    for (PixelFormat format : {PixelFormat::kYV12, PixelFormat::kIYUV}) {
        // 4x2 visible in a 6-wide, 4-high buffer.
        const PictureLayout l = pictureLayout(format, 4, 2, 6, 4);
        std::vector<uint8_t> buffer(l.bytes, 0xEE);
        for (uint32_t y = 0; y < 2; ++y)
            for (uint32_t x = 0; x < 4; ++x)
                buffer[l.offset[0] + y * l.stride[0] + x] = uint8_t(10 * y + x);
        for (uint32_t x = 0; x < 2; ++x) {
            buffer[l.offset[1] + x] = uint8_t(100 + x); // U
            buffer[l.offset[2] + x] = uint8_t(200 + x); // V
        }
        const std::string name = std::string(pixelFormatName(format)) + ".y4m";
        auto sink = makeVideoSink(path(name), format, 30000, 1001);
        sink->writePicture(l, buffer.data(), buffer.size());
        sink->writePicture(l, buffer.data(), buffer.size());
        sink->finish();
        const std::string frame("FRAME\n\x00\x01\x02\x03\x0a\x0b\x0c\x0d\x64\x65\xc8\xc9", 18);
        EXPECT_EQ(read(name), "YUV4MPEG2 W4 H2 F30000:1001 Ip A1:1 C420jpeg\n" + frame + frame) << name;
    }
    // the plane order of the buffer: YV12 keeps V first
    const PictureLayout yv12 = pictureLayout(PixelFormat::kYV12, 4, 2, 6, 4);
    EXPECT_LT(yv12.offset[2], yv12.offset[1]);
}

// Odd sizes: the chroma planes round up, repeating the last column and row
// of the part the buffer holds.
TEST_F(SinkTest, Y4mRoundsOddChromaUp)
{
    const PictureLayout l = pictureLayout(PixelFormat::kIYUV, 3, 3, 4, 4);
    std::vector<uint8_t> buffer(l.bytes, 0xEE);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            buffer[l.offset[0] + y * l.stride[0] + x] = uint8_t(10 * y + x);
    buffer[l.offset[1]] = 100;
    buffer[l.offset[2]] = 200;
    auto sink = makeVideoSink(path("odd.y4m"), PixelFormat::kIYUV, 25, 1);
    sink->writePicture(l, buffer.data(), buffer.size());
    sink->finish();
    const std::string frame("FRAME\n\x00\x01\x02\x0a\x0b\x0c\x14\x15\x16\x64\x64\x64\x64\xc8\xc8\xc8\xc8", 23);
    EXPECT_EQ(read("odd.y4m"), "YUV4MPEG2 W3 H3 F25:1 Ip A1:1 C420jpeg\n" + frame);
}

TEST_F(SinkTest, VideoSinkRefusals)
{
    EXPECT_THROW(makeVideoSink(path("a.ppm"), PixelFormat::kYV12, 25, 1), OutputError);
    EXPECT_THROW(makeVideoSink(path("a.y4m"), PixelFormat::kRGB24, 25, 1), OutputError);
    EXPECT_THROW(makeVideoSink(path("a.mp4"), PixelFormat::kYV12, 25, 1), OutputError);
    EXPECT_THROW(pictureLayout(PixelFormat::kYV12, 8, 8, 4, 8), std::invalid_argument);
    EXPECT_THROW(pictureLayout(PixelFormat::kRGB24, 0, 8, 4, 8), std::invalid_argument);

    auto sink = makeVideoSink(path("b.y4m"), PixelFormat::kYV12, 25, 1);
    const PictureLayout l = pictureLayout(PixelFormat::kYV12, 4, 2, 4, 2);
    std::vector<uint8_t> buffer(l.bytes);
    EXPECT_THROW(sink->writePicture(l, buffer.data(), buffer.size() - 1), OutputError);
    sink->writePicture(l, buffer.data(), buffer.size());
    const PictureLayout bigger = pictureLayout(PixelFormat::kYV12, 4, 4, 4, 4);
    std::vector<uint8_t> big(bigger.bytes);
    EXPECT_THROW(sink->writePicture(bigger, big.data(), big.size()), OutputError);
    sink.reset(); // not finished: nothing left behind
    EXPECT_EQ(entries(), 0u);
}

TEST_F(SinkTest, PpmFromTopDownBgrRows)
{
    struct Case {
        PixelFormat format;
        size_t pixel;
    };
    for (Case c : {Case{PixelFormat::kRGB24, 3}, Case{PixelFormat::kRGB32, 4}}) {
        const PictureLayout l = pictureLayout(c.format, 2, 2, 3, 2);
        const size_t stride = 12; // 3 pixels, rows padded to 4 bytes
        std::vector<uint8_t> buffer(l.bytes, 0x55);
        for (uint32_t y = 0; y < 2; ++y)
            for (uint32_t x = 0; x < 2; ++x) {
                uint8_t *p = buffer.data() + y * stride + x * c.pixel;
                p[0] = uint8_t(1 + 10 * y + x); // blue
                p[1] = uint8_t(100 + 10 * y + x);
                p[2] = uint8_t(200 + 10 * y + x); // red
            }
        auto sink = makeVideoSink(path("a.ppm"), c.format, 25, 1);
        sink->writePicture(l, buffer.data(), buffer.size());
        sink->writePicture(l, buffer.data(), buffer.size());
        sink->finish();
        const std::string image = "P6\n2 2\n255\n"
                                  "\xc8\x64\x01\xc9\x65\x02"
                                  "\xd2\x6e\x0b\xd3\x6f\x0c";
        EXPECT_EQ(read("a.ppm"), image + image);
    }
}

TEST_F(SinkTest, WavHeaderSizesAndPadding)
{
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 8000, 16000, 2, 8, 0};
    WavWriter wav(path("a.wav"), &format, sizeof(format));
    wav.writeSample(reinterpret_cast<const uint8_t *>("abc"), 3);
    wav.finish();
    const std::string file = read("a.wav");
    ASSERT_EQ(file.size(), 44u + 4u);
    auto u32 = [&file](size_t at) {
        return uint32_t(uint8_t(file[at])) | uint32_t(uint8_t(file[at + 1])) << 8 |
               uint32_t(uint8_t(file[at + 2])) << 16 | uint32_t(uint8_t(file[at + 3])) << 24;
    };
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(u32(4), 40u);
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(u32(16), 16u);
    EXPECT_EQ(u32(24), 8000u);
    EXPECT_EQ(file.substr(36, 4), "data");
    EXPECT_EQ(u32(40), 3u);
    EXPECT_EQ(file.substr(44), std::string("abc\0", 4));

    WAVEFORMATEX aac{0xFF, 2, 44100, 0, 1, 16, 0};
    EXPECT_THROW(WavWriter(path("b.wav"), &aac, sizeof(aac)), OutputError);
    EXPECT_THROW(WavWriter(path("b.wav"), nullptr, 0), OutputError);
    EXPECT_EQ(entries(), 1u);
}

TEST(AacConfig, ReadsTheAudioSpecificConfig)
{
    struct Case {
        std::vector<uint8_t> asc;
        unsigned type, frequency, channels;
    } cases[] = {
        {{0x12, 0x10}, 2, 4, 2},                    // LC, 44100, stereo
        {{0x11, 0x88}, 2, 3, 1},                    // LC, 48000, mono
        {{0x2b, 0x11, 0x88}, 2, 6, 2},              // explicit HE-AAC over an LC core at 24000
        {{0x17, 0x80, 0x0f, 0xa0, 0x10}, 2, 11, 2}, // LC, 8000 Hz given in 24 bits
    };
    for (const Case &c : cases) {
        const auto bytes = esds(c.asc);
        const AacConfig config = parseEsdsConfig(bytes.data(), bytes.size());
        EXPECT_EQ(config.objectType, c.type);
        EXPECT_EQ(config.frequencyIndex, c.frequency);
        EXPECT_EQ(config.channelConfig, c.channels);
    }
}

TEST(AacConfig, RefusesWhatAdtsCannotCarryAndTruncation)
{
    const auto pce = esds({0x12, 0x00});
    EXPECT_THROW(parseEsdsConfig(pce.data(), pce.size()), AacConfigError);
    const auto eld = esds({0xf8, 0xe6, 0x40}); // escaped type 39
    EXPECT_THROW(parseEsdsConfig(eld.data(), eld.size()), AacConfigError);
    const auto oddRate = esds({0x17, 0x80, 0x0f, 0xa1, 0x10}); // 8002 Hz has no index
    EXPECT_THROW(parseEsdsConfig(oddRate.data(), oddRate.size()), AacConfigError);
    const auto good = esds({0x12, 0x10});
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_THROW(parseEsdsConfig(good.data(), n), AacConfigError) << n;
    std::vector<uint8_t> notEs = good;
    notEs[0] = 0x04;
    EXPECT_THROW(parseEsdsConfig(notEs.data(), notEs.size()), AacConfigError);
}

TEST_F(SinkTest, AdtsFramesCarryTheConfiguration)
{
    const auto config = esds({0x12, 0x10});
    std::vector<uint8_t> block(12, 0);
    block[8] = uint8_t(config.size());
    block.insert(block.end(), config.begin(), config.end());
    AdtsWriter adts(path("a.aac"), block.data(), block.size());
    const uint8_t frame[3] = {1, 2, 3};
    adts.writeSample(frame, 3);
    adts.finish();
    EXPECT_EQ(read("a.aac"), std::string("\xff\xf1\x50\x80\x01\x5f\xfc\x01\x02\x03", 10));

    std::vector<uint8_t> lying = block;
    lying[8] = uint8_t(config.size() + 1);
    EXPECT_THROW(AdtsWriter(path("b.aac"), lying.data(), lying.size()), OutputError);
    EXPECT_THROW(AdtsWriter(path("b.aac"), block.data(), 11), OutputError);
    uint8_t header[7];
    EXPECT_THROW(adtsHeader(AacConfig{2, 4, 2}, 8192, header), AacConfigError);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(SinkTest, PngReadsBackAsTheRgbPicture)
{
    const PictureLayout l = pictureLayout(PixelFormat::kRGB32, 3, 2, 3, 2);
    std::vector<uint8_t> buffer(l.bytes);
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = uint8_t(i * 7);
    writePng(path("a.png"), l, buffer.data(), buffer.size());

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path("a.png").c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(image.width, 3u);
    EXPECT_EQ(image.height, 2u);
    for (size_t p = 0; p < 6; ++p)
        for (size_t c = 0; c < 3; ++c)
            EXPECT_EQ(pixels[p * 3 + c], buffer[p * 4 + 2 - c]) << p;

    const PictureLayout planar = pictureLayout(PixelFormat::kYV12, 2, 2, 2, 2);
    EXPECT_THROW(writePng(path("b.png"), planar, buffer.data(), buffer.size()), OutputError);
    EXPECT_THROW(writePng(path("no/b.png"), l, buffer.data(), buffer.size()), OutputError);
    EXPECT_EQ(entries(), 1u);
}

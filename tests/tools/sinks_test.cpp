// The sinks of orvex play and snapshot, on real files in a scratch folder.
#include "aac_config.h"
#include "adts_writer.h"
#include "output_file.h"
#include "png_writer.h"
#include "video_sink.h"
#include "wav_writer.h"

#include "support/scratch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

using namespace orvex;
using namespace std::string_literals;
using orvex::test::ReadFileText;

namespace {

class SinkTest : public ::testing::Test, protected orvex::test::ScratchFolder {
protected:
    std::string read(const std::string &name) const { return ReadFileText(path(name)); }
    size_t entries() const { return size_t(std::distance(std::filesystem::directory_iterator(folder()), {})); }
};

// ES descriptor -> decoder config -> decoder specific info with asc.
std::vector<uint8_t> esds(const std::vector<uint8_t> &asc)
{
    std::vector<uint8_t> es(22 + asc.size(), 0); // buffer size and bit rates stay 0
    const uint8_t head[] = {0x03, uint8_t(20 + asc.size()), 0, 1, 0, 0x04, uint8_t(15 + asc.size()), 0x40, 0x15};
    std::copy(std::begin(head), std::end(head), es.begin());
    es[20] = 0x05;
    es[21] = uint8_t(asc.size());
    std::copy(asc.begin(), asc.end(), es.begin() + 22);
    return es;
}

// Planes at their offsets and strides; odd sizes round the chroma up.
TEST_F(SinkTest, Y4mTakesBothPlaneOrdersWithStrides)
{
    struct Case {
        PixelFormat format;
        uint32_t width, height, bufferWidth, bufferHeight;
        std::string expected;
    } cases[] = {
        {PixelFormat::kYV12, 4, 2, 6, 4,
         "YUV4MPEG2 W4 H2 F25:1 Ip A1:1 C420jpeg\nFRAME\n\x00\x01\x02\x03\x0a\x0b\x0c\x0d\x64\x65\xc8\xc9"s},
        {PixelFormat::kIYUV, 4, 2, 6, 4,
         "YUV4MPEG2 W4 H2 F25:1 Ip A1:1 C420jpeg\nFRAME\n\x00\x01\x02\x03\x0a\x0b\x0c\x0d\x64\x65\xc8\xc9"s},
        {PixelFormat::kIYUV, 3, 3, 4, 4,
         "YUV4MPEG2 W3 H3 F25:1 Ip A1:1 C420jpeg\nFRAME\n\x00\x01\x02\x0a\x0b\x0c\x14\x15\x16\x64\x64\x64\x64\xc8\xc8\xc8\xc8"s},
    };
    for (const Case &c : cases) {
        const PictureLayout l = pictureLayout(c.format, c.width, c.height, c.bufferWidth, c.bufferHeight);
        std::vector<uint8_t> buffer(l.bytes, 0xEE);
        for (uint32_t y = 0; y < c.height; ++y)
            for (uint32_t x = 0; x < c.width; ++x)
                buffer[l.offset[0] + y * l.stride[0] + x] = uint8_t(10 * y + x);
        for (uint32_t x = 0; x < c.width / 2; ++x) {
            buffer[l.offset[1] + x] = uint8_t(100 + x); // U
            buffer[l.offset[2] + x] = uint8_t(200 + x); // V
        }
        auto sink = makeVideoSink(path("a.y4m"), c.format, 25, 1);
        sink->writePicture(l, buffer.data(), buffer.size());
        sink->finish();
        EXPECT_EQ(read("a.y4m"), c.expected) << pixelFormatName(c.format) << " " << c.width;
    }
    EXPECT_LT(pictureLayout(PixelFormat::kYV12, 4, 2, 6, 4).offset[2],
              pictureLayout(PixelFormat::kYV12, 4, 2, 6, 4).offset[1]); // YV12 keeps V first
}

TEST_F(SinkTest, VideoSinkRefusals)
{
    EXPECT_THROW(makeVideoSink(path("a.y4m"), PixelFormat::kRGB24, 25, 1), OutputError);
    EXPECT_THROW(pictureLayout(PixelFormat::kYV12, 8, 8, 4, 8), std::invalid_argument);
    EXPECT_THROW(pictureLayout(PixelFormat::kRGB24, 0, 8, 4, 8), std::invalid_argument);
    auto sink = makeVideoSink(path("b.y4m"), PixelFormat::kYV12, 25, 1);
    const PictureLayout l = pictureLayout(PixelFormat::kYV12, 4, 2, 4, 2);
    std::vector<uint8_t> buffer(l.bytes);
    EXPECT_THROW(sink->writePicture(l, buffer.data(), l.bytes - 1), OutputError); // never read past the sample

    sink.reset(); // not finished: nothing left behind
    EXPECT_EQ(entries(), 0u);
}

// Bottom-up BGR rows padded to four bytes become top-down RGB (PNG rows as well:
// the snapshot test reads one back).
TEST_F(SinkTest, PpmFromBgrRows)
{
    for (PixelFormat format : {PixelFormat::kRGB24, PixelFormat::kRGB32}) {
        const size_t pixel = format == PixelFormat::kRGB24 ? 3 : 4;
        const PictureLayout l = pictureLayout(format, 2, 2, 3, 2);
        std::vector<uint8_t> buffer(l.bytes, 0x55);
        for (uint32_t y = 0; y < 2; ++y)
            for (uint32_t x = 0; x < 2; ++x)
                for (uint32_t c = 0; c < 3; ++c) // rows of 3 pixels padded to 12 bytes
                    buffer[y * 12 + x * pixel + c] = uint8_t(1 + 100 * c + 10 * y + x);
        auto sink = makeVideoSink(path("a.ppm"), format, 25, 1);
        sink->writePicture(l, buffer.data(), buffer.size());
        sink->finish();
        EXPECT_EQ(read("a.ppm"), "P6\n2 2\n255\n\xc9\x65\x01\xca\x66\x02\xd3\x6f\x0b\xd4\x70\x0c");
    }
    const PictureLayout planar = pictureLayout(PixelFormat::kYV12, 2, 2, 2, 2);
    std::vector<uint8_t> buffer(planar.bytes);
    EXPECT_THROW(writePng(path("b.png"), planar, buffer.data(), buffer.size()), OutputError);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(SinkTest, WavHeaderSizesAndPadding)
{
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 8000, 16000, 2, 8, 0};
    WavWriter wav(path("a.wav"), &format, sizeof(format));
    wav.writeSample(reinterpret_cast<const uint8_t *>("abc"), 3);
    wav.finish();
    EXPECT_EQ(read("a.wav"),
              "RIFF\x28\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x40\x1f\0\0\x80\x3e\0\0\x02\0\x08\0data\x03\0\0\0abc\0"s);
    EXPECT_THROW(WavWriter(path("b.wav"), nullptr, 0), OutputError);
}

// "type/frequency index/channels" of each configuration, or "refused".
TEST(AacConfig, ReadsWhatAdtsCanCarry)
{
    const std::vector<std::pair<std::vector<uint8_t>, std::string>> cases = {
        {{0x12, 0x10}, "2/4/2"},                     // LC, 44100, stereo
        {{0x11, 0x88}, "2/3/1"},                     // LC, 48000, mono
        {{0x2b, 0x11, 0x88}, "2/6/2"},               // explicit HE-AAC over an LC core at 24000
        {{0x17, 0x80, 0x0f, 0xa0, 0x10}, "2/11/2"},  // 8000 Hz given in 24 bits
        {{0x12, 0x00}, "refused"},                   // channels in a program config element
        {{0xf8, 0xe6, 0x40}, "refused"},             // escaped type 39
        {{0x17, 0x80, 0x0f, 0xa1, 0x10}, "refused"}, // 8002 Hz has no index
    };
    for (const auto &[asc, expected] : cases) {
        const auto bytes = esds(asc);
        std::string got;
        try {
            const AacConfig c = parseEsdsConfig(bytes.data(), bytes.size());
            got = std::to_string(c.objectType) + "/" + std::to_string(c.frequencyIndex) + "/" +
                  std::to_string(c.channelConfig);
        } catch (const AacConfigError &) {
            got = "refused";
        }
        EXPECT_EQ(got, expected);
    }
    auto good = esds({0x12, 0x10});
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_THROW(parseEsdsConfig(good.data(), n), AacConfigError) << n;
    good[0] = 0x04; // not an ES descriptor
    EXPECT_THROW(parseEsdsConfig(good.data(), good.size()), AacConfigError);
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
    EXPECT_EQ(read("a.aac"), "\xff\xf1\x50\x80\x01\x5f\xfc\x01\x02\x03"s);
    std::vector<uint8_t> lying = block;
    lying[8] = uint8_t(config.size() + 1);
    EXPECT_THROW(AdtsWriter(path("b.aac"), lying.data(), lying.size()), OutputError);
    EXPECT_THROW(AdtsWriter(path("b.aac"), block.data(), 11), OutputError);
    uint8_t header[7];
    EXPECT_THROW(adtsHeader(AacConfig{2, 4, 2}, 8192, header), AacConfigError);
    EXPECT_EQ(entries(), 1u);
}

} // namespace

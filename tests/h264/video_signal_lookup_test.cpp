// GetVideoSignalInfo: the SPS's VUI first, the image description's 'colr' and
// 'gama' extensions where the VUI says nothing, the defaults otherwise.
#include "MyH264/MyH264SPS.h"
#include "MyH264/MyVideoSignalInfo.h"
#include "MyQuickTimeAPIs/MyQTHandle.h"
#include "MyQuickTimeAPIs/MyQTMedia.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"
#include "MyQuickTimeAPIs/MySampleDescription.h"
#include "h264_builders.h"
#include "media_builder.h"

#include <gtest/gtest.h>

#include <memory>

using namespace orvex::test;

namespace {

std::vector<uint8_t> colr(uint16_t primaries, uint16_t transfer, uint16_t matrix)
{
    std::vector<uint8_t> body = {'n', 'c', 'l', 'c'};
    appendU16(body, primaries);
    appendU16(body, transfer);
    appendU16(body, matrix);
    return makeAtom("colr", body);
}

std::vector<uint8_t> gama(uint32_t gamma)
{
    std::vector<uint8_t> body;
    appendU32(body, gamma);
    return makeAtom("gama", body);
}

// An image description as the reading layer copies it out of a movie.
std::unique_ptr<CMyImageDescription> description(const std::vector<uint8_t> &extensions)
{
    MediaFields f;
    f.descriptions.push_back(makeImageDescription("avc1", extensions));
    const auto mdia = makeMediaAtom(f);
    CMyQTMedia media(mdia.data(), nullptr);
    CMyQTHandlePtr handle(NewHandle(0));
    GetMediaSampleDescription(&media, 1, handle.get());
    return std::make_unique<CMyImageDescription>(handle->GetData(), GetHandleSize(handle.get()));
}

std::unique_ptr<CMyH264SPS> sps(const std::optional<VuiFields> &vui)
{
    SpsFields f;
    f.vui = vui;
    const auto nal = buildSps(f);
    return std::make_unique<CMyH264SPS>(static_cast<WORD>(nal.size()), nal.data());
}

VuiFields signal(bool colourDescription)
{
    VuiFields v;
    v.video_signal_type_present_flag = true;
    v.video_format = 1;
    v.video_full_range_flag = true;
    v.colour_description_present_flag = colourDescription;
    v.colour_primaries = 9;
    v.transfer_characteristics = 16;
    v.matrix_coefficients = 10;
    return v;
}

std::vector<LONG> values(const CMyVideoSignalInfo &i)
{
    return {i.m_video_format, i.m_video_full_range_flag, i.m_colour_primaries, i.m_transfer_characteristics,
            i.m_matrix_coefficients};
}

std::vector<uint8_t> colrAndGama22()
{
    auto ext = colr(5, 6, 5);
    const auto g = gama(0x00023333);
    ext.insert(ext.end(), g.begin(), g.end());
    return ext;
}

TEST(VideoSignalLookup, NeitherGivesTheDefaults)
{
    EXPECT_EQ(values(GetVideoSignalInfo(nullptr, nullptr)), (std::vector<LONG>{5, 0, 2, 2, 2}));
}

TEST(VideoSignalLookup, AFullVuiDescriptionWinsOverTheExtensions)
{
    const auto s = sps(signal(true));
    const auto d = description(colrAndGama22());
    EXPECT_EQ(values(GetVideoSignalInfo(s.get(), d.get())), (std::vector<LONG>{1, 1, 9, 16, 10}));
}

TEST(VideoSignalLookup, WithoutColourDescriptionTheColoursComeFromTheExtensions)
{
    const auto s = sps(signal(false));
    const auto d = description(colrAndGama22());
    // Format and range from the VUI, colours from 'colr', transfer from 'gama'.
    EXPECT_EQ(values(GetVideoSignalInfo(s.get(), d.get())), (std::vector<LONG>{1, 1, 5, 4, 5}));
}

TEST(VideoSignalLookup, AnSpsWithoutVuiUsesColrAndGama)
{
    const auto s = sps(std::nullopt);
    EXPECT_EQ(values(GetVideoSignalInfo(s.get(), description(colrAndGama22()).get())),
              (std::vector<LONG>{5, 0, 5, 4, 5}));
    EXPECT_EQ(values(GetVideoSignalInfo(s.get(), description(colr(1, 1, 1)).get())),
              (std::vector<LONG>{5, 0, 1, 1, 1}));
    EXPECT_EQ(values(GetVideoSignalInfo(s.get(), description({}).get())), (std::vector<LONG>{5, 0, 2, 2, 2}));
}

TEST(VideoSignalLookup, AVuiWithoutSignalTypeUsesTheExtensions)
{
    const auto s = sps(VuiFields{});
    EXPECT_EQ(values(GetVideoSignalInfo(s.get(), description(colr(6, 6, 6)).get())),
              (std::vector<LONG>{5, 0, 6, 6, 6}));
}

TEST(VideoSignalLookup, GammaOtherThan22KeepsColrTransfer)
{
    auto ext = colr(5, 6, 5);
    const auto g = gama(0x0002CCCD); // 2.8
    ext.insert(ext.end(), g.begin(), g.end());
    EXPECT_EQ(values(GetVideoSignalInfo(nullptr, description(ext).get())), (std::vector<LONG>{5, 0, 5, 6, 5}));
}

TEST(VideoSignalLookup, Gamma22AloneSetsOnlyTheTransfer)
{
    EXPECT_EQ(values(GetVideoSignalInfo(nullptr, description(gama(0x00023333)).get())),
              (std::vector<LONG>{5, 0, 2, 4, 2}));
}

TEST(VideoSignalLookup, ATruncatedColrAtTheEndOfTheDescriptionIsIgnored)
{
    // A 'colr' of 16 bytes: its matrix value would lie past the description.
    const auto d = description(makeAtom("colr", {'n', 'c', 'l', 'c', 0, 9, 0, 9}));
    EXPECT_EQ(values(GetVideoSignalInfo(nullptr, d.get())), (std::vector<LONG>{5, 0, 2, 2, 2}));
}

} // namespace

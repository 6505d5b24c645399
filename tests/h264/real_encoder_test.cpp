// Parameter sets from real x264 encodes (tests/data/make_parameter_sets.sh),
// read through the movie model as the parser reads them, checked against
// what ffprobe reports for the same files.
#include "MyH264/MyAVCSampleEntry.h"
#include "MyH264/MyH264Refusals.h"
#include "MyH264/MyVideoSignalInfo.h"
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTMovie.h"
#include "MyQuickTimeAPIs/MyQTMovieLoader.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"
#include "MyQuickTimeAPIs/MySampleDescription.h"
#include "support/refusal.h"
#include "support/debug_capture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

using namespace orvex::test;

namespace {

const std::string kDir = std::string(ORVEX_TEST_DATA_DIR) + "/parameter_sets/";

std::map<std::string, std::string> readProbe(const std::string &name)
{
    std::ifstream in(kDir + name + ".ffprobe");
    std::map<std::string, std::string> out;
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return out;
}

// ffprobe's names of the H.264 colour code points; "unknown" is the
// unspecified value 2.
LONG primariesCode(const std::string &name)
{
    static const std::map<std::string, LONG> codes = {{"bt709", 1},     {"unknown", 2},   {"bt470m", 4}, {"bt470bg", 5},
                                                      {"smpte170m", 6}, {"smpte240m", 7}, {"film", 8},   {"bt2020", 9}};
    return codes.at(name);
}

LONG transferCode(const std::string &name)
{
    static const std::map<std::string, LONG> codes = {
        {"bt709", 1},     {"unknown", 2}, {"bt470m", 4},     {"bt470bg", 5},    {"smpte170m", 6},
        {"smpte240m", 7}, {"linear", 8},  {"bt2020-10", 14}, {"bt2020-12", 15}, {"smpte2084", 16}};
    return codes.at(name);
}

LONG matrixCode(const std::string &name)
{
    static const std::map<std::string, LONG> codes = {{"gbr", 0},       {"bt709", 1},   {"unknown", 2},
                                                      {"fcc", 4},       {"bt470bg", 5}, {"smpte170m", 6},
                                                      {"smpte240m", 7}, {"ycgco", 8},   {"bt2020nc", 9}};
    return codes.at(name);
}

// The first track's media of a real movie, with its image description.
struct RealMovie {
    explicit RealMovie(const std::string &name)
    {
        const std::string path = kDir + name + ".mov";
        movie = LoadMovieAtom(std::wstring(path.begin(), path.end()).c_str());
        media = GetTrackMedia(GetMovieIndTrack(movie.get(), 1));
        CMyQTHandlePtr handle(NewHandle(0));
        GetMediaSampleDescription(media, 1, handle.get());
        description = std::make_unique<CMyImageDescription>(handle->GetData(), GetHandleSize(handle.get()));
    }

    // Parses the 'avcC' extension on its own, for the refusal text.
    std::string recordRefusal() const
    {
        const BYTE *avcC = description->FindExtension(MyQTFourCC("avcC"));
        if (!avcC) return "no avcC";
        const DWORD available = DWORD(description->GetData() + description->GetSize() - avcC);
        return refusalOf([&] { CMyAVCConfiguration record(avcC, available); });
    }

    std::unique_ptr<CMyQTMovie> movie;
    CMyQTMedia *media = nullptr;
    std::unique_ptr<CMyImageDescription> description;
};

class ServedEncodes : public ::testing::TestWithParam<const char *> {};

TEST_P(ServedEncodes, AgreeWithFfprobe)
{
    const auto probe = readProbe(GetParam());
    ASSERT_FALSE(probe.empty()) << "run tests/data/make_parameter_sets.sh";
    RealMovie m(GetParam());
    ASSERT_TRUE(CheckAVCSampleEntry(m.media));
    const auto record = CreateAVCConfiguration(m.media);
    ASSERT_NE(record, nullptr);
    const CMyH264SPS &sps = record->GetSPS();

    const std::string profile = probe.at("profile");
    EXPECT_EQ(sps.m_profile_idc, profile == "Main" ? 77 : 66) << profile;
    EXPECT_EQ(record->m_AVCProfileIndication, sps.m_profile_idc);
    EXPECT_EQ(std::to_string(sps.m_level_idc), probe.at("level"));
    EXPECT_EQ(record->m_lengthSizeMinusOne, 3);

    DWORD width = 0, height = 0;
    BOOL cropping = FALSE;
    RECT rect{};
    sps.GetPictureRect(&width, &height, &cropping, &rect);
    const LONG displayWidth = std::stol(probe.at("width"));
    const LONG displayHeight = std::stol(probe.at("height"));
    EXPECT_EQ(rect.right - rect.left, displayWidth);
    EXPECT_EQ(rect.bottom - rect.top, displayHeight);
    EXPECT_EQ(width, DWORD((displayWidth + 15) / 16 * 16));
    EXPECT_EQ(height, DWORD((displayHeight + 15) / 16 * 16));
    EXPECT_EQ(bool(cropping), width != DWORD(displayWidth) || height != DWORD(displayHeight));

    const CMyVideoSignalInfo info = GetVideoSignalInfo(&sps, m.description.get());
    EXPECT_EQ(info.m_video_full_range_flag, probe.at("color_range") == "pc" ? 1 : 0);
    EXPECT_EQ(info.m_colour_primaries, primariesCode(probe.at("color_primaries")));
    EXPECT_EQ(info.m_transfer_characteristics, transferCode(probe.at("color_transfer")));
    EXPECT_EQ(info.m_matrix_coefficients, matrixCode(probe.at("color_space")));
    EXPECT_EQ(info.m_video_format, 5); // x264 writes "undefined"
}

INSTANTIATE_TEST_SUITE_P(X264, ServedEncodes,
                         ::testing::Values("baseline_176x144_l12", "baseline_1920x1080_l40", "baseline_100x60_l11",
                                           "main_1280x720_l31_bt709", "main_322x242_l21_fullrange",
                                           "main_640x360_l30_bt2020", "baseline_176x144_colr_gama22",
                                           "baseline_176x144_colr_gama28"));

TEST(RealEncodes, A1080LinePictureIsCodedAs1088AndCroppedByFourOffsets)
{
    RealMovie m("baseline_1920x1080_l40");
    const auto record = CreateAVCConfiguration(m.media);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->GetSPS().m_pic_height_in_map_units_minus1, 67u);
    EXPECT_EQ(record->GetSPS().m_frame_crop_bottom_offset, 4u);
}

TEST(RealEncodes, ColourFromTheDescriptionWhenTheVuiHasNone)
{
    RealMovie m("baseline_176x144_colr_gama22");
    const auto record = CreateAVCConfiguration(m.media);
    ASSERT_NE(record, nullptr);
    const CMyH264VUI *vui = record->GetSPS().GetVUI();
    EXPECT_TRUE(!vui || !vui->m_video_signal_type_present_flag);
    const CMyVideoSignalInfo info = GetVideoSignalInfo(&record->GetSPS(), m.description.get());
    EXPECT_EQ(info.m_colour_primaries, 5);
    EXPECT_EQ(info.m_transfer_characteristics, 4); // gamma 2.2 overrides 'colr'
    EXPECT_EQ(info.m_matrix_coefficients, 5);
}

TEST(RealEncodes, EmulationPreventionBytesStayInTheStoredCopy)
{
    // x264's SPS for this size carries 00 00 03 sequences in its VUI.
    RealMovie m("baseline_176x144_colr_gama22");
    const auto record = CreateAVCConfiguration(m.media);
    ASSERT_NE(record, nullptr);
    const CMyH264SPS &sps = record->GetSPS();
    int inserted = 0;
    for (WORD i = 2; i < sps.m_size; ++i)
        if (sps.m_pData[i] == 3 && sps.m_pData[i - 1] == 0 && sps.m_pData[i - 2] == 0) ++inserted;
    EXPECT_GE(inserted, 1);
    ASSERT_NE(sps.GetVUI(), nullptr);
    EXPECT_EQ(sps.GetVUI()->m_timing_info_present_flag, 1);
    EXPECT_EQ(sps.GetVUI()->m_time_scale, 50u);
    EXPECT_EQ(sps.GetVUI()->m_num_units_in_tick, 1u);
}

struct RefusedEncode {
    const char *name;
    const char *refusal;
    const char *trace;
};

class RefusedEncodes : public ::testing::TestWithParam<RefusedEncode> {};

TEST_P(RefusedEncodes, AreNotServed)
{
    RealMovie m(GetParam().name);
    DebugCapture capture;
    EXPECT_FALSE(CheckAVCSampleEntry(m.media));
    EXPECT_EQ(capture.messages(), std::vector<std::string>{GetParam().trace});
    EXPECT_EQ(m.recordRefusal(), GetParam().refusal);
}

INSTANTIATE_TEST_SUITE_P(X264, RefusedEncodes,
                         ::testing::Values(RefusedEncode{"main_cabac_320x240", MyH264Refusal::kCabac,
                                                         "m_entropy_coding_mode_flag is CABAC. \n"},
                                           RefusedEncode{"high_320x240", MyH264Refusal::kProfile,
                                                         "m_profile_idc is 100. \n"},
                                           RefusedEncode{"main_interlaced_320x240", MyH264Refusal::kFrameMbsOnly,
                                                         "m_frame_mbs_only_flag is false. \n"}));

} // namespace

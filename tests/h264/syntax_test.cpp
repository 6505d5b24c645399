// The H.264 syntax readers: the bit reader, emulation-prevention removal, the
// SPS with its VUI and the PPS. Each row builds its unit with the syntax
// writer and finds its text in a one-line field summary, or the refusal text
// and trace lines.
#include "MyH264/MyBitReader.h"
#include "MyH264/MyH264PPS.h"
#include "MyH264/MyH264Refusals.h"
#include "MyH264/MyH264SPS.h"
#include "MyH264/MyRbsp.h"
#include "support/debug_capture.h"
#include "support/h264_writer.h"
#include "support/refusal.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

using namespace orvex::test;
using Bytes = std::vector<uint8_t>;

namespace {

// Runs the reader over bytes: "uN" reads N bits, "ue", "se", "left" the bits
// left; the results joined by blanks, a refused read as "short", "long"
// (Exp-Golomb code) or "count" (bit count), after which reading goes on.
std::string readOps(const BYTE *data, DWORD size, const std::string &ops)
{
    CMyBitReader reader(data, size);
    std::ostringstream out;
    std::istringstream in(ops);
    for (std::string op; in >> op; out << ' ') {
        try {
            if (op == "ue")
                out << reader.ReadUE();
            else if (op == "se")
                out << reader.ReadSE();
            else if (op == "left")
                out << reader.BitsLeft();
            else
                out << reader.ReadBits(static_cast<DWORD>(std::stoul(op.substr(1))));
        } catch (const char *text) {
            out << (text == MyH264Refusal::kOutOfData          ? "short"
                    : text == MyH264Refusal::kExpGolombTooLong ? "long"
                    : text == MyH264Refusal::kBitCount         ? "count"
                                                               : text);
        }
    }
    return out.str();
}

std::string readOps(const Bytes &bytes, const std::string &ops)
{
    return readOps(bytes.data(), static_cast<DWORD>(bytes.size()), ops);
}

TEST(BitReader, ReadsFieldsAndRefusesWhatRunsPastItsBytes)
{
    const struct {
        Bytes bytes;
        const char *ops;
        const char *expected;
    } rows[] = {
        {{0xA5, 0x3C, 0xFF, 0x01}, "u1 u1 u3 u7 left u20 left", "1 0 4 83 20 851713 0 "},
        {{0x7F, 0xFF, 0xFF, 0xFF, 0x80}, "u1 u32 u7", "0 4294967295 0 "},
        {{0b10100110, 0b01000010, 0b10000000}, "ue ue ue ue ue", "0 1 2 3 4 "},
        {BitWriter().ue(1).ue(2).ue(3).ue(4).bytes(), "se se se se", "1 -1 2 -2 "},
        {BitWriter().zeros(31).bits(1, 1).bits(0x7FFFFFFF, 31).bytes(), "ue", "4294967294 "},
        {BitWriter().zeros(32).bits(1, 1).bits(0, 32).bytes(), "ue", "long "},
        {BitWriter().ue(0x7FFFFFFF).se(-2147483647).se(127).bytes(), "ue se se", "2147483647 -2147483647 127 "},
        {Bytes(8), "u33 left", "count 64 "},
        // A field longer than what is left is refused without consuming it.
        {{0xAB, 0xCD}, "u4 u13 left u12", "10 short 12 3021 "},
    };
    for (const auto &row : rows)
        EXPECT_EQ(readOps(row.bytes, row.ops), row.expected) << row.ops;
    const BYTE two[] = {0xFF, 0xEE};
    EXPECT_EQ(readOps(two, 1, "u8 u1"), "255 short ") << "the second byte is not the reader's";
    EXPECT_EQ(readOps(nullptr, 100, "left u1"), "0 short ");
}

TEST(Rbsp, RemovesOnlyTheInsertedBytes)
{
    const struct {
        Bytes escaped, rbsp;
    } rows[] = {
        {{0x11, 0x00, 0x00, 0x03, 0x01, 0x22}, {0x11, 0x00, 0x00, 0x01, 0x22}},
        {{0x00, 0x00, 0x03, 0x00, 0x00, 0x03, 0x02}, {0x00, 0x00, 0x00, 0x00, 0x02}},
        {{0x00, 0x03, 0x00}, {0x00, 0x03, 0x00}},       // behind one zero it stays
        {{0x00, 0x00, 0x03, 0x03}, {0x00, 0x00, 0x03}}, // counting restarts behind it
        {{0x80, 0x00, 0x00, 0x03}, {0x80, 0x00, 0x00}},
        {{}, {}},
    };
    for (const auto &row : rows) {
        Bytes out(row.escaped.size());
        out.resize(MyRemoveEmulationPrevention(row.escaped.data(), static_cast<DWORD>(row.escaped.size()), out.data()));
        EXPECT_EQ(out, row.rbsp);
    }
}

// The refusal text and trace lines of a parse, or "" with no trace.
template <class Parse> std::string outcome(Parse parse)
{
    DebugCapture capture;
    std::string text = refusalOf(parse);
    for (const std::string &line : capture.messages())
        text += " | " + line;
    return text;
}

// The fields of an accepted PPS, or of an SPS with its picture rectangle and
// its VUI ("copy differs" when the unit is not kept as given), or the refusal.
std::string summary(const Bytes &nal)
{
    if (!nal.empty() && (nal[0] & 0x1F) == 8) {
        std::unique_ptr<CMyH264PPS> pps;
        std::string refused = outcome([&] { pps = std::make_unique<CMyH264PPS>(WORD(nal.size()), nal.data()); });
        if (!pps) return refused;
        std::ostringstream s;
        s << "pps" << pps->m_pic_parameter_set_id << " sps" << pps->m_seq_parameter_set_id << " cabac"
          << int(pps->m_entropy_coding_mode_flag) << " poc" << int(pps->m_pic_order_present_flag) << " groups"
          << pps->m_num_slice_groups_minus1;
        if (Bytes(pps->m_pData.get(), pps->m_pData.get() + pps->m_size) != nal) s << " | copy differs";
        return s.str();
    }
    std::unique_ptr<CMyH264SPS> sps;
    std::string refused = outcome([&] { sps = std::make_unique<CMyH264SPS>(WORD(nal.size()), nal.data()); });
    if (!sps) return refused;
    DWORD width = 0, height = 0;
    BOOL cropping = FALSE;
    RECT r{};
    sps->GetPictureRect(&width, &height, &cropping, &r);
    std::ostringstream s;
    s << "p" << int(sps->m_profile_idc) << " id" << sps->m_seq_parameter_set_id << " fn"
      << sps->m_log2_max_frame_num_minus4 << " poc" << sps->m_pic_order_cnt_type << " ref" << sps->m_num_ref_frames
      << " mbs" << sps->m_pic_width_in_mbs_minus1 << 'x' << sps->m_pic_height_in_map_units_minus1 << " crop"
      << int(sps->m_frame_cropping_flag) << ' ' << sps->m_frame_crop_left_offset << ','
      << sps->m_frame_crop_right_offset << ',' << sps->m_frame_crop_top_offset << ',' << sps->m_frame_crop_bottom_offset
      << " | " << width << 'x' << height << ' ' << cropping << " [" << r.left << ' ' << r.right << ' ' << r.top << ' '
      << r.bottom << "] | vui";
    if (const CMyH264VUI *v = sps->GetVUI())
        s << " ar" << int(v->m_aspect_ratio_info_present_flag) << '/' << int(v->m_aspect_ratio_idc) << ' '
          << v->m_sar_width << ':' << v->m_sar_height << " sig" << int(v->m_video_signal_type_present_flag) << ' '
          << int(v->m_video_format) << '/' << int(v->m_video_full_range_flag) << '/'
          << int(v->m_colour_description_present_flag) << ' ' << int(v->m_colour_primaries) << ','
          << int(v->m_transfer_characteristics) << ',' << int(v->m_matrix_coefficients) << " loc"
          << int(v->m_chroma_loc_info_present_flag) << ' ' << v->m_chroma_sample_loc_type_top_field << '/'
          << v->m_chroma_sample_loc_type_bottom_field << " tim" << int(v->m_timing_info_present_flag) << ' '
          << v->m_num_units_in_tick << '/' << v->m_time_scale;
    else
        s << " -";
    if (Bytes(sps->m_pData.get(), sps->m_pData.get() + sps->m_size) != nal) s << " | copy differs";
    return s.str();
}

TEST(ParameterSets, FieldsPictureRectVuiAndRefusals)
{
    // A row's text is found in the summary; "$" marks its end.
    BitWriter longCycle; // pic_order_cnt_type 1 with a cycle longer than the set
    longCycle.bits(0x42C01E, 24).ue(0).ue(0).ue(1).flag(false).se(0).se(0).ue(0x7FFFFFFF).se(1).trailingBits();
    const VuiFields sar{
        .aspect_ratio_info_present_flag = true, .aspect_ratio_idc = 255, .sar_width = 0x8001, .sar_height = 0x00FF};
    const VuiFields signal{.video_signal_type_present_flag = true,
                           .video_format = 3,
                           .video_full_range_flag = true,
                           .colour_description_present_flag = true,
                           .colour_primaries = 9,
                           .transfer_characteristics = 14,
                           .matrix_coefficients = 255,
                           .chroma_loc_info_present_flag = true,
                           .chroma_sample_loc_type_top_field = 2,
                           .chroma_sample_loc_type_bottom_field = 5};
    // 00 00 00 01 and 00 00 03 00 carry emulation-prevention bytes.
    const VuiFields timing{.timing_info_present_flag = true, .time_scale = 0x300, .fixed_frame_rate_flag = true};
    // Only the fields the PPS parser reads, to a whole byte.
    const Bytes bare = makeNalUnit(0x68, BitWriter().ue(100).ue(20).flag(false).flag(false).ue(7).bytes());
    const struct {
        std::string summary;
        const char *expected;
    } rows[] = {
        {summary(buildSps({})), "p66 id0 fn0 poc2 ref1 mbs10x8 crop0 0,0,0,0 | 176x144 0 [0 176 0 144] | vui -$"},
        {summary({0x67, 100}), "m_profile_idc is neither Baseline nor Main profile | m_profile_idc is 100. \n$"},
        {summary(buildSps({.seq_parameter_set_id = 32})), "31 < seq_parameter_set_id$"},
        {summary(buildSps({.log2_max_frame_num_minus4 = 13})), "12 < m_log2_max_frame_num_minus4$"},
        // Type 1 consumes the whole cycle.
        {summary(buildSps({.pic_order_cnt_type = 1, .offset_for_ref_frame = {2, -7, 1000}, .num_ref_frames = 2})),
         " poc1 ref2 mbs10x8 "},
        {summary(makeNalUnit(0x67, longCycle.bytes())), "H.264 syntax ends before its fields$"},
        // Interlaced is read whole, then refused.
        {summary(buildSps({.frame_mbs_only_flag = false, .mb_adaptive_frame_field_flag = true, .vui = sar})),
         "!m_frame_mbs_only_flag | m_frame_mbs_only_flag is false. \n$"},
        {summary(buildSps({.pic_width_in_mbs_minus1 = 119,
                           .pic_height_in_map_units_minus1 = 67,
                           .frame_cropping_flag = true,
                           .frame_crop_bottom_offset = 4})),
         "crop1 0,0,0,4 | 1920x1088 1 [0 1920 0 1080]"},
        // Two pixels an offset on every side.
        {summary(buildSps({.frame_cropping_flag = true,
                           .frame_crop_left_offset = 1,
                           .frame_crop_right_offset = 3,
                           .frame_crop_top_offset = 5,
                           .frame_crop_bottom_offset = 7})),
         "crop1 1,3,5,7 | 176x144 1 [2 170 10 130]"},
        {summary(buildSps(
             {.frame_cropping_flag = true, .frame_crop_top_offset = 0xFFFFFFF0, .frame_crop_bottom_offset = 0x20})),
         "frame cropping leaves no picture$"},
        // The largest picture of level 6.2 and one macroblock more; a width that would wrap.
        {summary(buildSps({.pic_width_in_mbs_minus1 = 1054, .pic_height_in_map_units_minus1 = 131})), " mbs1054x131 "},
        {summary(buildSps({.pic_width_in_mbs_minus1 = 1054, .pic_height_in_map_units_minus1 = 132})),
         "picture larger than any H.264 level allows$"},
        {summary(buildSps({.pic_width_in_mbs_minus1 = 0x10000000})), "picture larger than any H.264 level allows$"},
        {summary({}), "parameter set has no payload$"},
        // The VUI groups are read only when present.
        {summary(buildSps({.vui = sar})), "vui ar1/255 32769:255 sig0 5/0/0 2,2,2 loc0 0/0 tim0 0/0$"},
        {summary(buildSps({.vui = signal})), "sig1 3/1/1 9,14,255 loc1 2/5 tim0 0/0$"},
        {summary(buildSps({.vui = timing})), "vui ar0/0 0:0 sig0 5/0/0 2,2,2 loc0 0/0 tim1 1/768$"},
        // The set may end right behind timing_info_present_flag.
        {summary(buildSps({.vui = VuiFields{.write_tail = false}, .trailing_bits = false})), " tim0 0/0$"},
        {summary(buildPps({.seq_parameter_set_id = 30, .pic_order_present_flag = true, .num_slice_groups_minus1 = 3})),
         "pps0 sps30 cabac0 poc1 groups3$"},
        {summary(buildPps({.pic_parameter_set_id = 255, .seq_parameter_set_id = 31})),
         "pps255 sps31 cabac0 poc0 groups0$"},
        {summary(buildPps({.pic_parameter_set_id = 256})), "255 < m_pic_parameter_set_id$"},
        {summary(buildPps({.seq_parameter_set_id = 32})), "31 < m_seq_parameter_set_id$"},
        {summary(buildPps({.pic_parameter_set_id = 256, .seq_parameter_set_id = 32})), "255 < m_pic_parameter_set_id$"},
        {summary(buildPps({.entropy_coding_mode_flag = true})),
         "m_entropy_coding_mode_flag CABAC | m_entropy_coding_mode_flag is CABAC. \n$"},
        // CABAC, cut before num_slice_groups_minus1: short, without the CABAC trace.
        {summary({0x68, 0b11100000}), "H.264 syntax ends before its fields$"},
        {summary(bare), "pps100 sps20 cabac0 poc0 groups7$"},
    };
    for (const auto &row : rows)
        EXPECT_NE((row.summary + "$").find(row.expected), std::string::npos)
            << row.summary << "\nlacks: " << row.expected;

    // Every shorter prefix of a set with every group is refused as short.
    VuiFields all = signal;
    all.aspect_ratio_info_present_flag = all.timing_info_present_flag = true;
    all.write_tail = false;
    const Bytes nal = buildSps({.pic_order_cnt_type = 1,
                                .offset_for_ref_frame = {4, -4},
                                .frame_cropping_flag = true,
                                .frame_crop_right_offset = 2,
                                .vui = all,
                                .trailing_bits = false});
    ASSERT_EQ(summary(nal).find("copy differs"), std::string::npos);
    for (size_t length = 1; length < nal.size(); ++length)
        EXPECT_EQ(summary(Bytes(nal.begin(), nal.begin() + std::ptrdiff_t(length))), MyH264Refusal::kOutOfData)
            << length;
    for (size_t length = 1; length < bare.size(); ++length)
        EXPECT_EQ(summary(Bytes(bare.begin(), bare.begin() + std::ptrdiff_t(length))), MyH264Refusal::kOutOfData);
    const BYTE header[] = {0x67};
    EXPECT_EQ(refusalOf([&] { CMyH264SPS(0, header); }), MyH264Refusal::kEmptyNalUnit);
    EXPECT_EQ(refusalOf([] { CMyH264SPS(5, nullptr); }), MyH264Refusal::kEmptyNalUnit);
}

} // namespace

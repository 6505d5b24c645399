// The H.264 syntax layer: the bit reader, emulation-prevention removal, the
// SPS with its VUI and the PPS, the 'avcC' record, the sample entry over a
// media built in memory, and the video signal from the VUI or the
// 'colr'/'gama' extensions. Units are built with the syntax writer and found
// in a one-line field summary, or as the refusal text and trace lines.
#include "MyH264/MyAVCConfiguration.h"
#include "MyH264/MyAVCSampleEntry.h"
#include "MyH264/MyBitReader.h"
#include "MyH264/MyH264PPS.h"
#include "MyH264/MyH264Refusals.h"
#include "MyH264/MyH264SPS.h"
#include "MyH264/MyRbsp.h"
#include "MyH264/MyVideoSignalInfo.h"
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTHandle.h"
#include "MyQuickTimeAPIs/MyQTMedia.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"
#include "MyQuickTimeAPIs/MySampleDescription.h"
#include "support/atom_builder.h"
#include "support/debug_capture.h"
#include "support/h264_writer.h"
#include "support/refusal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
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

TEST(Bits, ReaderRefusesWhatRunsPastItsBytesRbspLosesOnlyInsertedBytes)
{
    const struct {
        Bytes bytes;
        const char *ops, *expected;
        DWORD size = ~0u; // of the bytes the reader is given
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
        {{0xFF, 0xEE}, "u8 u1", "255 short ", 1}, // the second byte is not the reader's
    };
    for (const auto &row : rows)
        EXPECT_EQ(readOps(row.bytes.data(), std::min(row.size, DWORD(row.bytes.size())), row.ops), row.expected)
            << row.ops;
    EXPECT_EQ(readOps(nullptr, 100, "left u1"), "0 short ");

    const struct {
        Bytes escaped, rbsp;
    } escapes[] = {
        {{0x11, 0x00, 0x00, 0x03, 0x01, 0x22}, {0x11, 0x00, 0x00, 0x01, 0x22}},
        {{0x00, 0x00, 0x03, 0x00, 0x00, 0x03, 0x02}, {0x00, 0x00, 0x00, 0x00, 0x02}},
        {{0x00, 0x03, 0x00}, {0x00, 0x03, 0x00}},       // behind one zero it stays
        {{0x00, 0x00, 0x03, 0x03}, {0x00, 0x00, 0x03}}, // counting restarts behind it
        {{0x80, 0x00, 0x00, 0x03}, {0x80, 0x00, 0x00}},
        {{}, {}},
    };
    for (const auto &row : escapes) {
        Bytes out(row.escaped.size());
        out.resize(MyRemoveEmulationPrevention(row.escaped.data(), static_cast<DWORD>(row.escaped.size()), out.data()));
        EXPECT_EQ(out, row.rbsp);
    }
}

// Every group the VUI parser reads, an extended SAR among them.
const VuiFields every{.aspect_ratio_info_present_flag = true,
                      .aspect_ratio_idc = 255,
                      .sar_width = 0x8001,
                      .sar_height = 0x00FF,
                      .video_signal_type_present_flag = true,
                      .video_format = 3,
                      .video_full_range_flag = true,
                      .colour_description_present_flag = true,
                      .colour_primaries = 9,
                      .transfer_characteristics = 14,
                      .matrix_coefficients = 255,
                      .chroma_loc_info_present_flag = true,
                      .chroma_sample_loc_type_top_field = 2,
                      .chroma_sample_loc_type_bottom_field = 5,
                      .timing_info_present_flag = true,
                      .time_scale = 0x300,
                      .write_tail = false};

// A record of the given header fields with one SPS and one PPS.
Bytes one(AvcCFields f)
{
    f.sps = {buildSps({})};
    f.pps = {buildPps({})};
    return buildAvcC(f);
}

// What a parse builds, or null with its refusal text and trace lines in `refused`.
template <class T, class... Args> std::unique_ptr<T> parse(std::string &refused, Args... args)
{
    DebugCapture capture;
    std::unique_ptr<T> made;
    refused = refusalOf([&] { made = std::make_unique<T>(args...); });
    for (const std::string &line : capture.messages())
        refused += " | " + line;
    return made;
}

// The fields of an accepted 'avcC' record (by its leading size byte 0), PPS,
// or SPS with its picture rectangle and its VUI ("copy differs" when the unit
// is not kept as given), or the refusal.
std::string summary(const Bytes &nal)
{
    std::string refused;
    std::ostringstream s;
    if (nal.size() >= 8 && nal[0] == 0) {
        const auto r = parse<CMyAVCConfiguration>(refused, nal.data(), DWORD(nal.size()));
        if (!r) return refused;
        s << int(r->m_AVCProfileIndication) << '/' << int(r->m_profile_compatibility) << '/'
          << int(r->m_AVCLevelIndication) << " len" << int(r->m_lengthSizeMinusOne) << " sets"
          << int(r->m_numOfSequenceParameterSets) << '/' << int(r->m_numOfPictureParameterSets) << " sps"
          << r->GetSPS().m_seq_parameter_set_id << " pps" << r->GetPPS().m_pic_parameter_set_id;
        return s.str();
    }
    if (!nal.empty() && (nal[0] & 0x1F) == 8) {
        const auto pps = parse<CMyH264PPS>(refused, WORD(nal.size()), nal.data());
        if (!pps) return refused;
        s << "pps" << pps->m_pic_parameter_set_id << " sps" << pps->m_seq_parameter_set_id << " cabac"
          << int(pps->m_entropy_coding_mode_flag) << " poc" << int(pps->m_pic_order_present_flag) << " groups"
          << pps->m_num_slice_groups_minus1;
        if (Bytes(pps->m_pData.get(), pps->m_pData.get() + pps->m_size) != nal) s << " | copy differs";
        return s.str();
    }
    const auto sps = parse<CMyH264SPS>(refused, WORD(nal.size()), nal.data());
    if (!sps) return refused;
    DWORD width = 0, height = 0;
    BOOL cropping = FALSE;
    RECT r{};
    sps->GetPictureRect(&width, &height, &cropping, &r);
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
    // Only the fields the PPS parser reads, to a whole byte.
    const Bytes bare = makeNalUnit(0x68, BitWriter().ue(100).ue(20).flag(false).flag(false).ue(7).bytes());
    const Bytes good = one({});
    Bytes pastTheBuffer = good; // the SPS length claims more than is there
    pastTheBuffer[14] = 0xFF;
    pastTheBuffer[15] = 0xF0;
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
        {summary(buildSps({.frame_mbs_only_flag = false, .mb_adaptive_frame_field_flag = true, .vui = every})),
         "!m_frame_mbs_only_flag | m_frame_mbs_only_flag is false. \n$"},
        // Two pixels an offset on every side (4:2:0).
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
        // The VUI groups are read only when present; the set may end right
        // behind timing_info_present_flag.
        {summary(buildSps({.vui = every})), "vui ar1/255 32769:255 sig1 3/1/1 9,14,255 loc1 2/5 tim1 1/768$"},
        {summary(buildSps({.vui = VuiFields{.write_tail = false}, .trailing_bits = false})),
         "vui ar0/0 0:0 sig0 5/0/0 2,2,2 loc0 0/0 tim0 0/0$"},
        {summary(buildPps({.pic_parameter_set_id = 255, .seq_parameter_set_id = 31, .pic_order_present_flag = true})),
         "pps255 sps31 cabac0 poc1 groups0$"},
        {summary(buildPps({.pic_parameter_set_id = 256})), "255 < m_pic_parameter_set_id$"},
        {summary(buildPps({.seq_parameter_set_id = 32})), "31 < m_seq_parameter_set_id$"},
        {summary(buildPps({.entropy_coding_mode_flag = true})),
         "m_entropy_coding_mode_flag CABAC | m_entropy_coding_mode_flag is CABAC. \n$"},
        // CABAC, cut before num_slice_groups_minus1: short, without the CABAC trace.
        {summary({0x68, 0b11100000}), "H.264 syntax ends before its fields$"},
        {summary(bare), "pps100 sps20 cabac0 poc0 groups7$"},
        {summary(one(
             {.AVCProfileIndication = 77, .profile_compatibility = 0x40, .AVCLevelIndication = 31, .byte12 = 0xFD})),
         "77/64/31 len1 sets1/1 sps0 pps0$"},
        {summary(good), "66/192/30 len3 sets1/1 sps0 pps0$"}, // reserved bits all set
        {summary(one({.atomFormat = 0x61766331})), MyH264Refusal::kAtomFormat},
        {summary(one({.atomSize = 14})), MyH264Refusal::kAtomSize},
        {summary(one({.configurationVersion = 0})), MyH264Refusal::kVersion},
        {summary(one({.byte12 = 0xFB})), MyH264Refusal::kLengthSizeReserved},
        {summary(one({.byte13_reserved = 0})), MyH264Refusal::kSpsCountReserved},
        {summary(buildAvcC({.pps = {buildPps({})}})), MyH264Refusal::kSpsCount},
        {summary(buildAvcC({.sps = {buildSps({})}})), MyH264Refusal::kPpsCount},
        {summary(buildAvcC({.sps = {buildSps({})}, .pps = {buildPps({.seq_parameter_set_id = 1})}})),
         MyH264Refusal::kSpsIdMismatch},
        // A second SPS refused after the first was built: the first is freed.
        {summary(
             buildAvcC({.sps = {buildSps({}), buildSps({.log2_max_frame_num_minus4 = 13})}, .pps = {buildPps({})}})),
         MyH264Refusal::kLog2MaxFrameNum},
        {summary(pastTheBuffer), MyH264Refusal::kRecordTruncated},
    };
    for (const auto &row : rows)
        EXPECT_NE((row.summary + "$").find(row.expected), std::string::npos)
            << row.summary << "\nlacks: " << row.expected;

    // Every shorter prefix of a set with every group is refused as short.
    const Bytes nal = buildSps({.pic_order_cnt_type = 1,
                                .offset_for_ref_frame = {4, -4},
                                .frame_cropping_flag = true,
                                .frame_crop_right_offset = 2,
                                .vui = every,
                                .trailing_bits = false});
    ASSERT_EQ(summary(nal).find("copy differs"), std::string::npos);
    for (const Bytes &set : {nal, bare})
        for (size_t length = 1; length < set.size(); ++length)
            EXPECT_EQ(summary(Bytes(set.begin(), set.begin() + std::ptrdiff_t(length))), MyH264Refusal::kOutOfData)
                << length;
    // A record cut to each shorter length, in a buffer of just that size so
    // the sanitizer sees any read behind it.
    for (size_t length = 0; length < good.size(); ++length) {
        const Bytes cut(good.begin(), good.begin() + std::ptrdiff_t(length));
        EXPECT_FALSE(refusalOf([&] { CMyAVCConfiguration(cut.data(), DWORD(length)); }).empty()) << length;
    }
    EXPECT_EQ(refusalOf([] { CMyAVCConfiguration(nullptr, 100); }), MyH264Refusal::kRecordTruncated);
    const BYTE header[] = {0x67};
    EXPECT_EQ(refusalOf([&] { CMyH264SPS(0, header); }), MyH264Refusal::kEmptyNalUnit);
    EXPECT_EQ(refusalOf([] { CMyH264SPS(5, nullptr); }), MyH264Refusal::kEmptyNalUnit);
}

using Atoms = std::vector<Atom>;

Atom avc1(Atoms extensions)
{
    return qt::imageDescription("avc1", 176, 144, std::move(extensions));
}

struct MediaFields {
    Atoms descriptions{};
    bool hasStsd = true;
    bool hasCtts = false;
};

// A video track's 'mdia' atom with those descriptions and optionally a 'ctts'.
Bytes makeMediaAtom(const MediaFields &fields)
{
    Atom stbl("stbl", Atoms{});
    if (fields.hasStsd) stbl.add(qt::stsd(fields.descriptions));
    if (fields.hasCtts) stbl.add(qt::table("ctts", {1, 0}, 1));
    return Atom("mdia", {qt::mdhd(600, 600), qt::hdlr("mhlr", "vide"), Atom("minf", {stbl})}).bytes();
}

// Both entry points over one media, with the trace lines: "served sps0" or "none".
std::string entryOutcome(const MediaFields &fields)
{
    const Bytes mdia = makeMediaAtom(fields);
    CMyQTMedia media(mdia.data(), nullptr);
    DebugCapture capture;
    const auto record = CreateAVCConfiguration(&media);
    const Bytes held = one({}); // the out parameter is emptied first
    auto out = std::make_unique<CMyAVCConfiguration>(held.data(), DWORD(held.size()));
    const bool checked = CheckAVCSampleEntry(&media, &out);
    std::string text = record ? "served sps" + std::to_string(record->GetSPS().m_seq_parameter_set_id) : "none";
    if (checked != (record != nullptr) || (out != nullptr) != checked) text += " (check differs)";
    for (const auto &line : capture.messages())
        text += " | " + line;
    return text;
}

TEST(AvcSampleEntry, WhichDescriptionsAreServed)
{
    const Atom avcC = qt::avcC(buildSps({.seq_parameter_set_id = 2}), buildPps({.seq_parameter_set_id = 2}));
    const Atom pasp("pasp", Bytes{0, 0, 0, 1, 0, 0, 0, 1});
    const struct {
        const char *name;
        MediaFields media;
        const char *expected;
    } rows[] = {
        {"avc1 with a record", {{avc1({avcC})}}, "served sps2"},
        {"record behind other extensions", {{avc1({pasp, Atom("colr", Bytes(10)), avcC})}}, "served sps2"},
        {"ctts", {.descriptions = {avc1({avcC})}, .hasCtts = true}, "none | Has 'ctts' atom \n | Has 'ctts' atom \n"},
        {"not avc1", {{qt::imageDescription("mp4v", 176, 144, {avcC})}}, "none"},
        {"shorter than an image description", {{Atom("avc1", Bytes(32))}}, "none"},
        {"two descriptions", {{avc1({avcC}), avc1({avcC})}}, "none"},
        {"no stsd", {.hasStsd = false}, "none"},
        {"size zero before the record", {{avc1({Atom::raw({0, 0, 0, 0, 'f', 'r', 'e', 'e'}), avcC})}}, "none"},
        {"extension past the description", {{avc1({Atom(pasp).setSize(0x40), avcC})}}, "none"},
        {"cabac record",
         {{avc1({qt::avcC(buildSps({.profile_idc = 77}), buildPps({.entropy_coding_mode_flag = true}))})}},
         "none | m_entropy_coding_mode_flag is CABAC. \n | m_entropy_coding_mode_flag is CABAC. \n"},
        // The record's last byte lies beyond the description's size, though
        // still inside the movie atom.
        {"record cut by the description end", {{avc1({avcC}).setSize(uint32_t(86 + avcC.length() - 1))}}, "none"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(entryOutcome(row.media), row.expected) << row.name;
}

Atom colr(uint32_t size, uint16_t primaries, uint16_t transfer, uint16_t matrix)
{
    return Atom("colr", ByteWriter().fourcc("nclc").be16(primaries).be16(transfer).be16(matrix).data()).setSize(size);
}

Atom gama(uint32_t gamma, uint32_t size = 12)
{
    return Atom("gama", ByteWriter().be32(gamma).data()).setSize(size);
}

// An image description as the reading layer copies it out of a movie.
std::unique_ptr<CMyImageDescription> description(Atoms extensions)
{
    const Bytes mdia = makeMediaAtom({{avc1(std::move(extensions))}});
    CMyQTMedia media(mdia.data(), nullptr);
    CMyQTHandlePtr handle(NewHandle(0));
    GetMediaSampleDescription(&media, 1, handle.get());
    return std::make_unique<CMyImageDescription>(handle->GetData(), GetHandleSize(handle.get()));
}

TEST(VideoSignal, VuiFirstThenColrAndGamaThenDefaults)
{
    VuiFields noColour = every;
    noColour.colour_description_present_flag = false;
    const Atoms colrGama22{colr(18, 5, 6, 5), gama(0x00023333)};
    const struct {
        const char *name;
        Bytes sps;                       // none when empty
        std::optional<Atoms> extensions; // none: no description
        const char *expected;
    } rows[] = {
        {"neither", {}, std::nullopt, "5 0 2 2 2"},
        {"full vui wins", buildSps({.vui = every}), colrGama22, "3 1 9 14 255"},
        {"vui without colours", buildSps({.vui = noColour}), colrGama22, "3 1 5 4 5"},
        {"no vui", buildSps({}), colrGama22, "5 0 5 4 5"},
        {"gamma 2.8", {}, Atoms{colr(18, 5, 6, 5), gama(0x0002CCCD)}, "5 0 5 6 5"},
        {"gamma just above 2.2", {}, Atoms{colr(18, 6, 6, 6), gama(0x00023334)}, "5 0 6 6 6"},
        {"colr matrix 0x0102", {}, Atoms{colr(18, 9, 14, 0x0102)}, "5 0 9 14 258"},
        // Atoms too short for their values change nothing.
        {"short colr and gama", {}, Atoms{colr(17, 9, 9, 9), gama(0x00023333, 11)}, "5 0 2 2 2"},
        {"colr cut by the description end",
         {},
         Atoms{Atom("colr", Bytes{'n', 'c', 'l', 'c', 0, 9, 0, 9})},
         "5 0 2 2 2"},
    };
    for (const auto &row : rows) {
        const auto sps = row.sps.empty() ? nullptr : std::make_unique<CMyH264SPS>(WORD(row.sps.size()), row.sps.data());
        const auto d = row.extensions ? description(*row.extensions) : nullptr;
        const CMyVideoSignalInfo i = GetVideoSignalInfo(sps.get(), d.get());
        std::ostringstream s;
        s << i.m_video_format << ' ' << i.m_video_full_range_flag << ' ' << i.m_colour_primaries << ' '
          << i.m_transfer_characteristics << ' ' << i.m_matrix_coefficients;
        EXPECT_EQ(s.str(), row.expected) << row.name;
    }
}

} // namespace

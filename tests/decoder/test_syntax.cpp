// What the library reads of the stream itself: bits and unescaping, the SPS
// and PPS fields it uses (and the refusal of bad ones), and where access units
// end, by the slice header rules and the non-picture units that open the next.
#include "AccessUnitSplitter.h"
#include "BitReader.h"
#include "ParameterSets.h"
#include "declib_harness.h"
#include "support/h264_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

// GCC 12 at -O3 takes the vectors inside the designated initialisers of the
// row tables below for uninitialised (a known false positive).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace declib_test {
namespace {

using namespace OrvexIPP::Detail;
using namespace orvex::test;

// "uN", "ue", "se", "skipN", "fail" and "left" over the first `size` bytes in
// turn; the results joined by blanks, then "failed" if the reader has failed.
std::string Read(const Nal &bytes, const std::string &ops, size_t size)
{
    BitReader bits(bytes.data(), std::min(size, bytes.size()));
    std::ostringstream out;
    std::istringstream in(ops);
    for (std::string op; in >> op;) {
        if (op == "ue")
            out << bits.Ue() << ' ';
        else if (op == "se")
            out << bits.Se() << ' ';
        else if (op == "left")
            out << bits.BitsLeft() << ' ';
        else if (op == "fail")
            bits.Fail();
        else if (op.rfind("skip", 0) == 0)
            bits.Skip(unsigned(std::stoul(op.substr(4))));
        else
            out << bits.U(unsigned(std::stoul(op.substr(1)))) << ' ';
    }
    out << (bits.Failed() ? "failed" : "ok");
    return out.str();
}

TEST(DecLibBits, ReaderFailsPastTheEndUnescapingRemovesOnlyInsertedBytes)
{
    const struct {
        Nal bytes;
        const char *ops, *expected;
        size_t size = SIZE_MAX;
    } rows[] = {
        {{0xA5, 0x0F, 0xF0, 0x12, 0x34, 0x56, 0x78}, "u1 u3 u4 u12 u0 u32 left", "1 2 5 255 0 19088743 4 ok"},
        {{0xFF}, "u6 u3 u1 left", "63 0 0 0 failed"}, // stays failed, yielding zero
        {{}, "ue", "0 failed"},
        {{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "ue", "0 failed"}, // 32 leading zeros
        {{0x80, 0x00}, "skip15 left skip2", "1 failed"},
        {{0x80, 0x00}, "fail u1", "0 failed"},
        {BitWriter().ue(0xFFFF'FFFEu).se(-1).se(INT32_MAX).se(-INT32_MAX).trailingBits().bytes(), "ue se se se",
         "4294967294 -1 2147483647 -2147483647 ok"},
        // Seven zeros and the marker; the next byte is not the reader's.
        {{0x01, 0xFF}, "ue", "0 failed", 1},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Read(row.bytes, row.ops, row.size), row.expected) << row.ops;

    const struct {
        Nal in;
        size_t maxBytes;
        Nal out;
    } escapes[] = {
        {{0x01, 0x02}, 64, {0x01, 0x02}},
        {{0x00, 0x00, 0x03, 0x01}, 64, {0x00, 0x00, 0x01}},
        {{0x00, 0x00, 0x03, 0x00, 0x00, 0x03}, 64, {0x00, 0x00, 0x00, 0x00}},
        {{0x00, 0x03, 0x00, 0x03}, 64, {0x00, 0x03, 0x00, 0x03}}, // a 3 after only one zero stays
        {{0x00, 0x00, 0x03, 0x03}, 64, {0x00, 0x00, 0x03}},       // after a removed 3 the count starts again
        {{0x11, 0x22, 0x33, 0x44}, 2, {0x11, 0x22}},
        {{}, 64, {}},
        {addEmulationPrevention({0, 0, 1, 0, 0, 2, 0, 0, 0, 3, 0x80}), 1024, {0, 0, 1, 0, 0, 2, 0, 0, 0, 3, 0x80}},
    };
    for (const auto &row : escapes) {
        Nal rbsp{0xEE}; // replaced, not appended to
        UnescapeRbsp(row.in.data(), row.in.size(), row.maxBytes, rbsp);
        EXPECT_EQ(rbsp, row.out);
    }
}

// The fields of an SPS or PPS (by its type) cut to `size` bytes, or "refused".
std::string Summary(const Nal &nal, size_t size = SIZE_MAX)
{
    std::ostringstream out;
    if (!nal.empty() && (nal[0] & 0x1F) == 8) {
        const auto p = ParsePictureParameterSet(nal.data(), std::min(size, nal.size()));
        if (p)
            out << "pps" << p->pic_parameter_set_id << " sps" << p->seq_parameter_set_id << " cabac"
                << p->entropy_coding_mode_flag << " bottom" << p->bottom_field_pic_order_in_frame_present_flag
                << " redundant" << p->redundant_pic_cnt_present_flag;
        return p ? out.str() : "refused";
    }
    const auto s = ParseSequenceParameterSet(nal.data(), std::min(size, nal.size()));
    if (!s) return "refused";
    out << "p" << s->profile_idc << " id" << s->seq_parameter_set_id << " c" << s->chroma_format_idc << " fn"
        << s->log2_max_frame_num << " poc" << s->pic_order_cnt_type << '/' << s->log2_max_pic_order_cnt_lsb << '/'
        << s->delta_pic_order_always_zero_flag << ' ' << s->pic_width_in_mbs << 'x' << s->pic_height_in_map_units
        << " frame" << s->frame_mbs_only_flag << ' ' << s->FrameSizeInMbs();
    return out.str();
}

TEST(DecLibParameterSets, SequenceAndPictureParameterSets)
{
    const SpsFields wide{.seq_parameter_set_id = 31,
                         .log2_max_frame_num_minus4 = 12,
                         .log2_max_pic_order_cnt_lsb_minus4 = 12,
                         .delta_pic_order_always_zero_flag = true,
                         .offset_for_ref_frame = std::vector<int32_t>(255, 2),
                         .frame_mbs_only_flag = false};
    const auto poc = [&wide](uint32_t type) {
        SpsFields f = wide;
        f.pic_order_cnt_type = type;
        return buildSps(f);
    };
    const auto high = [](uint32_t chroma) {
        return buildSps({.profile_idc = 100,
                         .chroma_format_idc = chroma,
                         .scaling_matrix = true,
                         .log2_max_frame_num_minus4 = 5,
                         .pic_width_in_mbs_minus1 = 119,
                         .pic_height_in_map_units_minus1 = 67});
    };
    Nal forbidden = buildSps({});
    forbidden[0] |= 0x80;
    const struct {
        Nal nal;
        const char *expected;
    } rows[] = {
        {LoadStream("baseline_176x144.h264").sps, "p66 id0 c1 fn4 poc2/4/0 11x9 frame1 99"},
        {LoadStream("main_cavlc_bframes_176x144.h264").sps, "p77 id0 c1 fn4 poc0/5/0 11x9 frame1 99"},
        {poc(0), "p66 id31 c1 fn16 poc0/16/0 11x9 frame0 198"},
        {poc(1), "p66 id31 c1 fn16 poc1/4/1 11x9 frame0 198"},
        {poc(2), "p66 id31 c1 fn16 poc2/4/0 11x9 frame0 198"},
        {high(0), "p100 id0 c0 fn9 poc2/4/0 120x68 frame1 8160"},
        {high(2), "p100 id0 c2 fn9 poc2/4/0 120x68 frame1 8160"},
        {high(3), "p100 id0 c3 fn9 poc2/4/0 120x68 frame1 8160"},
        {buildSps({.seq_parameter_set_id = 32}), "refused"},
        {buildSps({.log2_max_frame_num_minus4 = 13}), "refused"},
        {buildSps({.pic_order_cnt_type = 3}), "refused"},
        {buildSps({.pic_order_cnt_type = 0, .log2_max_pic_order_cnt_lsb_minus4 = 13}), "refused"},
        {buildSps({.pic_order_cnt_type = 1, .offset_for_ref_frame = std::vector<int32_t>(256, 2)}), "refused"},
        {buildSps({.profile_idc = 100, .chroma_format_idc = 4}), "refused"},
        {buildSps({.pic_width_in_mbs_minus1 = 1024}), "refused"}, // wider than 16384
        {buildSps({.pic_height_in_map_units_minus1 = 512, .frame_mbs_only_flag = false}), "refused"},
        {forbidden, "refused"},
        {LoadStream("main_cavlc_320x240.h264").pps, "pps0 sps0 cabac0 bottom0 redundant0"},
        {buildPps({.pic_parameter_set_id = 256}), "refused"},
        {buildPps({.seq_parameter_set_id = 32}), "refused"},
        {buildPps({.num_slice_groups_minus1 = 8}), "refused"},
        {buildPps({.num_slice_groups_minus1 = 1, .slice_group_map_type = 7}), "refused"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Summary(row.nal), row.expected);
    const Nal sps = buildSps({}), pps = buildPps({});
    EXPECT_FALSE(ParseSequenceParameterSet(pps.data(), pps.size())) << "a PPS";
    for (uint32_t type = 0; type <= 6; ++type)
        EXPECT_EQ(Summary(buildPps({.pic_parameter_set_id = 255,
                                    .seq_parameter_set_id = 31,
                                    .pic_order_present_flag = true,
                                    .num_slice_groups_minus1 = 7,
                                    .slice_group_map_type = type,
                                    .redundant_pic_cnt_present_flag = true})),
                  "pps255 sps31 cabac0 bottom1 redundant1")
            << "map type " << type;
    // The last byte holds frame_mbs_only_flag (redundant_pic_cnt_present_flag)
    // and what follows it; every shorter unit ends before the fields do.
    for (const Nal &set : {sps, pps})
        for (size_t size = 0; size + 1 < set.size(); ++size)
            EXPECT_EQ(Summary(set, size), "refused") << size;
}

// An IDR I slice unless the fields say otherwise.
SliceFields Idr(SliceFields f)
{
    f.nal_unit_type = 5;
    if (f.nal_ref_idc == 2) f.nal_ref_idc = 3;
    if (f.slice_type == 5) f.slice_type = 7;
    return f;
}

// The roles of units classified in turn after the SPS and PPS of the fields:
// 'A' append, 'N' starts the next access unit, 'S' skip, 'C' corrupt, then
// '+' while a picture is held; {0xFF} stands for a restart ("R").
std::string Roles(const std::vector<Nal> &units, const SpsFields &spsFields = {}, const PpsFields &ppsFields = {})
{
    ParameterSetTable sets;
    AccessUnitSplitter splitter;
    std::string roles;
    const auto sps = buildSps(spsFields), pps = buildPps(ppsFields);
    for (const auto &unit : {sps, pps})
        splitter.Classify(unit.data(), unit.size(), sets);
    for (const auto &unit : units) {
        if (unit == Nal{0xFF}) {
            splitter.Restart();
            roles += "R ";
            continue;
        }
        const UnitRole role = splitter.Classify(unit.empty() ? nullptr : unit.data(), unit.size(), sets).role;
        roles += role == UnitRole::Append       ? 'A'
                 : role == UnitRole::StartsNext ? 'N'
                 : role == UnitRole::Skip       ? 'S'
                                                : 'C';
        roles += splitter.HasPicture() ? "+ " : " ";
    }
    return roles;
}

TEST(DecLibAccessUnits, SlicesAndNonPictureUnits)
{
    const Nal sei{0x06, 0x05, 0x01, 0x80}, aud{0x09, 0xF0}, restart{0xFF};
    const auto slice = [](uint32_t frameNum, uint32_t mb = 0, uint32_t pps = 0) {
        return buildSlice({.first_mb_in_slice = mb, .pic_parameter_set_id = pps, .frame_num = frameNum}, {},
                          {.pic_parameter_set_id = pps});
    };
    // A slice, then a unit of each type, then a slice with the next frame_num.
    const auto around = [&slice](std::vector<uint8_t> types) {
        std::vector<Nal> units{slice(0)};
        for (uint8_t type : types)
            units.push_back({type, 0x80});
        units.push_back(slice(1));
        return Roles(units);
    };
    const SpsFields poc0{.pic_order_cnt_type = 0}, poc1{.pic_order_cnt_type = 1}, fields{.frame_mbs_only_flag = false};
    const PpsFields bottom{.pic_order_present_flag = true}, redundant{.redundant_pic_cnt_present_flag = true};
    const auto slices = [](std::vector<SliceFields> list, const SpsFields &sps = {}, const PpsFields &pps = {}) {
        std::vector<Nal> units;
        for (const SliceFields &f : list)
            units.push_back(buildSlice(f, sps, pps));
        return Roles(units, sps, pps);
    };
    const struct {
        std::string roles;
        const char *expected;
    } rows[] = {
        // A slice at macroblock 0 starts a picture.
        {slices({Idr({}), Idr({.first_mb_in_slice = 40}), Idr({})}), "A+ A+ N+ "},
        {slices({{.first_mb_in_slice = 5}, {.first_mb_in_slice = 9, .frame_num = 1}}), "A+ N+ "},
        // nal_ref_idc becoming 0 starts one; between non-zero values it does not.
        {slices({{.first_mb_in_slice = 5},
                 {.nal_ref_idc = 0, .first_mb_in_slice = 9},
                 {.nal_ref_idc = 0, .first_mb_in_slice = 12},
                 {.nal_ref_idc = 1, .first_mb_in_slice = 14}},
                poc0),
         "A+ N+ A+ N+ "},
        {slices({{.nal_ref_idc = 1, .first_mb_in_slice = 5}, {.first_mb_in_slice = 9}}, poc0), "A+ A+ "},
        {slices({{.first_mb_in_slice = 5}, {.first_mb_in_slice = 9, .pic_order_cnt_lsb = 2}}, poc0), "A+ N+ "},
        {slices({{.first_mb_in_slice = 5}, {.first_mb_in_slice = 9, .delta_pic_order_cnt_bottom = -1}}, poc0, bottom),
         "A+ N+ "},
        {slices({{.first_mb_in_slice = 5}, {.first_mb_in_slice = 9, .delta_pic_order_cnt = {0, 3}}}, poc1, bottom),
         "A+ N+ "},
        {slices({{.first_mb_in_slice = 5, .field_pic_flag = true},
                 {.first_mb_in_slice = 9, .field_pic_flag = true, .bottom_field_flag = true},
                 {.first_mb_in_slice = 9}},
                fields),
         "A+ N+ N+ "},
        // IDR after non-IDR, then another idr_pic_id.
        {slices({{.first_mb_in_slice = 5},
                 Idr({.first_mb_in_slice = 9}),
                 Idr({.first_mb_in_slice = 12, .idr_pic_id = 1})}),
         "A+ N+ N+ "},
        // A redundant slice stays with its primary.
        {slices({Idr({}), Idr({.redundant_pic_cnt = 1}), {.frame_num = 1}}, {}, redundant), "A+ A+ N+ "},
        // Headers out of range are corrupt and leave the state alone.
        {slices({{.pic_parameter_set_id = 4},
                 {.pic_parameter_set_id = 999},
                 {.slice_type = 10},
                 {.first_mb_in_slice = 99},
                 Idr({.slice_type = 0}),
                 Idr({.nal_ref_idc = 0}),
                 Idr({.idr_pic_id = 65536})}),
         "C C C C C C C "},
        // Non-picture units before the first picture join it; after one they
        // start the next access unit, and more of them stay in it.
        {Roles({sei, aud, slice(0), sei, sei, slice(1), aud}), "A A A+ N A A+ N "},
        {Roles({slice(0), buildSps({}), slice(0), buildPps({}), slice(0), {0x0E, 0x80}, slice(0), {0x12, 0x80}}),
         "A+ N A+ N A+ N A+ N "},
        {Roles({slice(0), {0x0F, 0x80}, slice(0), {0x10, 0x80}, slice(0), {0x11, 0x80}}), "A+ N A+ N A+ N "},
        // Others stay with the picture.
        {around({0x03, 0x04, 0x0A, 0x0B, 0x0C, 0x0D, 0x13, 0x14, 0x00, 0x18, 0x1F}),
         "A+ A+ A+ A+ A+ A+ A+ A+ A+ A+ A+ A+ N+ "},
        // Empty and corrupt units leave the state alone.
        {Roles({slice(0), {}, slice(0)}), "A+ S+ N+ "},
        {Roles({slice(3), {0x85, 0x88}, {0x67, 0x42}, {0x68}, {0x41}, {0x41, 0, 0, 0}, slice(3, 50)}),
         "A+ C+ C+ C+ C+ C+ A+ "},
        // A PPS is stored for the slices after it; another PPS id starts a picture.
        {Roles({slice(0, 0, 7), buildPps({.pic_parameter_set_id = 7}), slice(0, 0, 7)}), "C A A+ "},
        {Roles({buildPps({.pic_parameter_set_id = 1}), slice(0, 5), slice(0, 9, 1)}), "A A+ N+ "},
        {Roles({slice(0), restart, sei, slice(0)}), "A+ R A A+ "},
    };
    for (const auto &row : rows)
        EXPECT_EQ(row.roles, row.expected);
}

} // namespace
} // namespace declib_test

// Where access units end: slice headers compared by the rules for the first
// slice of a new primary picture, and the non-picture units that open the
// next access unit.
#include "AccessUnitSplitter.h"
#include "SliceHeader.h"
#include "support/h264_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// GCC 12 at -O3 takes the vectors inside the designated initialisers of the
// row table below for uninitialised (a known false positive).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace declib_test {
namespace {

using namespace OrvexIPP::Detail;
using namespace orvex::test;

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
// '+' while a picture is held.
std::string Roles(const std::vector<std::vector<uint8_t>> &units, const SpsFields &spsFields = {},
                  const PpsFields &ppsFields = {})
{
    ParameterSetTable sets;
    AccessUnitSplitter splitter;
    std::string roles;
    const auto sps = buildSps(spsFields), pps = buildPps(ppsFields);
    for (const auto &unit : {sps, pps})
        splitter.Classify(unit.data(), unit.size(), sets);
    for (const auto &unit : units) {
        if (unit == std::vector<uint8_t>{0xFF}) { // stands for a restart
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

TEST(DecLibSliceRules, SlicesAreGroupedIntoPictures)
{
    const SpsFields poc0{.pic_order_cnt_type = 0}, poc1{.pic_order_cnt_type = 1}, fields{.frame_mbs_only_flag = false};
    const PpsFields bottom{.pic_order_present_flag = true}, redundant{.redundant_pic_cnt_present_flag = true};
    const auto slices = [](std::vector<SliceFields> list, const SpsFields &sps = {}, const PpsFields &pps = {}) {
        std::vector<std::vector<uint8_t>> units;
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
    };
    for (const auto &row : rows)
        EXPECT_EQ(row.roles, row.expected);
}

TEST(DecLibSliceRules, NonPictureUnits)
{
    const std::vector<uint8_t> sei{0x06, 0x05, 0x01, 0x80}, aud{0x09, 0xF0}, restart{0xFF};
    const auto slice = [](uint32_t frameNum, uint32_t mb = 0, uint32_t pps = 0) {
        return buildSlice({.first_mb_in_slice = mb, .pic_parameter_set_id = pps, .frame_num = frameNum}, {},
                          {.pic_parameter_set_id = pps});
    };
    const struct {
        std::vector<std::vector<uint8_t>> units;
        const char *expected;
    } rows[] = {
        // Before the first picture they join it; after one they start the next
        // access unit, and more of them stay in it.
        {{sei, aud, slice(0), sei, sei, slice(1), aud}, "A A A+ N A A+ N "},
        {{slice(0), buildSps({}), slice(0), buildPps({}), slice(0), {0x0E, 0x80}, slice(0), {0x12, 0x80}},
         "A+ N A+ N A+ N A+ N "},
        {{slice(0), {0x0F, 0x80}, slice(0), {0x10, 0x80}, slice(0), {0x11, 0x80}}, "A+ N A+ N A+ N "},
        // Others stay with the picture.
        {{slice(0),
          {0x03, 0x80},
          {0x04, 0x80},
          {0x0A, 0x80},
          {0x0B, 0x80},
          {0x0C, 0x80},
          {0x0D, 0x80},
          {0x13, 0x80},
          {0x14, 0x80},
          {0x00, 0x80},
          {0x18, 0x80},
          {0x1F, 0x80},
          slice(1)},
         "A+ A+ A+ A+ A+ A+ A+ A+ A+ A+ A+ A+ N+ "},
        // Empty and corrupt units leave the state alone.
        {{slice(0), {}, slice(0)}, "A+ S+ N+ "},
        {{slice(3), {0x85, 0x88}, {0x67, 0x42}, {0x68}, {0x41}, {0x41, 0, 0, 0}, slice(3, 50)},
         "A+ C+ C+ C+ C+ C+ A+ "},
        // A PPS is stored for the slices after it; another PPS id starts a picture.
        {{slice(0, 0, 7), buildPps({.pic_parameter_set_id = 7}), slice(0, 0, 7)}, "C A A+ "},
        {{buildPps({.pic_parameter_set_id = 1}), slice(0, 5), slice(0, 9, 1)}, "A A+ N+ "},
        {{slice(0), restart, sei, slice(0)}, "A+ R A A+ "},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Roles(row.units), row.expected);
    ParameterSetTable sets;
    AccessUnitSplitter splitter;
    const auto pps = buildPps({.pic_parameter_set_id = 7});
    const UnitInfo info = splitter.Classify(pps.data(), pps.size(), sets);
    EXPECT_EQ(info.type * 100 + info.parameterSetId, 807u);
}

} // namespace
} // namespace declib_test

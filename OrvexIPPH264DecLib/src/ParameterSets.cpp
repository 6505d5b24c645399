#include "ParameterSets.h"

#include "BitReader.h"
#include "NalUnit.h"

#include <vector>

namespace OrvexIPP::Detail {

namespace {

// Parameter sets are small; a longer unit is not one this parser reads.
constexpr size_t kMaxParameterSetBytes = 4096;

bool HasChromaFormatSyntax(uint32_t profile_idc)
{
    switch (profile_idc) {
    case 100:
    case 110:
    case 122:
    case 244:
    case 44:
    case 83:
    case 86:
    case 118:
    case 128:
    case 138:
    case 139:
    case 134:
    case 135:
        return true;
    default:
        return false;
    }
}

// scaling_list(): only read past; the values do not matter here.
void SkipScalingList(BitReader &bits, unsigned sizeOfScalingList)
{
    int32_t lastScale = 8;
    int32_t nextScale = 8;
    for (unsigned j = 0; j < sizeOfScalingList && !bits.Failed(); ++j) {
        if (nextScale != 0) {
            const int32_t delta_scale = bits.Se(); // se(v), -128..127
            if (delta_scale < -128 || delta_scale > 127) {
                bits.Fail();
                return;
            }
            nextScale = (lastScale + delta_scale + 256) % 256;
        }
        lastScale = nextScale == 0 ? lastScale : nextScale;
    }
}

} // namespace

std::optional<SequenceParameterSet> ParseSequenceParameterSet(const uint8_t *nal, size_t size)
{
    if (size < 2 || NalType(nal[0]) != kNalSps || (nal[0] & 0x80)) return std::nullopt;
    std::vector<uint8_t> rbsp;
    UnescapeRbsp(nal + 1, size - 1, kMaxParameterSetBytes, rbsp);
    BitReader bits(rbsp.data(), rbsp.size());

    SequenceParameterSet sps;
    sps.profile_idc = bits.U(8); // profile_idc: u(8)
    bits.U(8);                   // constraint_set flags, reserved_zero_2bits
    bits.U(8);                   // level_idc: u(8)
    sps.seq_parameter_set_id = bits.Ue();
    if (sps.seq_parameter_set_id >= kMaxSpsCount) return std::nullopt;

    if (HasChromaFormatSyntax(sps.profile_idc)) {
        sps.chroma_format_idc = bits.Ue(); // chroma_format_idc: ue(v), 0..3
        if (sps.chroma_format_idc > 3) return std::nullopt;
        if (sps.chroma_format_idc == 3) sps.separate_colour_plane_flag = bits.Flag();
        const uint32_t bit_depth_luma_minus8 = bits.Ue();
        const uint32_t bit_depth_chroma_minus8 = bits.Ue();
        if (bit_depth_luma_minus8 > 6 || bit_depth_chroma_minus8 > 6) return std::nullopt;
        bits.Flag();       // qpprime_y_zero_transform_bypass_flag
        if (bits.Flag()) { // seq_scaling_matrix_present_flag
            const unsigned lists = sps.chroma_format_idc != 3 ? 8 : 12;
            for (unsigned i = 0; i < lists && !bits.Failed(); ++i)
                if (bits.Flag()) // seq_scaling_list_present_flag[i]
                    SkipScalingList(bits, i < 6 ? 16 : 64);
        }
    }

    const uint32_t log2_max_frame_num_minus4 = bits.Ue(); // 0..12
    if (log2_max_frame_num_minus4 > 12) return std::nullopt;
    sps.log2_max_frame_num = log2_max_frame_num_minus4 + 4;

    sps.pic_order_cnt_type = bits.Ue(); // 0..2
    if (sps.pic_order_cnt_type > 2) return std::nullopt;
    if (sps.pic_order_cnt_type == 0) {
        const uint32_t log2_max_pic_order_cnt_lsb_minus4 = bits.Ue(); // 0..12
        if (log2_max_pic_order_cnt_lsb_minus4 > 12) return std::nullopt;
        sps.log2_max_pic_order_cnt_lsb = log2_max_pic_order_cnt_lsb_minus4 + 4;
    } else if (sps.pic_order_cnt_type == 1) {
        sps.delta_pic_order_always_zero_flag = bits.Flag();
        bits.Se();                                                        // offset_for_non_ref_pic
        bits.Se();                                                        // offset_for_top_to_bottom_field
        const uint32_t num_ref_frames_in_pic_order_cnt_cycle = bits.Ue(); // 0..255
        if (num_ref_frames_in_pic_order_cnt_cycle > 255) return std::nullopt;
        for (uint32_t i = 0; i < num_ref_frames_in_pic_order_cnt_cycle && !bits.Failed(); ++i)
            bits.Se(); // offset_for_ref_frame[i]
    }

    bits.Ue();   // max_num_ref_frames
    bits.Flag(); // gaps_in_frame_num_value_allowed_flag
    const uint32_t pic_width_in_mbs_minus1 = bits.Ue();
    const uint32_t pic_height_in_map_units_minus1 = bits.Ue();
    sps.frame_mbs_only_flag = bits.Flag();
    if (bits.Failed()) return std::nullopt;

    const uint64_t width = (uint64_t{pic_width_in_mbs_minus1} + 1) * 16;
    const uint64_t height = (uint64_t{pic_height_in_map_units_minus1} + 1) * 16 * (sps.frame_mbs_only_flag ? 1 : 2);
    if (width > kMaxPictureSide || height > kMaxPictureSide) return std::nullopt;
    sps.pic_width_in_mbs = pic_width_in_mbs_minus1 + 1;
    sps.pic_height_in_map_units = pic_height_in_map_units_minus1 + 1;
    return sps;
}

std::optional<PictureParameterSet> ParsePictureParameterSet(const uint8_t *nal, size_t size)
{
    if (size < 2 || NalType(nal[0]) != kNalPps || (nal[0] & 0x80)) return std::nullopt;
    std::vector<uint8_t> rbsp;
    UnescapeRbsp(nal + 1, size - 1, kMaxParameterSetBytes, rbsp);
    BitReader bits(rbsp.data(), rbsp.size());

    PictureParameterSet pps;
    pps.pic_parameter_set_id = bits.Ue(); // 0..255
    pps.seq_parameter_set_id = bits.Ue(); // 0..31
    if (pps.pic_parameter_set_id >= kMaxPpsCount || pps.seq_parameter_set_id >= kMaxSpsCount) return std::nullopt;
    pps.entropy_coding_mode_flag = bits.Flag();
    pps.bottom_field_pic_order_in_frame_present_flag = bits.Flag();

    const uint32_t num_slice_groups_minus1 = bits.Ue(); // 0..7
    if (num_slice_groups_minus1 > 7) return std::nullopt;
    if (num_slice_groups_minus1 > 0) {
        const uint32_t slice_group_map_type = bits.Ue(); // 0..6
        if (slice_group_map_type > 6) return std::nullopt;
        if (slice_group_map_type == 0) {
            for (uint32_t g = 0; g <= num_slice_groups_minus1; ++g)
                bits.Ue(); // run_length_minus1[g]
        } else if (slice_group_map_type == 2) {
            for (uint32_t g = 0; g < num_slice_groups_minus1; ++g) {
                bits.Ue(); // top_left[g]
                bits.Ue(); // bottom_right[g]
            }
        } else if (slice_group_map_type >= 3 && slice_group_map_type <= 5) {
            bits.Flag(); // slice_group_change_direction_flag
            bits.Ue();   // slice_group_change_rate_minus1
        } else if (slice_group_map_type == 6) {
            const uint32_t pic_size_in_map_units_minus1 = bits.Ue();
            unsigned idBits = 0; // Ceil(Log2(num_slice_groups_minus1 + 1))
            while ((1u << idBits) < num_slice_groups_minus1 + 1)
                ++idBits;
            bits.Skip(size_t{idBits} * (size_t{pic_size_in_map_units_minus1} + 1)); // slice_group_id[i]
        }
    }
    bits.Ue();   // num_ref_idx_l0_default_active_minus1
    bits.Ue();   // num_ref_idx_l1_default_active_minus1
    bits.Flag(); // weighted_pred_flag
    bits.U(2);   // weighted_bipred_idc
    bits.Se();   // pic_init_qp_minus26
    bits.Se();   // pic_init_qs_minus26
    bits.Se();   // chroma_qp_index_offset
    bits.Flag(); // deblocking_filter_control_present_flag
    bits.Flag(); // constrained_intra_pred_flag
    pps.redundant_pic_cnt_present_flag = bits.Flag();
    if (bits.Failed()) return std::nullopt;
    return pps;
}

void ParameterSetTable::Clear()
{
    for (auto &sps : m_sps)
        sps.reset();
    for (auto &pps : m_pps)
        pps.reset();
}

} // namespace OrvexIPP::Detail

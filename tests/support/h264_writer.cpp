#include "support/h264_writer.h"

#include "support/atom_builder.h"

namespace orvex::test {

void BitWriter::putBit(unsigned bit)
{
    if (m_bitCount % 8 == 0) m_bytes.push_back(0);
    if (bit) m_bytes.back() |= static_cast<uint8_t>(0x80u >> (m_bitCount % 8));
    ++m_bitCount;
}

BitWriter &BitWriter::bits(uint32_t value, unsigned n)
{
    for (unsigned i = n; i > 0; --i)
        putBit((value >> (i - 1)) & 1u);
    return *this;
}

BitWriter &BitWriter::ue(uint32_t value)
{
    const uint64_t codeNum = uint64_t{value} + 1;
    unsigned length = 0;
    while ((codeNum >> (length + 1)) != 0)
        ++length;
    zeros(length);
    for (unsigned i = length + 1; i > 0; --i)
        putBit(static_cast<unsigned>((codeNum >> (i - 1)) & 1u));
    return *this;
}

BitWriter &BitWriter::se(int32_t value)
{
    const int64_t v = value;
    return ue(static_cast<uint32_t>(v > 0 ? 2 * v - 1 : -2 * v));
}

BitWriter &BitWriter::zeros(unsigned n)
{
    for (unsigned i = 0; i < n; ++i)
        putBit(0);
    return *this;
}

BitWriter &BitWriter::trailingBits()
{
    putBit(1);
    while (m_bitCount % 8 != 0)
        putBit(0);
    return *this;
}

std::vector<uint8_t> addEmulationPrevention(const std::vector<uint8_t> &rbsp)
{
    std::vector<uint8_t> out;
    unsigned zeroRun = 0;
    for (uint8_t b : rbsp) {
        if (zeroRun >= 2 && b <= 0x03) {
            out.push_back(0x03);
            zeroRun = 0;
        }
        out.push_back(b);
        zeroRun = b == 0 ? zeroRun + 1 : 0;
    }
    return out;
}

std::vector<uint8_t> makeNalUnit(uint8_t header, const std::vector<uint8_t> &rbsp)
{
    std::vector<uint8_t> nal{header};
    const std::vector<uint8_t> payload = addEmulationPrevention(rbsp);
    nal.insert(nal.end(), payload.begin(), payload.end());
    return nal;
}

namespace {

void writeVui(BitWriter &w, const VuiFields &v)
{
    w.flag(v.aspect_ratio_info_present_flag);
    if (v.aspect_ratio_info_present_flag) {
        w.bits(v.aspect_ratio_idc, 8);
        if (v.aspect_ratio_idc == 255) w.bits(v.sar_width, 16).bits(v.sar_height, 16);
    }
    w.flag(false).flag(v.video_signal_type_present_flag); // no overscan info
    if (v.video_signal_type_present_flag) {
        w.bits(v.video_format, 3).flag(v.video_full_range_flag).flag(v.colour_description_present_flag);
        if (v.colour_description_present_flag)
            w.bits(v.colour_primaries, 8).bits(v.transfer_characteristics, 8).bits(v.matrix_coefficients, 8);
    }
    w.flag(v.chroma_loc_info_present_flag);
    if (v.chroma_loc_info_present_flag)
        w.ue(v.chroma_sample_loc_type_top_field).ue(v.chroma_sample_loc_type_bottom_field);
    w.flag(v.timing_info_present_flag);
    if (v.timing_info_present_flag) w.bits(v.num_units_in_tick, 32).bits(v.time_scale, 32).flag(false);
    if (v.write_tail) w.bits(0xF, 4);
}

bool isHighProfile(uint32_t profile)
{
    return profile == 100 || profile == 110 || profile == 122 || profile == 244;
}

} // namespace

std::vector<uint8_t> buildSps(const SpsFields &f)
{
    BitWriter w;
    w.bits(f.profile_idc, 8).bits(0xC0, 8).bits(30, 8).ue(f.seq_parameter_set_id);
    if (isHighProfile(f.profile_idc)) {
        w.ue(f.chroma_format_idc);
        if (f.chroma_format_idc == 3) w.flag(false); // separate_colour_plane_flag
        w.ue(0).ue(0).flag(false).flag(f.scaling_matrix);
        if (f.scaling_matrix) {
            const unsigned lists = f.chroma_format_idc != 3 ? 8 : 12;
            for (unsigned i = 0; i < lists; ++i) {
                w.flag(true); // seq_scaling_list_present_flag
                for (unsigned j = 0; j < (i < 6 ? 16u : 64u); ++j)
                    w.se(j == 0 ? 8 : 0); // 16 everywhere: delta 8, then 0
            }
        }
    }
    w.ue(f.log2_max_frame_num_minus4).ue(f.pic_order_cnt_type);
    if (f.pic_order_cnt_type == 0) {
        w.ue(f.log2_max_pic_order_cnt_lsb_minus4);
    } else if (f.pic_order_cnt_type == 1) {
        w.flag(f.delta_pic_order_always_zero_flag).se(0).se(0); // offsets for non-reference and bottom fields
        w.ue(static_cast<uint32_t>(f.offset_for_ref_frame.size()));
        for (int32_t offset : f.offset_for_ref_frame)
            w.se(offset);
    }
    w.ue(f.num_ref_frames).flag(false); // no gaps in frame_num
    w.ue(f.pic_width_in_mbs_minus1).ue(f.pic_height_in_map_units_minus1);
    w.flag(f.frame_mbs_only_flag);
    if (!f.frame_mbs_only_flag) w.flag(f.mb_adaptive_frame_field_flag);
    w.flag(true).flag(f.frame_cropping_flag); // direct_8x8_inference_flag
    if (f.frame_cropping_flag) {
        w.ue(f.frame_crop_left_offset).ue(f.frame_crop_right_offset);
        w.ue(f.frame_crop_top_offset).ue(f.frame_crop_bottom_offset);
    }
    w.flag(f.vui.has_value());
    if (f.vui) writeVui(w, *f.vui);
    if (f.trailing_bits) w.trailingBits();
    return makeNalUnit(0x67, w.bytes());
}

std::vector<uint8_t> buildPps(const PpsFields &f)
{
    BitWriter w;
    w.ue(f.pic_parameter_set_id).ue(f.seq_parameter_set_id);
    w.flag(f.entropy_coding_mode_flag).flag(f.pic_order_present_flag).ue(f.num_slice_groups_minus1);
    if (f.num_slice_groups_minus1 > 0) {
        w.ue(f.slice_group_map_type);
        const uint32_t groups = f.num_slice_groups_minus1 + 1;
        switch (f.slice_group_map_type) {
        case 0:
            for (uint32_t g = 0; g < groups; ++g)
                w.ue(3); // run_length_minus1
            break;
        case 2:
            for (uint32_t g = 0; g + 1 < groups; ++g)
                w.ue(0).ue(12); // top_left, bottom_right
            break;
        case 3:
        case 4:
        case 5:
            w.flag(true).ue(4); // slice_group_change_direction_flag, rate
            break;
        case 6: {
            const uint32_t mapUnits = 99;
            w.ue(mapUnits - 1);
            unsigned bits = 0;
            while ((1u << bits) < groups)
                ++bits;
            for (uint32_t i = 0; i < mapUnits; ++i)
                w.bits(i % groups, bits);
            break;
        }
        default:
            break;
        }
    }
    // num_ref_idx_l0/l1_default_active_minus1, weighted prediction, QP
    // offsets, deblocking_filter_control_present_flag, constrained_intra_pred_flag.
    w.ue(0).ue(0).flag(false).bits(0, 2).se(0).se(0).se(0).flag(true).flag(false);
    w.flag(f.redundant_pic_cnt_present_flag);
    if (f.trailing_bits) w.trailingBits();
    return makeNalUnit(0x68, w.bytes());
}

std::vector<uint8_t> buildSlice(const SliceFields &f, const SpsFields &sps, const PpsFields &pps)
{
    BitWriter w;
    w.ue(f.first_mb_in_slice).ue(f.slice_type).ue(f.pic_parameter_set_id);
    w.bits(f.frame_num, sps.log2_max_frame_num_minus4 + 4);
    if (!sps.frame_mbs_only_flag) {
        w.flag(f.field_pic_flag);
        if (f.field_pic_flag) w.flag(f.bottom_field_flag);
    }
    if (f.nal_unit_type == 5) w.ue(f.idr_pic_id);
    if (sps.pic_order_cnt_type == 0) {
        w.bits(f.pic_order_cnt_lsb, sps.log2_max_pic_order_cnt_lsb_minus4 + 4);
        if (pps.pic_order_present_flag && !f.field_pic_flag) w.se(f.delta_pic_order_cnt_bottom);
    }
    if (sps.pic_order_cnt_type == 1 && !sps.delta_pic_order_always_zero_flag) {
        w.se(f.delta_pic_order_cnt[0]);
        if (pps.pic_order_present_flag && !f.field_pic_flag) w.se(f.delta_pic_order_cnt[1]);
    }
    if (pps.redundant_pic_cnt_present_flag) w.ue(f.redundant_pic_cnt);
    w.bits(0xA5C3, 16).trailingBits(); // stands for the rest of the slice
    return makeNalUnit(static_cast<uint8_t>((f.nal_ref_idc << 5) | f.nal_unit_type), w.bytes());
}

std::vector<uint8_t> buildAvcC(const AvcCFields &f)
{
    ByteWriter body;
    body.u8(f.configurationVersion).u8(f.AVCProfileIndication).u8(f.profile_compatibility).u8(f.AVCLevelIndication);
    body.u8(f.byte12).u8(static_cast<uint8_t>(f.byte13_reserved | (f.sps.size() & 0x1F)));
    for (const auto &sps : f.sps)
        body.be16(static_cast<uint16_t>(sps.size())).bytes(sps);
    body.u8(static_cast<uint8_t>(f.pps.size()));
    for (const auto &pps : f.pps)
        body.be16(static_cast<uint16_t>(pps.size())).bytes(pps);
    ByteWriter atom;
    atom.be32(f.atomSize ? static_cast<uint32_t>(*f.atomSize) : static_cast<uint32_t>(body.data().size() + 8));
    atom.be32(f.atomFormat).bytes(body.data());
    return atom.data();
}

} // namespace orvex::test

#include "h264_builders.h"

#include "support/bit_writer.h"

namespace orvex::test {

namespace {

void writeVui(BitWriter &w, const VuiFields &v)
{
    w.flag(v.aspect_ratio_info_present_flag);
    if (v.aspect_ratio_info_present_flag) {
        w.bits(v.aspect_ratio_idc, 8);
        if (v.aspect_ratio_idc == 255) w.bits(v.sar_width, 16).bits(v.sar_height, 16);
    }
    w.flag(v.overscan_info_present_flag);
    if (v.overscan_info_present_flag) w.flag(v.overscan_appropriate_flag);
    w.flag(v.video_signal_type_present_flag);
    if (v.video_signal_type_present_flag) {
        w.bits(v.video_format, 3).flag(v.video_full_range_flag).flag(v.colour_description_present_flag);
        if (v.colour_description_present_flag)
            w.bits(v.colour_primaries, 8).bits(v.transfer_characteristics, 8).bits(v.matrix_coefficients, 8);
    }
    w.flag(v.chroma_loc_info_present_flag);
    if (v.chroma_loc_info_present_flag)
        w.ue(v.chroma_sample_loc_type_top_field).ue(v.chroma_sample_loc_type_bottom_field);
    w.flag(v.timing_info_present_flag);
    if (v.timing_info_present_flag)
        w.bits(v.num_units_in_tick, 32).bits(v.time_scale, 32).flag(v.fixed_frame_rate_flag);
    if (!v.write_tail) return;
    w.flag(v.nal_hrd_parameters_present_flag).flag(v.vcl_hrd_parameters_present_flag);
    w.flag(v.pic_struct_present_flag).flag(v.bitstream_restriction_flag);
}

} // namespace

void appendU16(std::vector<uint8_t> &out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void appendU32(std::vector<uint8_t> &out, uint32_t value)
{
    appendU16(out, value >> 16);
    appendU16(out, value & 0xFFFF);
}

std::vector<uint8_t> buildSps(const SpsFields &f)
{
    BitWriter w;
    w.bits(f.profile_idc, 8);
    w.flag(f.constraint_set0_flag)
        .flag(f.constraint_set1_flag)
        .flag(f.constraint_set2_flag)
        .flag(f.constraint_set3_flag);
    w.bits(0, 4).bits(f.level_idc, 8);
    w.ue(f.seq_parameter_set_id).ue(f.log2_max_frame_num_minus4).ue(f.pic_order_cnt_type);
    if (f.pic_order_cnt_type == 0) {
        w.ue(f.log2_max_pic_order_cnt_lsb_minus4);
    } else if (f.pic_order_cnt_type == 1) {
        w.flag(f.delta_pic_order_always_zero_flag).se(f.offset_for_non_ref_pic).se(f.offset_for_top_to_bottom_field);
        w.ue(static_cast<uint32_t>(f.offset_for_ref_frame.size()));
        for (int32_t offset : f.offset_for_ref_frame)
            w.se(offset);
    }
    w.ue(f.num_ref_frames).flag(f.gaps_in_frame_num_value_allowed_flag);
    w.ue(f.pic_width_in_mbs_minus1).ue(f.pic_height_in_map_units_minus1);
    w.flag(f.frame_mbs_only_flag);
    if (!f.frame_mbs_only_flag) w.flag(f.mb_adaptive_frame_field_flag);
    w.flag(f.direct_8x8_inference_flag).flag(f.frame_cropping_flag);
    if (f.frame_cropping_flag) {
        w.ue(f.frame_crop_left_offset).ue(f.frame_crop_right_offset);
        w.ue(f.frame_crop_top_offset).ue(f.frame_crop_bottom_offset);
    }
    w.flag(f.vui.has_value());
    if (f.vui) writeVui(w, *f.vui);
    if (f.trailing_bits) w.trailingBits();
    return makeNalUnit(f.nal_header, w.bytes());
}

std::vector<uint8_t> buildPps(const PpsFields &f)
{
    BitWriter w;
    w.ue(f.pic_parameter_set_id).ue(f.seq_parameter_set_id);
    w.flag(f.entropy_coding_mode_flag).flag(f.pic_order_present_flag).ue(f.num_slice_groups_minus1);
    // A plausible rest: num_ref_idx_l0/l1_default_active_minus1, weighted
    // prediction, QP offsets and the three closing flags.
    w.ue(0).ue(0).flag(false).bits(0, 2).se(0).se(0).se(0).flag(true).flag(false).flag(false);
    if (f.trailing_bits) w.trailingBits();
    return makeNalUnit(f.nal_header, w.bytes());
}

std::vector<uint8_t> buildAvcC(const AvcCFields &f)
{
    std::vector<uint8_t> body;
    body.push_back(f.configurationVersion);
    body.push_back(f.AVCProfileIndication);
    body.push_back(f.profile_compatibility);
    body.push_back(f.AVCLevelIndication);
    body.push_back(f.byte12);
    body.push_back(static_cast<uint8_t>(f.byte13_reserved | (f.sps.size() & 0x1F)));
    for (const auto &sps : f.sps) {
        appendU16(body, static_cast<uint32_t>(sps.size()));
        body.insert(body.end(), sps.begin(), sps.end());
    }
    body.push_back(static_cast<uint8_t>(f.pps.size()));
    for (const auto &pps : f.pps) {
        appendU16(body, static_cast<uint32_t>(pps.size()));
        body.insert(body.end(), pps.begin(), pps.end());
    }
    std::vector<uint8_t> atom;
    appendU32(atom, f.atomSize ? static_cast<uint32_t>(*f.atomSize) : static_cast<uint32_t>(body.size() + 8));
    appendU32(atom, f.atomFormat);
    atom.insert(atom.end(), body.begin(), body.end());
    return atom;
}

std::vector<uint8_t> buildAvcC(const SpsFields &sps, const PpsFields &pps)
{
    AvcCFields fields;
    fields.AVCProfileIndication = static_cast<uint8_t>(sps.profile_idc);
    fields.AVCLevelIndication = static_cast<uint8_t>(sps.level_idc);
    fields.sps.push_back(buildSps(sps));
    fields.pps.push_back(buildPps(pps));
    return buildAvcC(fields);
}

} // namespace orvex::test

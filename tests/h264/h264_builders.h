// Builders of H.264 parameter sets and 'avcC' records for the tests: each
// field has the name of its syntax element and a default that gives a small
// Baseline picture the parsers accept.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace orvex::test {

struct VuiFields {
    bool aspect_ratio_info_present_flag = false;
    uint32_t aspect_ratio_idc = 1;
    uint32_t sar_width = 0, sar_height = 0;
    bool overscan_info_present_flag = false;
    bool overscan_appropriate_flag = false;
    bool video_signal_type_present_flag = false;
    uint32_t video_format = 5;
    bool video_full_range_flag = false;
    bool colour_description_present_flag = false;
    uint32_t colour_primaries = 2, transfer_characteristics = 2, matrix_coefficients = 2;
    bool chroma_loc_info_present_flag = false;
    uint32_t chroma_sample_loc_type_top_field = 0, chroma_sample_loc_type_bottom_field = 0;
    bool timing_info_present_flag = false;
    uint32_t num_units_in_tick = 1, time_scale = 50;
    bool fixed_frame_rate_flag = false;
    // Fields behind fixed_frame_rate_flag, which the parser never reads.
    bool nal_hrd_parameters_present_flag = false;
    bool vcl_hrd_parameters_present_flag = false;
    bool pic_struct_present_flag = false;
    bool bitstream_restriction_flag = false;
    bool write_tail = true; // false: the VUI ends at fixed_frame_rate_flag (or timing_info_present_flag)
};

struct SpsFields {
    uint8_t nal_header = 0x67;
    uint32_t profile_idc = 66;
    bool constraint_set0_flag = true, constraint_set1_flag = true, constraint_set2_flag = false,
         constraint_set3_flag = false;
    uint32_t level_idc = 30;
    uint32_t seq_parameter_set_id = 0;
    uint32_t log2_max_frame_num_minus4 = 0;
    uint32_t pic_order_cnt_type = 2;
    uint32_t log2_max_pic_order_cnt_lsb_minus4 = 2; // type 0
    bool delta_pic_order_always_zero_flag = false;  // type 1
    int32_t offset_for_non_ref_pic = 0;             // type 1
    int32_t offset_for_top_to_bottom_field = 0;     // type 1
    std::vector<int32_t> offset_for_ref_frame;      // type 1, one per cycle entry
    uint32_t num_ref_frames = 1;
    bool gaps_in_frame_num_value_allowed_flag = false;
    uint32_t pic_width_in_mbs_minus1 = 10;       // 176
    uint32_t pic_height_in_map_units_minus1 = 8; // 144
    bool frame_mbs_only_flag = true;
    bool mb_adaptive_frame_field_flag = false;
    bool direct_8x8_inference_flag = true;
    bool frame_cropping_flag = false;
    uint32_t frame_crop_left_offset = 0, frame_crop_right_offset = 0, frame_crop_top_offset = 0,
             frame_crop_bottom_offset = 0;
    std::optional<VuiFields> vui;
    bool trailing_bits = true;
};

struct PpsFields {
    uint8_t nal_header = 0x68;
    uint32_t pic_parameter_set_id = 0;
    uint32_t seq_parameter_set_id = 0;
    bool entropy_coding_mode_flag = false;
    bool pic_order_present_flag = false;
    uint32_t num_slice_groups_minus1 = 0;
    bool trailing_bits = true;
};

// The NAL unit, header byte included, with emulation prevention applied.
std::vector<uint8_t> buildSps(const SpsFields &fields);
std::vector<uint8_t> buildPps(const PpsFields &fields);

struct AvcCFields {
    uint8_t configurationVersion = 1;
    uint8_t AVCProfileIndication = 66, profile_compatibility = 0xC0, AVCLevelIndication = 30;
    uint8_t byte12 = 0xFF; // reserved bits and lengthSizeMinusOne
    uint8_t byte13_reserved = 0xE0;
    std::vector<std::vector<uint8_t>> sps;
    std::vector<std::vector<uint8_t>> pps;
    std::optional<int32_t> atomSize;  // default: the real size
    uint32_t atomFormat = 0x61766343; // 'avcC'
};

// The whole 'avcC' atom, size field included.
std::vector<uint8_t> buildAvcC(const AvcCFields &fields);

// A record with one SPS and one PPS built from the given fields.
std::vector<uint8_t> buildAvcC(const SpsFields &sps, const PpsFields &pps);

void appendU16(std::vector<uint8_t> &out, uint32_t value);
void appendU32(std::vector<uint8_t> &out, uint32_t value);

} // namespace orvex::test

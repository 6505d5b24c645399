// Writes H.264 syntax for tests: fixed-width and Exp-Golomb fields, NAL units
// with emulation prevention, and parameter sets, slice headers and 'avcC'
// records built from fields named as their syntax elements. The defaults give
// a 176 x 144 Baseline picture that every parser accepts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace orvex::test {

class BitWriter {
public:
    // u(n): the low n bits of value (n from 0 to 32).
    BitWriter &bits(uint32_t value, unsigned n);
    BitWriter &flag(bool value) { return bits(value ? 1 : 0, 1); }
    // ue(v), for values up to 2^32 - 2.
    BitWriter &ue(uint32_t value);
    // se(v), for values from -(2^31 - 1) to 2^31 - 1.
    BitWriter &se(int32_t value);
    // A raw run of n zero bits (to build over-long Exp-Golomb codes).
    BitWriter &zeros(unsigned n);
    // rbsp_trailing_bits: a one bit, then zero bits to the byte boundary.
    BitWriter &trailingBits();

    // The bytes written; a last partial byte is padded with zero bits.
    const std::vector<uint8_t> &bytes() const { return m_bytes; }

private:
    void putBit(unsigned bit);
    std::vector<uint8_t> m_bytes;
    size_t m_bitCount = 0;
};

// Inserts 0x03 wherever two zero bytes are followed by a byte of 0 to 3.
std::vector<uint8_t> addEmulationPrevention(const std::vector<uint8_t> &rbsp);
// The header byte followed by the escaped payload.
std::vector<uint8_t> makeNalUnit(uint8_t header, const std::vector<uint8_t> &rbsp);

struct VuiFields {
    bool aspect_ratio_info_present_flag = false;
    uint32_t aspect_ratio_idc = 1;
    uint32_t sar_width = 0, sar_height = 0;
    bool video_signal_type_present_flag = false;
    uint32_t video_format = 5;
    bool video_full_range_flag = false;
    bool colour_description_present_flag = false;
    uint32_t colour_primaries = 2, transfer_characteristics = 2, matrix_coefficients = 2;
    bool chroma_loc_info_present_flag = false;
    uint32_t chroma_sample_loc_type_top_field = 0, chroma_sample_loc_type_bottom_field = 0;
    bool timing_info_present_flag = false;
    uint32_t num_units_in_tick = 1, time_scale = 50;
    // The HRD, pic_struct and bitstream restriction flags behind a clear
    // fixed_frame_rate_flag, all set; no parser here reads that far.
    bool write_tail = true;
};

struct SpsFields {
    uint32_t profile_idc = 66; // constraint_set0 and 1 set, level 3.0
    uint32_t seq_parameter_set_id = 0;
    uint32_t chroma_format_idc = 1; // High profiles only, as are the two below
    bool scaling_matrix = false;    // every list present, flat
    uint32_t log2_max_frame_num_minus4 = 0;
    uint32_t pic_order_cnt_type = 2;
    uint32_t log2_max_pic_order_cnt_lsb_minus4 = 2; // type 0
    bool delta_pic_order_always_zero_flag = false;  // type 1, as is the one below
    std::vector<int32_t> offset_for_ref_frame{};    // one per cycle entry
    uint32_t num_ref_frames = 1;
    uint32_t pic_width_in_mbs_minus1 = 10;       // 176
    uint32_t pic_height_in_map_units_minus1 = 8; // 144
    bool frame_mbs_only_flag = true;
    bool mb_adaptive_frame_field_flag = false;
    bool frame_cropping_flag = false;
    uint32_t frame_crop_left_offset = 0, frame_crop_right_offset = 0, frame_crop_top_offset = 0,
             frame_crop_bottom_offset = 0;
    std::optional<VuiFields> vui{};
    bool trailing_bits = true;
};

struct PpsFields {
    uint32_t pic_parameter_set_id = 0;
    uint32_t seq_parameter_set_id = 0;
    bool entropy_coding_mode_flag = false;
    bool pic_order_present_flag = false; // bottom_field_pic_order_in_frame_present_flag
    uint32_t num_slice_groups_minus1 = 0;
    uint32_t slice_group_map_type = 0;
    bool redundant_pic_cnt_present_flag = false;
    bool trailing_bits = true;
};

struct SliceFields {
    uint32_t nal_unit_type = 1;
    uint32_t nal_ref_idc = 2;
    uint32_t first_mb_in_slice = 0;
    uint32_t slice_type = 5;
    uint32_t pic_parameter_set_id = 0;
    uint32_t frame_num = 0;
    bool field_pic_flag = false;
    bool bottom_field_flag = false;
    uint32_t idr_pic_id = 0;
    uint32_t pic_order_cnt_lsb = 0;
    int32_t delta_pic_order_cnt_bottom = 0;
    int32_t delta_pic_order_cnt[2] = {0, 0};
    uint32_t redundant_pic_cnt = 0;
};

// NAL units, header byte included.
std::vector<uint8_t> buildSps(const SpsFields &fields);
std::vector<uint8_t> buildPps(const PpsFields &fields);
// The slice header up to redundant_pic_cnt, then a few bits standing for the
// rest; sps and pps must be the sets the slice refers to.
std::vector<uint8_t> buildSlice(const SliceFields &fields, const SpsFields &sps, const PpsFields &pps);

struct AvcCFields {
    uint8_t configurationVersion = 1;
    uint8_t AVCProfileIndication = 66, profile_compatibility = 0xC0, AVCLevelIndication = 30;
    uint8_t byte12 = 0xFF; // reserved bits and lengthSizeMinusOne
    uint8_t byte13_reserved = 0xE0;
    std::vector<std::vector<uint8_t>> sps{};
    std::vector<std::vector<uint8_t>> pps{};
    std::optional<int32_t> atomSize{}; // default: the real size
    uint32_t atomFormat = 0x61766343;  // 'avcC'
};

// The whole 'avcC' atom, size field included (qt::avcC writes a sound one).
std::vector<uint8_t> buildAvcC(const AvcCFields &fields);

} // namespace orvex::test

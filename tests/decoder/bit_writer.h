// Builds H.264 syntax for tests: fixed-width and Exp-Golomb fields, the
// trailing bits, and the NAL unit with emulation prevention bytes.
#ifndef ORVEX_TESTS_DECODER_BIT_WRITER_H
#define ORVEX_TESTS_DECODER_BIT_WRITER_H

#include <cstdint>
#include <vector>

namespace declib_test {

class BitWriter {
public:
    BitWriter &U(unsigned count, uint32_t value);
    BitWriter &Flag(bool value) { return U(1, value ? 1 : 0); }
    BitWriter &Ue(uint32_t value);
    BitWriter &Se(int32_t value);
    // rbsp_trailing_bits: a 1 and zeros up to the byte boundary.
    BitWriter &Trailing();

    const std::vector<uint8_t> &Bytes() const { return m_bytes; }
    // The NAL unit: header byte, then the payload with 00 00 03 inserted
    // wherever two zeros precede a byte of 0 to 3.
    std::vector<uint8_t> Nal(uint8_t header) const;

private:
    std::vector<uint8_t> m_bytes;
    unsigned m_bit = 0; // bits used in the last byte
};

// Parameter sets and slices with the fields the decoder reads; the rest of
// each structure is filled with plain values.
struct SpsFields {
    uint32_t profile_idc = 66;
    uint32_t seq_parameter_set_id = 0;
    uint32_t chroma_format_idc = 1; // written for the high profiles only
    bool scaling_matrix = false;    // high profiles: every list present, flat
    uint32_t log2_max_frame_num_minus4 = 0;
    uint32_t pic_order_cnt_type = 0;
    uint32_t log2_max_pic_order_cnt_lsb_minus4 = 2;
    bool delta_pic_order_always_zero_flag = false;
    uint32_t num_ref_frames_in_pic_order_cnt_cycle = 1;
    uint32_t pic_width_in_mbs_minus1 = 10;
    uint32_t pic_height_in_map_units_minus1 = 8;
    bool frame_mbs_only_flag = true;
};

struct PpsFields {
    uint32_t pic_parameter_set_id = 0;
    uint32_t seq_parameter_set_id = 0;
    bool bottom_field_pic_order_in_frame_present_flag = false;
    uint32_t num_slice_groups_minus1 = 0;
    uint32_t slice_group_map_type = 0;
    bool redundant_pic_cnt_present_flag = false;
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

std::vector<uint8_t> MakeSps(const SpsFields &f);
std::vector<uint8_t> MakePps(const PpsFields &f);
// The slice header as far as the fields above, then a few bits of data; sps
// and pps must be the sets the slice refers to.
std::vector<uint8_t> MakeSlice(const SliceFields &f, const SpsFields &sps, const PpsFields &pps);

} // namespace declib_test

#endif

#include "bit_writer.h"

namespace declib_test {

BitWriter &BitWriter::U(unsigned count, uint32_t value)
{
    for (unsigned i = count; i-- > 0;) {
        if (m_bit == 0) m_bytes.push_back(0);
        if ((value >> i) & 1u) m_bytes.back() |= static_cast<uint8_t>(0x80u >> m_bit);
        m_bit = (m_bit + 1) & 7;
    }
    return *this;
}

BitWriter &BitWriter::Ue(uint32_t value)
{
    const uint64_t code = uint64_t{value} + 1;
    unsigned bits = 0;
    while ((code >> bits) > 1)
        ++bits;
    U(bits, 0);
    // code has bits + 1 significant bits; write them high to low.
    for (unsigned i = bits + 1; i-- > 0;)
        U(1, static_cast<uint32_t>((code >> i) & 1u));
    return *this;
}

BitWriter &BitWriter::Se(int32_t value)
{
    const int64_t v = value;
    return Ue(static_cast<uint32_t>(v > 0 ? 2 * v - 1 : -2 * v));
}

BitWriter &BitWriter::Trailing()
{
    U(1, 1);
    while (m_bit != 0)
        U(1, 0);
    return *this;
}

std::vector<uint8_t> BitWriter::Nal(uint8_t header) const
{
    std::vector<uint8_t> nal{header};
    unsigned zeros = 0;
    for (uint8_t b : m_bytes) {
        if (zeros >= 2 && b <= 3) {
            nal.push_back(3);
            zeros = 0;
        }
        nal.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
    return nal;
}

std::vector<uint8_t> MakeSps(const SpsFields &f)
{
    BitWriter w;
    w.U(8, f.profile_idc).U(8, 0).U(8, 30).Ue(f.seq_parameter_set_id);
    const bool high = f.profile_idc == 100 || f.profile_idc == 110 || f.profile_idc == 122 || f.profile_idc == 244;
    if (high) {
        w.Ue(f.chroma_format_idc);
        if (f.chroma_format_idc == 3) w.Flag(false); // separate_colour_plane_flag
        w.Ue(0).Ue(0).Flag(false).Flag(f.scaling_matrix);
        if (f.scaling_matrix) {
            const unsigned lists = f.chroma_format_idc != 3 ? 8 : 12;
            for (unsigned i = 0; i < lists; ++i) {
                w.Flag(true); // seq_scaling_list_present_flag
                const unsigned size = i < 6 ? 16 : 64;
                for (unsigned j = 0; j < size; ++j)
                    w.Se(j == 0 ? 8 : 0); // 16 everywhere: delta 8, then 0
            }
        }
    }
    w.Ue(f.log2_max_frame_num_minus4).Ue(f.pic_order_cnt_type);
    if (f.pic_order_cnt_type == 0) {
        w.Ue(f.log2_max_pic_order_cnt_lsb_minus4);
    } else if (f.pic_order_cnt_type == 1) {
        w.Flag(f.delta_pic_order_always_zero_flag).Se(0).Se(0).Ue(f.num_ref_frames_in_pic_order_cnt_cycle);
        for (uint32_t i = 0; i < f.num_ref_frames_in_pic_order_cnt_cycle; ++i)
            w.Se(2);
    }
    w.Ue(1).Flag(false).Ue(f.pic_width_in_mbs_minus1).Ue(f.pic_height_in_map_units_minus1).Flag(f.frame_mbs_only_flag);
    if (!f.frame_mbs_only_flag) w.Flag(false);       // mb_adaptive_frame_field_flag
    w.Flag(true).Flag(false).Flag(false).Trailing(); // direct_8x8_inference, cropping, vui
    return w.Nal(0x67);
}

std::vector<uint8_t> MakePps(const PpsFields &f)
{
    BitWriter w;
    w.Ue(f.pic_parameter_set_id).Ue(f.seq_parameter_set_id).Flag(false);
    w.Flag(f.bottom_field_pic_order_in_frame_present_flag).Ue(f.num_slice_groups_minus1);
    if (f.num_slice_groups_minus1 > 0) {
        w.Ue(f.slice_group_map_type);
        switch (f.slice_group_map_type) {
        case 0:
            for (uint32_t g = 0; g <= f.num_slice_groups_minus1; ++g)
                w.Ue(3);
            break;
        case 2:
            for (uint32_t g = 0; g < f.num_slice_groups_minus1; ++g)
                w.Ue(0).Ue(12);
            break;
        case 3:
        case 4:
        case 5:
            w.Flag(true).Ue(4);
            break;
        case 6: {
            const uint32_t mapUnits = 99;
            w.Ue(mapUnits - 1);
            unsigned bits = 0;
            while ((1u << bits) < f.num_slice_groups_minus1 + 1)
                ++bits;
            for (uint32_t i = 0; i < mapUnits; ++i)
                w.U(bits, i % (f.num_slice_groups_minus1 + 1));
            break;
        }
        default:
            break;
        }
    }
    w.Ue(0).Ue(0).Flag(false).U(2, 0).Se(0).Se(0).Se(0).Flag(true).Flag(false);
    w.Flag(f.redundant_pic_cnt_present_flag).Trailing();
    return w.Nal(0x68);
}

std::vector<uint8_t> MakeSlice(const SliceFields &f, const SpsFields &sps, const PpsFields &pps)
{
    BitWriter w;
    w.Ue(f.first_mb_in_slice).Ue(f.slice_type).Ue(f.pic_parameter_set_id);
    w.U(sps.log2_max_frame_num_minus4 + 4, f.frame_num);
    if (!sps.frame_mbs_only_flag) {
        w.Flag(f.field_pic_flag);
        if (f.field_pic_flag) w.Flag(f.bottom_field_flag);
    }
    if (f.nal_unit_type == 5) w.Ue(f.idr_pic_id);
    if (sps.pic_order_cnt_type == 0) {
        w.U(sps.log2_max_pic_order_cnt_lsb_minus4 + 4, f.pic_order_cnt_lsb);
        if (pps.bottom_field_pic_order_in_frame_present_flag && !f.field_pic_flag) w.Se(f.delta_pic_order_cnt_bottom);
    }
    if (sps.pic_order_cnt_type == 1 && !sps.delta_pic_order_always_zero_flag) {
        w.Se(f.delta_pic_order_cnt[0]);
        if (pps.bottom_field_pic_order_in_frame_present_flag && !f.field_pic_flag) w.Se(f.delta_pic_order_cnt[1]);
    }
    if (pps.redundant_pic_cnt_present_flag) w.Ue(f.redundant_pic_cnt);
    w.U(16, 0xA5C3).Trailing(); // stands for the rest of the slice
    return w.Nal(static_cast<uint8_t>((f.nal_ref_idc << 5) | f.nal_unit_type));
}

} // namespace declib_test

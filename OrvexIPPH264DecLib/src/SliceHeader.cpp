#include "SliceHeader.h"

#include "BitReader.h"
#include "NalUnit.h"

#include <vector>

namespace OrvexIPP::Detail {

namespace {

// The fields parsed here fit in far fewer bytes than this.
constexpr size_t kSliceHeaderBytes = 64;

} // namespace

std::optional<SliceHeader> ParseSliceHeader(const uint8_t *nal, size_t size, const ParameterSetTable &sets)
{
    if (size < 2 || ForbiddenBitSet(nal[0]) || !IsSliceStart(NalType(nal[0]))) return std::nullopt;
    SliceHeader sh;
    sh.nal_unit_type = NalType(nal[0]);
    sh.nal_ref_idc = NalRefIdc(nal[0]);
    if (sh.IdrPicFlag() && sh.nal_ref_idc == 0) return std::nullopt;

    std::vector<uint8_t> rbsp;
    UnescapeRbsp(nal + 1, size - 1, kSliceHeaderBytes, rbsp);
    BitReader bits(rbsp.data(), rbsp.size());

    sh.first_mb_in_slice = bits.Ue();
    sh.slice_type = bits.Ue(); // 0..9
    sh.pic_parameter_set_id = bits.Ue();
    if (bits.Failed() || sh.slice_type > 9) return std::nullopt;
    // An IDR picture holds only I and SI slices.
    if (sh.IdrPicFlag() && sh.slice_type % 5 != 2 && sh.slice_type % 5 != 4) return std::nullopt;
    const PictureParameterSet *pps = sets.Pps(sh.pic_parameter_set_id);
    const SequenceParameterSet *sps = pps ? sets.Sps(pps->seq_parameter_set_id) : nullptr;
    if (!sps) return std::nullopt;
    sh.pic_order_cnt_type = sps->pic_order_cnt_type;

    if (sps->separate_colour_plane_flag && bits.U(2) > 2) // colour_plane_id
        return std::nullopt;
    sh.frame_num = bits.U(sps->log2_max_frame_num);
    if (!sps->frame_mbs_only_flag) {
        sh.field_pic_flag = bits.Flag();
        if (sh.field_pic_flag) sh.bottom_field_flag = bits.Flag();
    }
    const uint32_t picSizeInMbs = sps->FrameSizeInMbs() / (sh.field_pic_flag ? 2 : 1);
    if (sh.first_mb_in_slice >= picSizeInMbs) return std::nullopt;
    if (sh.IdrPicFlag()) {
        sh.idr_pic_id = bits.Ue(); // 0..65535
        if (sh.idr_pic_id > 65535) return std::nullopt;
    }
    if (sps->pic_order_cnt_type == 0) {
        sh.pic_order_cnt_lsb = bits.U(sps->log2_max_pic_order_cnt_lsb);
        if (pps->bottom_field_pic_order_in_frame_present_flag && !sh.field_pic_flag)
            sh.delta_pic_order_cnt_bottom = bits.Se();
    }
    if (sps->pic_order_cnt_type == 1 && !sps->delta_pic_order_always_zero_flag) {
        sh.delta_pic_order_cnt[0] = bits.Se();
        if (pps->bottom_field_pic_order_in_frame_present_flag && !sh.field_pic_flag)
            sh.delta_pic_order_cnt[1] = bits.Se();
    }
    if (pps->redundant_pic_cnt_present_flag) {
        sh.redundant_pic_cnt = bits.Ue(); // 0..127
        if (sh.redundant_pic_cnt > 127) return std::nullopt;
    }
    if (bits.Failed()) return std::nullopt;
    return sh;
}

bool StartsNewPicture(const SliceHeader &prev, const SliceHeader &cur)
{
    // A redundant coded picture belongs to the access unit of its primary.
    if (cur.redundant_pic_cnt > 0) return false;
    if (cur.first_mb_in_slice == 0) return true;
    if (cur.frame_num != prev.frame_num || cur.pic_parameter_set_id != prev.pic_parameter_set_id ||
        cur.field_pic_flag != prev.field_pic_flag)
        return true;
    if (cur.field_pic_flag && prev.field_pic_flag && cur.bottom_field_flag != prev.bottom_field_flag) return true;
    if (cur.nal_ref_idc != prev.nal_ref_idc && (cur.nal_ref_idc == 0 || prev.nal_ref_idc == 0)) return true;
    if (cur.pic_order_cnt_type == 0 && prev.pic_order_cnt_type == 0 &&
        (cur.pic_order_cnt_lsb != prev.pic_order_cnt_lsb ||
         cur.delta_pic_order_cnt_bottom != prev.delta_pic_order_cnt_bottom))
        return true;
    if (cur.pic_order_cnt_type == 1 && prev.pic_order_cnt_type == 1 &&
        (cur.delta_pic_order_cnt[0] != prev.delta_pic_order_cnt[0] ||
         cur.delta_pic_order_cnt[1] != prev.delta_pic_order_cnt[1]))
        return true;
    if (cur.IdrPicFlag() != prev.IdrPicFlag()) return true;
    return cur.IdrPicFlag() && prev.IdrPicFlag() && cur.idr_pic_id != prev.idr_pic_id;
}

} // namespace OrvexIPP::Detail

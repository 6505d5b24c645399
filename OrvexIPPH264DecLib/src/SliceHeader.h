// The start of a slice header, as far as the fields that tell whether a
// slice begins a new primary coded picture.
#ifndef ORVEX_DECLIB_SLICE_HEADER_H
#define ORVEX_DECLIB_SLICE_HEADER_H

#include "ParameterSets.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace OrvexIPP::Detail {

struct SliceHeader {
    uint32_t nal_unit_type = 0;
    uint32_t nal_ref_idc = 0;
    uint32_t first_mb_in_slice = 0;
    uint32_t slice_type = 0;
    uint32_t pic_parameter_set_id = 0;
    uint32_t frame_num = 0;
    bool field_pic_flag = false;
    bool bottom_field_flag = false;
    uint32_t idr_pic_id = 0;
    uint32_t pic_order_cnt_lsb = 0;
    int32_t delta_pic_order_cnt_bottom = 0;
    int32_t delta_pic_order_cnt[2] = {0, 0};
    uint32_t redundant_pic_cnt = 0;
    uint32_t pic_order_cnt_type = 0; // of the active SPS

    bool IdrPicFlag() const { return nal_unit_type == 5; }
};

// Parses the slice unit nal (header byte included) against the known
// parameter sets. Refuses (nullopt) a unit whose header cannot be right: an
// unknown parameter set, a field out of its range, a unit that ends early.
std::optional<SliceHeader> ParseSliceHeader(const uint8_t *nal, size_t size, const ParameterSetTable &sets);

// True when cur is the first slice of a new primary coded picture after a
// picture whose last slice was prev: the comparisons of the standard, and
// also a slice that starts again at macroblock 0.
bool StartsNewPicture(const SliceHeader &prev, const SliceHeader &cur);

} // namespace OrvexIPP::Detail

#endif

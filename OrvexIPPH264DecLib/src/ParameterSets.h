// The fields of the sequence and picture parameter sets that finding the
// boundaries of access units needs, and the tables that hold them by id.
#ifndef ORVEX_DECLIB_PARAMETER_SETS_H
#define ORVEX_DECLIB_PARAMETER_SETS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace OrvexIPP::Detail {

inline constexpr uint32_t kMaxSpsCount = 32;
inline constexpr uint32_t kMaxPpsCount = 256;
// Largest picture side accepted, in pixels.
inline constexpr uint32_t kMaxPictureSide = 16384;

struct SequenceParameterSet {
    uint32_t profile_idc = 0;
    uint32_t seq_parameter_set_id = 0;
    uint32_t chroma_format_idc = 1;
    bool separate_colour_plane_flag = false;
    uint32_t log2_max_frame_num = 4;
    uint32_t pic_order_cnt_type = 0;
    uint32_t log2_max_pic_order_cnt_lsb = 4;
    bool delta_pic_order_always_zero_flag = false;
    uint32_t pic_width_in_mbs = 0;
    uint32_t pic_height_in_map_units = 0;
    bool frame_mbs_only_flag = true;

    // Macroblocks in a frame.
    uint32_t FrameSizeInMbs() const
    {
        return pic_width_in_mbs * pic_height_in_map_units * (frame_mbs_only_flag ? 1 : 2);
    }
};

struct PictureParameterSet {
    uint32_t pic_parameter_set_id = 0;
    uint32_t seq_parameter_set_id = 0;
    bool entropy_coding_mode_flag = false;
    bool bottom_field_pic_order_in_frame_present_flag = false;
    bool redundant_pic_cnt_present_flag = false;
};

// Both parsers take the whole NAL unit (header byte included) and refuse a
// unit of another type, a field out of its range, or a unit that ends early.
std::optional<SequenceParameterSet> ParseSequenceParameterSet(const uint8_t *nal, size_t size);
std::optional<PictureParameterSet> ParsePictureParameterSet(const uint8_t *nal, size_t size);

class ParameterSetTable {
public:
    void Store(const SequenceParameterSet &sps) { m_sps[sps.seq_parameter_set_id] = sps; }
    void Store(const PictureParameterSet &pps) { m_pps[pps.pic_parameter_set_id] = pps; }
    const SequenceParameterSet *Sps(uint32_t id) const
    {
        return id < kMaxSpsCount && m_sps[id] ? &*m_sps[id] : nullptr;
    }
    const PictureParameterSet *Pps(uint32_t id) const { return id < kMaxPpsCount && m_pps[id] ? &*m_pps[id] : nullptr; }
    void Clear();

private:
    std::array<std::optional<SequenceParameterSet>, kMaxSpsCount> m_sps;
    std::array<std::optional<PictureParameterSet>, kMaxPpsCount> m_pps;
};

} // namespace OrvexIPP::Detail

#endif

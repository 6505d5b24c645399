// The VUI parameters of a sequence parameter set. Only the fields up to
// fixed_frame_rate_flag are read; the rest keep the values H.264 infers when
// they are absent.
#pragma once

#include <windows.h>

class CMyBitReader;

class CMyH264VUI {
public:
    CMyH264VUI() = default;

    // Reads the VUI fields from aspect_ratio_info_present_flag up to
    // fixed_frame_rate_flag. Throws a refusal text if the bits run out.
    void Parse(CMyBitReader &reader);

    BYTE m_aspect_ratio_info_present_flag = 0;
    BYTE m_aspect_ratio_idc = 0;
    WORD m_sar_width = 0;
    WORD m_sar_height = 0;

    BYTE m_overscan_info_present_flag = 0;
    BYTE m_overscan_appropriate_flag = 0;

    BYTE m_video_signal_type_present_flag = 0;
    BYTE m_video_format = 5; // unspecified
    BYTE m_video_full_range_flag = 0;
    BYTE m_colour_description_present_flag = 0;
    BYTE m_colour_primaries = 2; // unspecified
    BYTE m_transfer_characteristics = 2;
    BYTE m_matrix_coefficients = 2;

    BYTE m_chroma_loc_info_present_flag = 0;
    DWORD m_chroma_sample_loc_type_top_field = 0;
    DWORD m_chroma_sample_loc_type_bottom_field = 0;

    BYTE m_timing_info_present_flag = 0;
    DWORD m_num_units_in_tick = 0;
    DWORD m_time_scale = 0;
    BYTE m_fixed_frame_rate_flag = 0;

    // Never read: the inferred values of an absent field.
    BYTE m_nal_hrd_parameters_present_flag = 0;
    BYTE m_vcl_hrd_parameters_present_flag = 0;
    BYTE m_low_delay_hrd_flag = 0;
    BYTE m_pic_struct_present_flag = 0;
    BYTE m_bitstream_restriction_flag = 0;
    BYTE m_motion_vectors_over_pic_boundaries_flag = 1;
    DWORD m_max_bytes_per_pic_denom = 2;
    DWORD m_max_bits_per_mb_denom = 1;
    DWORD m_log2_max_mv_length_horizontal = 16;
    DWORD m_log2_max_mv_length_vertical = 16;
    DWORD m_num_reorder_frames = 0;
    DWORD m_max_dec_frame_buffering = 0;

    static constexpr BYTE kExtendedSAR = 255;
};

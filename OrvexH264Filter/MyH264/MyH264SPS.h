// One sequence parameter set: an owned copy of the NAL unit and the leading
// fields the decode path needs. Construction parses at once and throws a
// refusal text (MyH264Refusals.h) for a set this system does not serve:
// anything but Baseline or Main profile, interlaced coding, out-of-range ids,
// or a set that is truncated or describes an impossible picture.
#pragma once

#include "MyH264/MyH264VUI.h"

#include <windows.h>

#include <memory>

class CMyBitReader;

class CMyH264SPS {
public:
    // Copies size bytes of the NAL unit (header byte included) and parses them.
    CMyH264SPS(WORD size, const BYTE *pBytes);

    CMyH264SPS(const CMyH264SPS &) = delete;
    CMyH264SPS &operator=(const CMyH264SPS &) = delete;

    // Coded width and height in pixels, whether the set crops, and the
    // displayed part of the picture in pixels (the whole picture without
    // cropping). Accepted sets always give a non-empty rectangle.
    void GetPictureRect(DWORD *pWidth, DWORD *pHeight, BOOL *pCropping, RECT *pCrop) const;

    const CMyH264VUI *GetVUI() const { return m_pVUI.get(); }
    // Replaces (and destroys) the VUI held before; null removes it.
    void SetVUI(std::unique_ptr<CMyH264VUI> pVUI) { m_pVUI = std::move(pVUI); }

    WORD m_size = 0;
    std::unique_ptr<BYTE[]> m_pData; // the NAL unit as it came, emulation-prevention bytes included

    BYTE m_profile_idc = 0;
    BYTE m_constraint_set0_flag = 0;
    BYTE m_constraint_set1_flag = 0;
    BYTE m_constraint_set2_flag = 0;
    BYTE m_constraint_set3_flag = 0;
    BYTE m_level_idc = 0;
    DWORD m_seq_parameter_set_id = 0xFFFFFFFF;
    DWORD m_chromaFormat = eChromaFormat_420; // Baseline and Main are 4:2:0 only
    DWORD m_log2_max_frame_num_minus4 = 0xFFFFFFFF;
    DWORD m_pic_order_cnt_type = 0;
    DWORD m_num_ref_frames = 0;
    BYTE m_gaps_in_frame_num_value_allowed_flag = 0;
    DWORD m_pic_width_in_mbs_minus1 = 0;
    DWORD m_pic_height_in_map_units_minus1 = 0;
    BYTE m_frame_mbs_only_flag = 0;
    BYTE m_direct_8x8_inference_flag = 1;
    BYTE m_frame_cropping_flag = 0;
    DWORD m_frame_crop_left_offset = 0;
    DWORD m_frame_crop_right_offset = 0;
    DWORD m_frame_crop_top_offset = 0;
    DWORD m_frame_crop_bottom_offset = 0;

    enum EChromaFormat : DWORD {
        eChromaFormat_400 = 0,
        eChromaFormat_420 = 1,
        eChromaFormat_422 = 2,
        eChromaFormat_444 = 3
    };

    static constexpr BYTE kProfileBaseline = 66;
    static constexpr BYTE kProfileMain = 77;

private:
    void Parse(CMyBitReader &reader);
    void CheckPictureSize() const;

    std::unique_ptr<CMyH264VUI> m_pVUI;
};

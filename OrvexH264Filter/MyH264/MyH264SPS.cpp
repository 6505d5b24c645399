#include "MyH264/MyH264SPS.h"

#include "MyH264/MyBitReader.h"
#include "MyH264/MyH264Refusals.h"
#include "MyH264/MyRbsp.h"
#include "common/MyTrace.h"

#include <cstring>

namespace {

// The largest frame any H.264 level allows (level 6.2): 139264 macroblocks,
// at most sqrt(8 * 139264) macroblocks on a side. Larger sizes cannot come
// from a real encoder and would overflow the pixel sizes derived from them.
constexpr ULONGLONG kMaxFrameMbs = 139264;
constexpr ULONGLONG kMaxSideMbs = 1055;

} // namespace

CMyH264SPS::CMyH264SPS(WORD size, const BYTE *pBytes) : m_size(size)
{
    if (size == 0 || !pBytes) throw MyH264Refusal::kEmptyNalUnit;
    m_pData = std::make_unique<BYTE[]>(size);
    std::memcpy(m_pData.get(), pBytes, size);

    // The header byte is skipped unread; the payload is parsed without its
    // emulation-prevention bytes.
    const CMyRbsp rbsp(m_pData.get(), size);
    CMyBitReader reader(rbsp.Data(), rbsp.Size());
    Parse(reader);
}

void CMyH264SPS::Parse(CMyBitReader &reader)
{
    m_profile_idc = static_cast<BYTE>(reader.ReadBits(8)); // u(8)
    if (m_profile_idc != kProfileBaseline && m_profile_idc != kProfileMain) {
        MyTrace("m_profile_idc is %u. \n", static_cast<unsigned>(m_profile_idc));
        throw MyH264Refusal::kProfile;
    }
    m_constraint_set0_flag = static_cast<BYTE>(reader.ReadBit()); // u(1)
    m_constraint_set1_flag = static_cast<BYTE>(reader.ReadBit()); // u(1)
    m_constraint_set2_flag = static_cast<BYTE>(reader.ReadBit()); // u(1)
    m_constraint_set3_flag = static_cast<BYTE>(reader.ReadBit()); // u(1)
    reader.ReadBits(4);                                           // reserved_zero_4bits: u(4)
    m_level_idc = static_cast<BYTE>(reader.ReadBits(8));          // u(8)

    m_seq_parameter_set_id = reader.ReadUE(); // ue(v)
    if (m_seq_parameter_set_id > 31) throw MyH264Refusal::kSpsId;

    m_log2_max_frame_num_minus4 = reader.ReadUE(); // ue(v)
    if (m_log2_max_frame_num_minus4 > 12) throw MyH264Refusal::kLog2MaxFrameNum;

    m_pic_order_cnt_type = reader.ReadUE(); // ue(v)
    if (m_pic_order_cnt_type == 0) {
        reader.ReadUE(); // log2_max_pic_order_cnt_lsb_minus4: ue(v)
    } else if (m_pic_order_cnt_type == 1) {
        reader.ReadBit();                    // delta_pic_order_always_zero_flag: u(1)
        reader.ReadSE();                     // offset_for_non_ref_pic: se(v)
        reader.ReadSE();                     // offset_for_top_to_bottom_field: se(v)
        const DWORD cycle = reader.ReadUE(); // num_ref_frames_in_pic_order_cnt_cycle: ue(v)
        for (DWORD i = 0; i < cycle; ++i) {
            reader.ReadSE(); // offset_for_ref_frame[i]: se(v); a cycle longer than the set runs out of bits
        }
    }

    m_num_ref_frames = reader.ReadUE();                                           // ue(v)
    m_gaps_in_frame_num_value_allowed_flag = static_cast<BYTE>(reader.ReadBit()); // u(1)
    m_pic_width_in_mbs_minus1 = reader.ReadUE();                                  // ue(v)
    m_pic_height_in_map_units_minus1 = reader.ReadUE();                           // ue(v)
    m_frame_mbs_only_flag = static_cast<BYTE>(reader.ReadBit());                  // u(1)
    if (!m_frame_mbs_only_flag) reader.ReadBit();                                 // mb_adaptive_frame_field_flag: u(1)
    m_direct_8x8_inference_flag = static_cast<BYTE>(reader.ReadBit());            // u(1)
    m_frame_cropping_flag = static_cast<BYTE>(reader.ReadBit());                  // u(1)
    if (m_frame_cropping_flag) {
        m_frame_crop_left_offset = reader.ReadUE();   // ue(v)
        m_frame_crop_right_offset = reader.ReadUE();  // ue(v)
        m_frame_crop_top_offset = reader.ReadUE();    // ue(v)
        m_frame_crop_bottom_offset = reader.ReadUE(); // ue(v)
    }

    if (reader.ReadBit()) { // vui_parameters_present_flag: u(1)
        auto pVUI = std::make_unique<CMyH264VUI>();
        pVUI->Parse(reader);
        SetVUI(std::move(pVUI));
    }

    // Interlaced streams are read whole before they are refused.
    if (!m_frame_mbs_only_flag) {
        MyTrace("m_frame_mbs_only_flag is false. \n");
        throw MyH264Refusal::kFrameMbsOnly;
    }
    CheckPictureSize();
}

void CMyH264SPS::CheckPictureSize() const
{
    const ULONGLONG widthMbs = ULONGLONG{m_pic_width_in_mbs_minus1} + 1;
    const ULONGLONG heightMbs = ULONGLONG{m_pic_height_in_map_units_minus1} + 1;
    if (widthMbs > kMaxSideMbs || heightMbs > kMaxSideMbs || widthMbs * heightMbs > kMaxFrameMbs)
        throw MyH264Refusal::kPictureTooLarge;
    if (!m_frame_cropping_flag) return;
    // The crop unit of a 4:2:0 frame is 2 in both directions.
    const ULONGLONG horizontal = 2 * (ULONGLONG{m_frame_crop_left_offset} + m_frame_crop_right_offset);
    const ULONGLONG vertical = 2 * (ULONGLONG{m_frame_crop_top_offset} + m_frame_crop_bottom_offset);
    if (horizontal >= widthMbs * 16 || vertical >= heightMbs * 16) throw MyH264Refusal::kCropTooLarge;
}

void CMyH264SPS::GetPictureRect(DWORD *pWidth, DWORD *pHeight, BOOL *pCropping, RECT *pCrop) const
{
    // An accepted set has frame macroblocks only, so map units are macroblock
    // rows, and its sizes are bounded: none of this can wrap.
    const DWORD width = (m_pic_width_in_mbs_minus1 + 1) * 16;
    const DWORD height = (m_pic_height_in_map_units_minus1 + 1) * 16;
    RECT crop = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    if (m_frame_cropping_flag) {
        crop.left = static_cast<LONG>(2 * m_frame_crop_left_offset);
        crop.right = static_cast<LONG>(width - 2 * m_frame_crop_right_offset);
        crop.top = static_cast<LONG>(2 * m_frame_crop_top_offset);
        crop.bottom = static_cast<LONG>(height - 2 * m_frame_crop_bottom_offset);
    }
    if (pWidth) *pWidth = width;
    if (pHeight) *pHeight = height;
    if (pCropping) *pCropping = m_frame_cropping_flag ? TRUE : FALSE;
    if (pCrop) *pCrop = crop;
}

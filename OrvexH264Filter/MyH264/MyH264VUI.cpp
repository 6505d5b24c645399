#include "MyH264/MyH264VUI.h"

#include "MyH264/MyBitReader.h"

namespace {

BYTE ReadFlag(CMyBitReader &reader)
{
    return static_cast<BYTE>(reader.ReadBit());
}

BYTE ReadByte(CMyBitReader &reader, DWORD bits)
{
    return static_cast<BYTE>(reader.ReadBits(bits));
}

} // namespace

void CMyH264VUI::Parse(CMyBitReader &reader)
{
    m_aspect_ratio_info_present_flag = ReadFlag(reader); // u(1)
    if (m_aspect_ratio_info_present_flag) {
        m_aspect_ratio_idc = ReadByte(reader, 8); // u(8)
        if (m_aspect_ratio_idc == kExtendedSAR) {
            m_sar_width = static_cast<WORD>(reader.ReadBits(16));  // u(16)
            m_sar_height = static_cast<WORD>(reader.ReadBits(16)); // u(16)
        }
    }

    m_overscan_info_present_flag = ReadFlag(reader);                                  // u(1)
    if (m_overscan_info_present_flag) m_overscan_appropriate_flag = ReadFlag(reader); // u(1)

    m_video_signal_type_present_flag = ReadFlag(reader); // u(1)
    if (m_video_signal_type_present_flag) {
        m_video_format = ReadByte(reader, 3);                 // u(3)
        m_video_full_range_flag = ReadFlag(reader);           // u(1)
        m_colour_description_present_flag = ReadFlag(reader); // u(1)
        if (m_colour_description_present_flag) {
            m_colour_primaries = ReadByte(reader, 8);         // u(8)
            m_transfer_characteristics = ReadByte(reader, 8); // u(8)
            m_matrix_coefficients = ReadByte(reader, 8);      // u(8)
        }
    }

    m_chroma_loc_info_present_flag = ReadFlag(reader); // u(1)
    if (m_chroma_loc_info_present_flag) {
        m_chroma_sample_loc_type_top_field = reader.ReadUE();    // ue(v)
        m_chroma_sample_loc_type_bottom_field = reader.ReadUE(); // ue(v)
    }

    m_timing_info_present_flag = ReadFlag(reader); // u(1)
    if (!m_timing_info_present_flag) return;
    m_num_units_in_tick = reader.ReadBits(32);  // u(32)
    m_time_scale = reader.ReadBits(32);         // u(32)
    m_fixed_frame_rate_flag = ReadFlag(reader); // u(1)
    // HRD parameters and bitstream restrictions are of no use here.
}

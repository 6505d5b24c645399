#include "MyH264/MyH264PPS.h"

#include "MyH264/MyBitReader.h"
#include "MyH264/MyH264Refusals.h"
#include "MyH264/MyRbsp.h"
#include "common/MyTrace.h"

#include <cstring>

CMyH264PPS::CMyH264PPS(WORD size, const BYTE *pBytes) : m_size(size)
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

void CMyH264PPS::Parse(CMyBitReader &reader)
{
    m_pic_parameter_set_id = reader.ReadUE(); // ue(v)
    if (m_pic_parameter_set_id > 255) throw MyH264Refusal::kPpsId;

    m_seq_parameter_set_id = reader.ReadUE(); // ue(v)
    if (m_seq_parameter_set_id > 31) throw MyH264Refusal::kPpsSpsId;

    m_entropy_coding_mode_flag = static_cast<BYTE>(reader.ReadBit()); // u(1)
    m_pic_order_present_flag = static_cast<BYTE>(reader.ReadBit());   // u(1)
    m_num_slice_groups_minus1 = reader.ReadUE();                      // ue(v)

    if (m_entropy_coding_mode_flag) {
        MyTrace("m_entropy_coding_mode_flag is CABAC. \n");
        throw MyH264Refusal::kCabac;
    }
}

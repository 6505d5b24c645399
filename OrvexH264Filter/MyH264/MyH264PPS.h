// One picture parameter set: an owned copy of the NAL unit and its leading
// fields. Construction parses at once and throws a refusal text
// (MyH264Refusals.h) for out-of-range ids, CABAC entropy coding or a set that
// ends before its fields do.
#pragma once

#include <windows.h>

#include <memory>

class CMyBitReader;

class CMyH264PPS {
public:
    // Copies size bytes of the NAL unit (header byte included) and parses them.
    CMyH264PPS(WORD size, const BYTE *pBytes);

    CMyH264PPS(const CMyH264PPS &) = delete;
    CMyH264PPS &operator=(const CMyH264PPS &) = delete;

    WORD m_size = 0;
    std::unique_ptr<BYTE[]> m_pData; // the NAL unit as it came, emulation-prevention bytes included

    DWORD m_pic_parameter_set_id = 0xFFFFFFFF;
    DWORD m_seq_parameter_set_id = 0xFFFFFFFF;
    BYTE m_entropy_coding_mode_flag = 0;
    BYTE m_pic_order_present_flag = 0;
    DWORD m_num_slice_groups_minus1 = 0;

private:
    void Parse(CMyBitReader &reader);
};

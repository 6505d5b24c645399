#include "MyH264/MyAVCConfiguration.h"

#include "MyH264/MyH264Refusals.h"

namespace {

// Reads the record front to back; every read is checked against the bytes
// available.
class CRecordCursor {
public:
    CRecordCursor(const BYTE *pData, DWORD size) : m_pData(pData), m_size(pData ? size : 0) {}

    void Need(DWORD count) const
    {
        if (count > m_size - m_offset) throw MyH264Refusal::kRecordTruncated;
    }
    BYTE U8()
    {
        Need(1);
        return m_pData[m_offset++];
    }
    WORD U16()
    {
        Need(2);
        const WORD value = static_cast<WORD>((m_pData[m_offset] << 8) | m_pData[m_offset + 1]);
        m_offset += 2;
        return value;
    }
    DWORD U32()
    {
        Need(4);
        const BYTE *p = m_pData + m_offset;
        m_offset += 4;
        return (DWORD{p[0]} << 24) | (DWORD{p[1]} << 16) | (DWORD{p[2]} << 8) | p[3];
    }
    // The next count bytes, which the caller then steps over.
    const BYTE *Take(DWORD count)
    {
        Need(count);
        const BYTE *p = m_pData + m_offset;
        m_offset += count;
        return p;
    }

private:
    const BYTE *m_pData;
    DWORD m_size;
    DWORD m_offset = 0;
};

} // namespace

CMyAVCConfiguration::CMyAVCConfiguration(const BYTE *pAtom, DWORD available)
{
    CRecordCursor cursor(pAtom, available);
    const LONG atomSize = static_cast<LONG>(cursor.U32());
    const DWORD atomFormat = cursor.U32();
    if (atomFormat != kAVCConfigurationAtom) throw MyH264Refusal::kAtomFormat;
    if (atomSize < kMinimumSizeOfAVCConfigurationAtom) throw MyH264Refusal::kAtomSize;

    if (cursor.U8() != 1) throw MyH264Refusal::kVersion; // configurationVersion
    m_AVCProfileIndication = cursor.U8();
    m_profile_compatibility = cursor.U8();
    m_AVCLevelIndication = cursor.U8();

    const BYTE lengthSize = cursor.U8(); // six reserved bits, all 1, then lengthSizeMinusOne
    if ((lengthSize & 0xFC) != 0xFC) throw MyH264Refusal::kLengthSizeReserved;
    m_lengthSizeMinusOne = lengthSize & 0x03;

    const BYTE spsCount = cursor.U8(); // three reserved bits, all 1, then numOfSequenceParameterSets
    if ((spsCount & 0xE0) != 0xE0) throw MyH264Refusal::kSpsCountReserved;
    m_numOfSequenceParameterSets = spsCount & 0x1F;

    for (BYTE i = 0; i < m_numOfSequenceParameterSets; ++i) {
        const WORD length = cursor.U16();
        m_SPSs.push_back(std::make_unique<CMyH264SPS>(length, cursor.Take(length)));
    }
    m_numOfPictureParameterSets = cursor.U8();
    for (DWORD i = 0; i < m_numOfPictureParameterSets; ++i) {
        const WORD length = cursor.U16();
        m_PPSs.push_back(std::make_unique<CMyH264PPS>(length, cursor.Take(length)));
    }

    if (m_SPSs.size() != 1) throw MyH264Refusal::kSpsCount;
    if (m_PPSs.size() != 1) throw MyH264Refusal::kPpsCount;
    if (m_SPSs.front()->m_seq_parameter_set_id != m_PPSs.front()->m_seq_parameter_set_id)
        throw MyH264Refusal::kSpsIdMismatch;
}

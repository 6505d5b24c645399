// The AVC decoder configuration record of an H.264 sample description (the
// 'avcC' extension atom) with its parsed parameter sets. Construction parses
// at once and throws a refusal text (MyH264Refusals.h) unless the record
// holds exactly one acceptable SPS and one acceptable PPS that belong together.
#pragma once

#include "MyH264/MyH264PPS.h"
#include "MyH264/MyH264SPS.h"

#include <windows.h>

#include <memory>
#include <vector>

class CMyAVCConfiguration {
public:
    // pAtom points at the atom's size field; available is the number of
    // bytes from there to the end of the buffer that holds the atom. Nothing
    // outside those bytes is read: a record whose parameter sets run past
    // them is refused.
    CMyAVCConfiguration(const BYTE *pAtom, DWORD available);

    CMyAVCConfiguration(const CMyAVCConfiguration &) = delete;
    CMyAVCConfiguration &operator=(const CMyAVCConfiguration &) = delete;

    // An accepted record holds exactly one of each.
    const CMyH264SPS &GetSPS() const { return *m_SPSs.front(); }
    const CMyH264PPS &GetPPS() const { return *m_PPSs.front(); }

    BYTE m_AVCProfileIndication = 0;
    BYTE m_profile_compatibility = 0;
    BYTE m_AVCLevelIndication = 0;
    BYTE m_lengthSizeMinusOne = 0;
    BYTE m_numOfSequenceParameterSets = 0;
    BYTE m_numOfPictureParameterSets = 0;
    std::vector<std::unique_ptr<CMyH264SPS>> m_SPSs;
    std::vector<std::unique_ptr<CMyH264PPS>> m_PPSs;

    static constexpr DWORD kAVCConfigurationAtom = 0x61766343; // 'avcC'
    static constexpr LONG kMinimumSizeOfAVCConfigurationAtom = 15;
};

#include "MyH264/MyVideoSignalInfo.h"

#include "MyH264/MyH264SPS.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MySampleDescription.h"

CMyVideoSignalInfo GetVideoSignalInfo(const CMyH264SPS *pSPS, const CMyImageDescription *pDescription)
{
    CMyVideoSignalInfo info;
    const CMyH264VUI *pVUI = pSPS ? pSPS->GetVUI() : nullptr;
    if (pVUI && pVUI->m_video_signal_type_present_flag) {
        info.m_video_format = pVUI->m_video_format;
        info.m_video_full_range_flag = pVUI->m_video_full_range_flag;
        if (pVUI->m_colour_description_present_flag) {
            info.m_colour_primaries = pVUI->m_colour_primaries;
            info.m_transfer_characteristics = pVUI->m_transfer_characteristics;
            info.m_matrix_coefficients = pVUI->m_matrix_coefficients;
            return info;
        }
    }
    if (pDescription) {
        ApplyColourExtensions(info, pDescription->FindExtension(MyQTFourCC("colr")),
                              pDescription->FindExtension(MyQTFourCC("gama")));
    }
    return info;
}

// The decode filter's media types: the input it takes, the output types it
// proposes and accepts, type changes, and the output buffers.
#include "H264DecodeFilter/OrvexH264DecodeFilter11.h"

#include "H264DecodeFilter/OrvexH264OutputTypes.h"
#include "common/MyTrace.h"

#include <algorithm>

namespace {

const VIDEOINFOHEADER &VideoInfoOf(const CMediaType *pmt)
{
    return *reinterpret_cast<const VIDEOINFOHEADER *>(pmt->Format());
}

bool HasNoType(const CMediaType *pmt)
{
    return *pmt->Type() == GUID_NULL && *pmt->Subtype() == GUID_NULL && *pmt->FormatType() == GUID_NULL;
}

} // namespace

HRESULT COrvexH264DecodeFilter11::CheckInputType(const CMediaType *mtIn)
{
    return IsAcceptedInputType(mtIn) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT COrvexH264DecodeFilter11::CheckTransform(const CMediaType *mtIn, const CMediaType *mtOut)
{
    if (!IsAcceptedInputType(mtIn)) return VFW_E_TYPE_NOT_ACCEPTED;
    if (!IsAcceptedOutputShape(mtOut, GetIYUVFlag() != 0)) return VFW_E_TYPE_NOT_ACCEPTED;

    const BITMAPINFOHEADER &in = VideoInfoOf(mtIn).bmiHeader;
    LONGLONG outWidth = 0, outHeight = 0;
    GetOutputVisibleSize(VideoInfoOf(mtOut), &outWidth, &outHeight);
    const int shift = static_cast<int>(GetOutputScalingMode());
    if ((LONGLONG{in.biWidth} >> shift) != outWidth || (LONGLONG{in.biHeight} >> shift) != outHeight)
        return VFW_E_TYPE_NOT_ACCEPTED;

    const bool outputConnected = m_pOutput && m_pOutput->IsConnected();
    const CMediaType none;
    const CMediaType *pCurrent = m_pOutput ? &m_pOutput->CurrentMediaType() : &none;
    HRESULT hr = validateNewOutputMediaType(mtOut, pCurrent, !outputConnected);
    if (FAILED(hr)) return VFW_E_TYPE_NOT_ACCEPTED;

    // While unconnected, the type being tried becomes the decoder's format,
    // so the pictures made match whichever type the connection settles on.
    if (!outputConnected) {
        hr = m_Decoder.SetOutputFormat(mtOut);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT COrvexH264DecodeFilter11::validateNewOutputMediaType(const CMediaType *pmtNew, const CMediaType *pmtCurrent,
                                                             bool bSkipSubtypeCheck)
{
    if (!IsAcceptedOutputShape(pmtNew, GetIYUVFlag() != 0)) return VFW_E_TYPE_NOT_ACCEPTED;
    if (!pmtCurrent || HasNoType(pmtCurrent)) return S_OK;
    if (*pmtNew->Type() != *pmtCurrent->Type()) {
        MyTrace("COrvexH264DecodeFilter11::validateNewOutputMediaType : REJECT : newMajorType changed \n");
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    if (!bSkipSubtypeCheck && !OutputSubtypeFitsFormat(*pmtNew->Subtype(), m_Decoder.GetOutputFormatId())) {
        MyTrace("COrvexH264DecodeFilter11::validateNewOutputMediaType : REJECT : newSubType changed \n");
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    if (*pmtNew->FormatType() != *pmtCurrent->FormatType()) {
        MyTrace("COrvexH264DecodeFilter11::validateNewOutputMediaType : REJECT : newFormatType changed \n");
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

HRESULT COrvexH264DecodeFilter11::GetMediaType(int iPosition, CMediaType *pMediaType)
{
    CheckPointer(pMediaType, E_POINTER);
    const bool iyuv = GetIYUVFlag() != 0;
    if (iPosition < 0) return E_INVALIDARG;
    const GUID *pSubtype = OfferedOutputSubtype(iPosition, iyuv);
    if (!pSubtype) return VFW_S_NO_MORE_ITEMS;
    if (!m_pInput || !m_pInput->IsConnected()) return E_UNEXPECTED;

    const CMediaType &input = m_pInput->CurrentMediaType();
    if (!IsAcceptedInputType(&input)) return E_UNEXPECTED;
    const BITMAPINFOHEADER &in = VideoInfoOf(&input).bmiHeader;
    DWORD displayWidth = 0, displayHeight = 0;
    m_Decoder.GetDisplaySize(&displayWidth, &displayHeight);
    const int shift = static_cast<int>(GetOutputScalingMode());

    DecodeStreamFigures figures;
    figures.width = std::min(static_cast<DWORD>(in.biWidth), displayWidth) >> shift;
    figures.height = std::min(static_cast<DWORD>(in.biHeight), displayHeight) >> shift;
    figures.timeScale = m_MediaTimeScale;
    figures.duration = m_MediaDuration;
    figures.sampleCount = m_MediaSampleCount;
    return BuildOutputMediaType(pMediaType, *pSubtype, figures);
}

HRESULT COrvexH264DecodeFilter11::DecideBufferSize(IMemAllocator *pAllocator, ALLOCATOR_PROPERTIES *pProperties)
{
    CheckPointer(pAllocator, E_POINTER);
    CheckPointer(pProperties, E_POINTER);
    const LONG size = static_cast<LONG>(m_pOutput->CurrentMediaType().GetSampleSize());

    ALLOCATOR_PROPERTIES request = *pProperties;
    request.cBuffers = std::max<LONG>(1, request.cBuffers);
    request.cbBuffer = std::max<LONG>(request.cbBuffer, size);
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = pAllocator->SetProperties(&request, &actual);
    if (FAILED(hr)) return hr;
    if (actual.cBuffers < 1 || actual.cbBuffer < size) return E_FAIL;
    return hr;
}

HRESULT COrvexH264DecodeFilter11::SetMediaType(PIN_DIRECTION direction, const CMediaType *pmt)
{
    if (direction == PINDIR_OUTPUT && pmt) {
        const GUID &subtype = *pmt->Subtype();
        if (subtype == MEDIASUBTYPE_YV12) {
            MyTrace("COrvexH264DecodeFilter11::SetMediaType : Output MEDIASUBTYPE_YV12 \n");
        } else if (subtype == MEDIASUBTYPE_RGB32) {
            MyTrace("COrvexH264DecodeFilter11::SetMediaType : Output MEDIASUBTYPE_RGB32 \n");
        } else if (subtype == MEDIASUBTYPE_RGB24) {
            MyTrace("COrvexH264DecodeFilter11::SetMediaType : Output MEDIASUBTYPE_RGB24 \n");
        } else if (subtype == MEDIASUBTYPE_IYUV) {
            MyTrace("COrvexH264DecodeFilter11::SetMediaType : Output MEDIASUBTYPE_IYUV \n");
        } else {
            MyTrace("COrvexH264DecodeFilter11::SetMediaType : Output Unknown \n");
        }
    }
    return S_OK;
}

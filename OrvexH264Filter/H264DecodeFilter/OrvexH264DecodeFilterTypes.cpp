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

    // The size the pictures come in, the one GetMediaType proposes.
    LONGLONG width = 0, height = 0;
    PictureSize(VideoInfoOf(mtIn).bmiHeader, &width, &height);
    LONGLONG outWidth = 0, outHeight = 0;
    GetOutputVisibleSize(VideoInfoOf(mtOut), &outWidth, &outHeight);
    if (width != outWidth || height != outHeight) return VFW_E_TYPE_NOT_ACCEPTED;

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

void COrvexH264DecodeFilter11::PictureSize(const BITMAPINFOHEADER &input, LONGLONG *pWidth, LONGLONG *pHeight)
{
    // The smaller of the description's size and the SPS's picture size: a
    // larger description (1920x1088 over 1920x1080) has rows the decoder
    // never writes, and of a smaller one only its part is shown.
    LONGLONG width = input.biWidth, height = input.biHeight;
    DWORD displayWidth = 0, displayHeight = 0;
    if (SUCCEEDED(m_Decoder.GetDisplaySize(&displayWidth, &displayHeight))) {
        width = std::min<LONGLONG>(width, displayWidth);
        height = std::min<LONGLONG>(height, displayHeight);
    }
    const int shift = static_cast<int>(GetOutputScalingMode());
    *pWidth = width >> shift;
    *pHeight = height >> shift;
}

STDMETHODIMP COrvexH264DecodeFilter11::SetOutputScalingMode(LONG mode)
{
    // The connected type has the size of the scaling in force; pictures at
    // another would not fit it. A new scaling waits for a new connection.
    CAutoLock lock(&m_csFilter);
    if (m_pOutput && m_pOutput->IsConnected() && mode != GetOutputScalingMode() && mode >= 0 && mode <= 2)
        return VFW_E_ALREADY_CONNECTED;
    return COrvexH264DecoderParameter2Impl::SetOutputScalingMode(mode);
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
    LONGLONG width = 0, height = 0;
    PictureSize(VideoInfoOf(&input).bmiHeader, &width, &height);

    DecodeStreamFigures figures;
    figures.width = static_cast<DWORD>(std::max<LONGLONG>(0, width));
    figures.height = static_cast<DWORD>(std::max<LONGLONG>(0, height));
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

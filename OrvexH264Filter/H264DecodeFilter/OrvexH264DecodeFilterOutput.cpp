// Frame output: one decoded picture into one output sample of the output
// pin's allocator, with the time stamps of its input sample, delivered.
#include "H264DecodeFilter/OrvexH264DecodeFilter11.h"

#include "H264DecodeFilter/MyFrameCopy.h"
#include "H264DecodeFilter/OrvexH264DecodeFilterPins.h"
#include "H264DecodeFilter/OrvexH264OutputTypes.h"
#include "common/MyTrace.h"

#include <wrl/client.h>

void COrvexH264DecodeFilter11::KeepStreamingError(HRESULT hr)
{
    HRESULT none = S_OK;
    m_hrStreamingError.compare_exchange_strong(none, hr);
}

HRESULT COrvexH264DecodeFilter11::output(const CMyOutputData *pPicture)
{
    CheckPointer(pPicture, E_POINTER);
    // Released on every way out.
    Microsoft::WRL::ComPtr<IMediaSample> sample;
    HRESULT hr = m_pDecOutputPin->GetEmptySample(&sample);
    if (FAILED(hr) || !sample.Get()) return FAILED(hr) ? hr : E_FAIL;
    BYTE *pBuffer = nullptr;
    hr = sample->GetPointer(&pBuffer);
    if (FAILED(hr) || !pBuffer || sample->GetSize() < 1) return FAILED(hr) ? hr : E_FAIL;

    // A type the downstream filter attached to the sample.
    AM_MEDIA_TYPE *pAttached = nullptr;
    if (sample->GetMediaType(&pAttached) == S_OK && pAttached) {
        HRESULT copied = S_OK;
        const CMediaType attached(*pAttached, &copied);
        DeleteMediaType(pAttached);
        if (SUCCEEDED(copied)) copied = validateNewOutputMediaType(&attached, &m_pOutput->CurrentMediaType(), false);
        if (SUCCEEDED(copied)) copied = m_pOutput->SetMediaType(&attached);
        if (FAILED(copied)) return copied;
    }

    const CMediaType &type = m_pOutput->CurrentMediaType();
    const LONG formatId = pPicture->GetFormat();
    if (!OutputSubtypeFitsFormat(*type.Subtype(), formatId)) {
        MyTrace("COrvexH264DecodeFilter11::output : Format Mismatch \n");
        MyTrace("  OutputMediaSubtype  = %s \n", OutputSubtypeName(*type.Subtype()));
        MyTrace("  DecoderOutputFormat = %s \n", DecoderOutputFormatName(formatId));
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    if (*type.FormatType() != FORMAT_VideoInfo || !type.Format() || type.FormatLength() < sizeof(VIDEOINFOHEADER))
        return VFW_E_TYPE_NOT_ACCEPTED;

    const MyFrameLayout layout = GetFrameLayout(type, *pPicture);
    hr = CopyFrame(layout, *pPicture, pBuffer, sample->GetSize());
    if (FAILED(hr)) {
        MyTrace("COrvexH264DecodeFilter11::output : sample of %ld bytes cannot hold the picture \n",
                static_cast<long>(sample->GetSize()));
        return hr;
    }

    // The picture's own sample's times, against the segment it came in.
    const CSampleTimeInfo &time = pPicture->GetTimeInfo();
    REFERENCE_TIME start = 0, stop = 0;
    if (time.GetTime(&start, &stop)) {
        const REFERENCE_TIME segmentStart = time.m_segmentStart;
        if (stop < segmentStart) {
            MyTrace("COrvexH264DecodeFilter11::output discard frame before segment startTime \n");
            MyTrace("  frame endTime(%ld) < segment startTime(%ld) \n",
                    static_cast<long>(static_cast<LONG>(stop / 10000)),
                    static_cast<long>(static_cast<LONG>(segmentStart / 10000)));
            return S_OK;
        }
        start -= segmentStart;
        stop -= segmentStart;
        if (start >= 0 && stop >= 0) sample->SetTime(&start, &stop);
    }
    LONGLONG mediaStart = 0, mediaStop = 0;
    if (time.GetMediaTime(&mediaStart, &mediaStop)) sample->SetMediaTime(&mediaStart, &mediaStop);

    hr = m_pDecOutputPin->DeliverSample(sample.Get());
    if (FAILED(hr)) {
        MyTrace("COrvexH264DecodeFilter11::output : DeliverOutput return 0x%08X \n", static_cast<unsigned>(hr));
        if (hr != VFW_E_NOT_COMMITTED) KeepStreamingError(hr);
    }
    return hr;
}

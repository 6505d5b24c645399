#include "MovFileParserFilter/MyParameterSetSample.h"

#include <vfwmsgs.h>

#include <cstring>

#include <wrl/client.h>

namespace {
constexpr DWORD kLengthPrefixBytes = 4;
// The properties up to the stream identifier; cbData must say so, or the
// sample keeps only the first fields and the identifier is lost.
constexpr DWORD kPropertiesUpToStreamId = 36;
constexpr DWORD kPropertiesRead = 16;
} // namespace

HRESULT FillParameterSetSample(IMediaSample *sample, const BYTE *unit, WORD length, DWORD streamId)
{
    if (!sample || (!unit && length)) return E_POINTER;
    BYTE *buffer = nullptr;
    HRESULT hr = sample->GetPointer(&buffer);
    if (FAILED(hr)) return hr;
    const LONG size = sample->GetSize();
    if (!buffer || size < 0 || DWORD(size) < kLengthPrefixBytes + length) return VFW_E_BUFFER_OVERFLOW;

    buffer[0] = 0;
    buffer[1] = 0;
    buffer[2] = BYTE(length >> 8);
    buffer[3] = BYTE(length);
    if (length) std::memcpy(buffer + kLengthPrefixBytes, unit, length);
    hr = sample->SetActualDataLength(LONG(kLengthPrefixBytes + length));
    if (FAILED(hr)) return hr;

    Microsoft::WRL::ComPtr<IMediaSample2> sample2;
    hr = sample->QueryInterface(IID_IMediaSample2, &sample2);
    if (FAILED(hr)) return hr;
    AM_SAMPLE2_PROPERTIES props;
    std::memset(&props, 0, sizeof(props));
    hr = sample2->GetProperties(kPropertiesRead, reinterpret_cast<BYTE *>(&props));
    if (SUCCEEDED(hr)) {
        props.cbData = kPropertiesUpToStreamId;
        props.tStart = 0;
        props.tStop = 0;
        props.dwStreamId = streamId;
        hr = sample2->SetProperties(kPropertiesUpToStreamId, reinterpret_cast<const BYTE *>(&props));
    }
    return hr;
}

// The sound output pin, "Audio(PCM) Out" or "Audio(AAC) Out": samples carry
// their times relative to the segment start and, for PCM, media times in
// sample frames. While the video pin is connected, seeking goes through it.
#pragma once

#include "MovFileParserFilter/MyParserOutputPin.h"
#include "MovFileParserFilter/SoundMediaStreamInfo.h"

class CMyParserSoundOutputPin : public CMyParserOutputPin {
public:
    CMyParserSoundOutputPin(CObjectName pObjectName, COrvexMovFileParserFilter *pFilter, HRESULT *phr, LPCWSTR pName,
                            std::unique_ptr<CSoundMediaStreamInfo> streamInfo);
    ~CMyParserSoundOutputPin() override;

    HRESULT CheckMediaType(const CMediaType *pmt) override;
    HRESULT DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *ppropInputRequest) override;
    // E_NOTIMPL while the video pin is connected; otherwise the seek of both pins.
    STDMETHODIMP SetPositions(LONGLONG *pCurrent, DWORD dwCurrentFlags, LONGLONG *pStop, DWORD dwStopFlags) override;

protected:
    DWORD ThreadProc() override;
    void StampSample(IMediaSample *sample, const MediaSampleRef &entry, DWORD index, bool discontinuity,
                     HRESULT *hrLength, HRESULT *hrTime) override;
    // A refusal because downstream stopped is not worth a trace line.
    bool TracesReceiveFailure(HRESULT hr) const override;

private:
    // The PCM frame rate for media times; 0 when the stream is not PCM.
    const DWORD m_nSamplesPerSec;
};

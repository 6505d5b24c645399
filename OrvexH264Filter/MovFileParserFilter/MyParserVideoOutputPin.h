// The video output pins: "Video(H.264) Out" of plain movies and "Video(Orvex
// H.264) Out" of camera movies. Each segment starts with the stream's SPS and
// PPS as two extra samples; samples carry the index times, the media time
// of their entry and the sync flag; frames that downstream reports late are
// skipped up to the next sync entry whose time has already passed.
#pragma once

#include "MovFileParserFilter/MyParserOutputPin.h"
#include "MovFileParserFilter/VideoMediaStreamInfo.h"

class CMyParserVideoOutputPin : public CMyParserOutputPin {
public:
    CMyParserVideoOutputPin(CObjectName pObjectName, COrvexMovFileParserFilter *pFilter, HRESULT *phr, LPCWSTR pName,
                            std::unique_ptr<CVideoMediaStreamInfo> streamInfo);
    ~CMyParserVideoOutputPin() override;

    HRESULT CheckMediaType(const CMediaType *pmt) override;
    HRESULT DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *ppropInputRequest) override;
    // Allocator negotiation, then this pin becomes the downstream pin's quality sink.
    HRESULT CompleteConnect(IPin *pReceivePin) override;
    // Takes this pin back out of the downstream pin's quality sink.
    HRESULT BreakConnect() override;
    // The base's steps, then the SPS and the PPS samples.
    HRESULT startNewSegment() override;

    const CVideoMediaStreamInfo *VideoStreamInfo() const;

protected:
    DWORD ThreadProc() override;
    bool WaitsAfterFailedSegmentStart() const override { return true; }
    void ChooseEntry(MediaSampleRef *entry, DWORD *index, bool *discontinuity) override;
    void StampSample(IMediaSample *sample, const MediaSampleRef &entry, DWORD index, bool discontinuity,
                     HRESULT *hrLength, HRESULT *hrTime) override;

    // One parameter-set sample: the first SPS (true) or PPS (false).
    HRESULT deliverParameterSet(bool sequenceSet);

private:
    // Stream time plus the segment start; stream time 0 without a clock.
    LONGLONG PresentationNow();

    const bool m_bSkipLateFrames;
};

// The camera movies' video pin: the same pin, its own name in the trace.
class CMyParserOrvexH264VideoOutputPin : public CMyParserVideoOutputPin {
public:
    using CMyParserVideoOutputPin::CMyParserVideoOutputPin;
    ~CMyParserOrvexH264VideoOutputPin() override;

protected:
    DWORD ThreadProc() override;
};

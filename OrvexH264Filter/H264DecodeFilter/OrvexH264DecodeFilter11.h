// COrvexH264DecodeFilter11: the H.264 decode filter. A transform filter
// whose input takes only the module's parser's H.264 video and whose output
// offers YV12, RGB32, RGB24 and, when asked, IYUV.
//
// Threads: the application's thread builds and changes state; the upstream
// delivery thread runs Receive and EndOfStream, and with them the decoding
// steps, under the receive lock; the filter's own output thread (CMyThread)
// takes pictures and commands from the output data queue and delivers them.
// Lock order: the filter lock, the receive lock, then the queue locks, which
// are leaves. The output thread takes neither of the first two.
#pragma once

#include "H264DecodeFilter/MyDecoder11.h"
#include "H264DecodeFilter/MyInputDataQueue.h"
#include "H264DecodeFilter/MyOutputDataQueue.h"
#include "H264DecodeFilter/OrvexH264DecoderParameter2Impl.h"
#include "common/MyThread.h"

#include <windows.h>

#include <ocidl.h>
#include <streams.h>

#include <atomic>

class COrvexH264DecodeFilterInputPin;
class COrvexH264DecodeFilterOutputPin;

class COrvexH264DecodeFilter11 : public CTransformFilter,
                                 public CMyThread,
                                 public COrvexH264DecoderParameter2Impl,
                                 public ISpecifyPropertyPages {
public:
    // The factory template's creation function.
    static CUnknown *WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT *phr);

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

    ~COrvexH264DecodeFilter11() override;

    CBasePin *GetPin(int n) override;
    LPAMOVIESETUP_FILTER GetSetupData() override { return NULL; }

    // Connection and media types.
    HRESULT CheckInputType(const CMediaType *mtIn) override;
    HRESULT CheckTransform(const CMediaType *mtIn, const CMediaType *mtOut) override;
    HRESULT DecideBufferSize(IMemAllocator *pAllocator, ALLOCATOR_PROPERTIES *pProperties) override;
    HRESULT GetMediaType(int iPosition, CMediaType *pMediaType) override;
    HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType *pmt) override;
    HRESULT CompleteConnect(PIN_DIRECTION direction, IPin *pReceivePin) override;

    // Whether pmtNew may replace the output type pmtCurrent: the shape rules
    // of an output type, then the major type, the subtype against the
    // decoder's output format (unless bSkipSubtypeCheck) and the format type.
    HRESULT validateNewOutputMediaType(const CMediaType *pmtNew, const CMediaType *pmtCurrent, bool bSkipSubtypeCheck);

    // Streaming.
    HRESULT StartStreaming() override;
    HRESULT StopStreaming() override;
    HRESULT AlterQuality(Quality q) override;
    HRESULT Receive(IMediaSample *pSample) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

    // One picture into one output sample, delivered downstream.
    HRESULT output(const CMyOutputData *pPicture);

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID *pPages) override;

    // IOrvexH264DecoderParameter2: the scaling sizes the output type, so
    // while the output is connected only the scaling in force is taken;
    // another gives VFW_E_ALREADY_CONNECTED.
    STDMETHODIMP SetOutputScalingMode(LONG mode) override;

    // The failure that stopped delivery in the running stream, or S_OK.
    HRESULT GetStreamingError() const { return m_hrStreamingError.load(); }

protected:
    DWORD ThreadProc() override;

private:
    COrvexH264DecodeFilter11(LPUNKNOWN pUnk, HRESULT *phr);

    // The parameter sets, image description and media figures of the
    // parser's video pin.
    HRESULT ConnectToParser(IPin *pReceivePin);
    // The output picture size for an input type: the smaller of its size
    // and the decoder's display size, shifted by the output scaling.
    void PictureSize(const BITMAPINFOHEADER &input, LONGLONG *pWidth, LONGLONG *pHeight);
    // The number of queued input samples at which Receive decodes.
    DWORD DecodeThreshold();
    // Decoding steps while more than keep samples wait (a bounded number).
    void DecodeQueuedSamples(DWORD keep);
    // Ends the output thread and waits for it.
    void EndOutputThread();
    // Decoding steps until the decoder has read the end-of-stream or
    // new-segment marker queued last; false when it did not get there.
    bool DecodeToMarker();
    // Records the first delivery failure of the running stream.
    void KeepStreamingError(HRESULT hr);

    COrvexH264DecodeFilterInputPin *m_pDecInputPin = nullptr;
    COrvexH264DecodeFilterOutputPin *m_pDecOutputPin = nullptr;

    CMyInputDataQueue m_InputQueue;
    CMyOutputDataQueue m_OutputQueue;
    CMyDecoder11 m_Decoder;

    DWORD m_nDecodeThreshold;
    // The input allocator's buffer count at the start of streaming: samples
    // wait in the input queue holding their buffers, so a threshold at or
    // above it would leave upstream waiting for a buffer forever.
    DWORD m_nInputBuffers = 0;
    DWORD m_MediaTimeScale = 0;
    DWORD m_MediaDuration = 0;
    DWORD m_MediaSampleCount = 0;
    std::atomic<HRESULT> m_hrStreamingError{S_OK};
};

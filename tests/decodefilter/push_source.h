// An upstream filter driven by the test thread: its output pin offers the
// parser's H.264 video type and delivers the samples the test pushes
// (parameter-set samples by stream identifier, discontinuities, times).
// With the accessor it answers IOrvexMovParserH264Accessor as the parser
// does; without it, it is just some other filter.
#pragma once

#include "common/IOrvexMovParserH264Accessor.h"
#include "MyQuickTimeAPIs/MySampleDescription.h"

#include <streams.h>

#include <memory>
#include <mutex>
#include <vector>

struct PushSourceConfig {
    bool withAccessor = true;
    std::vector<BYTE> sps, pps; // NAL units without prefix
    LONG width = 176, height = 144;
    LONG timeScale = 15000, duration = 30000, sampleCount = 30;
    LONG buffers = 16;
};

class CPushSourcePin;

class CPushSource : public CBaseFilter, public IOrvexMovParserH264Accessor {
public:
    static CPushSource *Create(const PushSourceConfig &config);

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;
    int GetPinCount() override { return 1; }
    CBasePin *GetPin(int n) override;
    IPin *Pin();

    // Delivers bytes as one sample; the result of the downstream Receive.
    HRESULT Push(const std::vector<BYTE> &bytes, DWORD streamId = AM_STREAM_MEDIA, REFERENCE_TIME start = -1,
                 REFERENCE_TIME stop = -1, bool discontinuity = false);
    // The SPS and PPS with their length prefixes as the parser sends them.
    HRESULT PushParameterSets();
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
    HRESULT EndOfStream();
    HRESULT BeginFlush();
    HRESULT EndFlush();

    // IOrvexMovParserH264Accessor
    STDMETHODIMP GetParameterSets(BYTE **ppSPS, DWORD *pcbSPS, BYTE **ppPPS, DWORD *pcbPPS) override;
    STDMETHODIMP GetMediaInfo(LONG *plTimeScale, LONG *plDuration, LONG *plSampleCount) override;
    STDMETHODIMP_(CMyImageDescription *) GetImageDescription() override;

    const PushSourceConfig &Config() const { return m_config; }
    // The quality messages downstream passed up to the output pin.
    std::vector<Quality> QualityMessages();

private:
    friend class CPushSourcePin;
    explicit CPushSource(const PushSourceConfig &config);
    ~CPushSource() override;

    CCritSec m_lock;
    PushSourceConfig m_config;
    CMyImageDescription m_description;
    CPushSourcePin *m_pPin;
    std::mutex m_qualityLock;
    std::vector<Quality> m_quality;
};

// bytes with a 4-byte big-endian length prefix.
std::vector<BYTE> LengthPrefixed(const std::vector<BYTE> &unit);

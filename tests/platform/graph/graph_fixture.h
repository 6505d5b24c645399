// A filter graph made through COM with a registry of its own, test filters
// reachable through COM, and a sample grabber that records what it sees.
#pragma once

#include <dshow.h>
#include <qedit.h>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <vector>

#include "support/dshow_doubles.h"
#include "support/scratch.h"

// Registers a class object for clsid that makes filters with make, and the
// filter with the mapper (inputs and outputs of the given Test subtypes),
// for the lifetime of the object.
class TestFilterClass {
public:
    using Maker = CBaseFilter *(*)(HRESULT *);
    TestFilterClass(REFCLSID clsid, const wchar_t *name, DWORD merit, Maker make, std::vector<GUID> inputs,
                    std::vector<GUID> outputs);
    ~TestFilterClass();
    TestFilterClass(const TestFilterClass &) = delete;
    TestFilterClass &operator=(const TestFilterClass &) = delete;
    int Created() const;

private:
    class Factory;
    Factory *m_factory;
    DWORD m_cookie = 0;
};

// What a grabber's callback saw of one sample.
struct GrabbedSample {
    double time;
    REFERENCE_TIME start;
    REFERENCE_TIME stop;
    HRESULT timeResult;
    DWORD streamId;
    BYTE firstByte;
    LONG length;
    REFERENCE_TIME clockNow; // the grabber's clock when called, or -1 without a clock
};

class GrabberCallback final : public ISampleGrabberCB {
public:
    explicit GrabberCallback(IBaseFilter *grabber = nullptr) : m_grabber(grabber) {}
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double SampleTime, IMediaSample *pSample) override;
    STDMETHODIMP BufferCB(double SampleTime, BYTE *pBuffer, LONG BufferLen) override;

    std::vector<GrabbedSample> Samples();
    int BufferCalls();

private:
    IBaseFilter *m_grabber;
    std::mutex m_lock;
    std::vector<GrabbedSample> m_samples;
    int m_bufferCalls = 0;
};

class GraphFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates a stock filter through COM and adds it.
    IBaseFilter *addStock(REFCLSID clsid, const wchar_t *name);
    void add(IBaseFilter *filter, const wchar_t *name);
    // A sample grabber for Test samples with a callback that records them;
    // the callback lives as long as the fixture.
    struct Grabber {
        IBaseFilter *filter;
        GrabberCallback *callback;
    };
    Grabber addGrabber(const wchar_t *name = L"Grabber");
    // Runs without a clock: as fast as the filters go.
    void noClock();

    orvex::test::TempRegistry m_registry;
    IGraphBuilder *m_graph = nullptr;
    IMediaControl *m_control = nullptr;
    IMediaEventEx *m_events = nullptr;
    IMediaSeeking *m_seeking = nullptr;
    IMediaFilter *m_mediaFilter = nullptr;
    std::vector<IBaseFilter *> m_stock; // one reference each
    std::vector<std::unique_ptr<GrabberCallback>> m_callbacks;
};

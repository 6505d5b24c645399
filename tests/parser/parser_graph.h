// The parser in a real graph of the platform runtime: the file source, the
// parser filter, and on its output pins sample grabbers or recording sinks.
#pragma once

#include "recording_sink.h"

#include "MovFileParserFilter/MovieStreamLoader.h"
#include "MovFileParserFilter/MyParserOutputPin.h"
#include "support/atom_builder.h"

#include <dshow.h>
#include <qedit.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orvex::test {

// Records every sample a grabber hands over.
class GrabberLog : public ISampleGrabberCB {
public:
    virtual ~GrabberLog() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample *pSample) override;
    STDMETHODIMP BufferCB(double, BYTE *, LONG) override { return E_NOTIMPL; }

    std::vector<SampleRecord> samples();
    // Makes the callback of the sample with this media start sleep, as a slow renderer would.
    void stallAt(LONGLONG mediaStart, DWORD milliseconds);

private:
    std::mutex m_lock;
    std::vector<SampleRecord> m_samples;
    LONGLONG m_stallAt = -1;
    DWORD m_stallMs = 0;
};

class ParserGraph {
public:
    // A graph with the file source on path and the parser filter, connected.
    explicit ParserGraph(const std::string &path);
    ~ParserGraph();
    ParserGraph(const ParserGraph &) = delete;
    ParserGraph &operator=(const ParserGraph &) = delete;

    HRESULT connectResult() const { return m_connect; }
    // Output pin by name, or null; one reference held by the graph object.
    IPin *pin(const wchar_t *name);
    IPin *videoPin();                  // whichever video pin the movie has
    IMediaSeeking *seeking(IPin *pin); // held by the graph object

    // A grabber on the pin; its log lives as long as the graph object.
    GrabberLog *grab(IPin *pin);
    // A recording sink on the pin, owned by the graph.
    RecordingSink *record(IPin *pin);
    // Stream time from the system clock (default) or as fast as the filters go.
    void useClock(bool clock);

    HRESULT run();
    HRESULT pause();
    HRESULT stop();
    IMediaSeeking *graphSeeking() const { return m_seeking; }
    // EC_COMPLETE within the bound (a guard against hangs, not a timing check).
    bool completes(LONG boundMs = 20000);

    IBaseFilter *parser() const { return m_parser; }
    IBaseFilter *source() const { return m_source; }
    IGraphBuilder *graph() const { return m_graph; }

private:
    IGraphBuilder *m_graph = nullptr;
    IMediaControl *m_control = nullptr;
    IMediaEventEx *m_events = nullptr;
    IMediaSeeking *m_seeking = nullptr;
    IBaseFilter *m_source = nullptr;
    IBaseFilter *m_parser = nullptr;
    HRESULT m_connect = E_FAIL;
    std::vector<IUnknown *> m_held;
    std::vector<std::unique_ptr<GrabberLog>> m_logs;
};

// While alive, the parser's delivery threads call at() at each point of
// their loop (CMyParserOutputPin::EDeliveryPoint); at() may hold a thread
// there to force an interleaving.
class DeliveryHook {
public:
    using Point = CMyParserOutputPin::EDeliveryPoint;
    using Function = std::function<void(CMyParserOutputPin *, Point)>;
    explicit DeliveryHook(Function at);
    ~DeliveryHook();
    DeliveryHook(const DeliveryHook &) = delete;
    DeliveryHook &operator=(const DeliveryHook &) = delete;

private:
    static void call(CMyParserOutputPin *pin, Point point, void *context);
    Function m_at;
};
// The parser's pin object behind an IPin of it.
CMyParserOutputPin *parserPin(IPin *pin);

IPin *findPin(IBaseFilter *filter, const wchar_t *name); // with a reference, or null
int pinCount(IBaseFilter *filter);

// The stream infos the parser makes of a file, for the expected index.
CMyMovieStreams loadStreams(const std::string &path);
// A camera-layout movie of the test stream (2.5 s of 8 kHz sound unless
// without sound), written to path; sync every syncEvery samples when given.
void writeCameraMovie(const std::string &path, bool withSound, int syncEvery = 0);
std::string dataMovie(const std::string &name);

// A temporary folder, removed with its contents.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    std::string path(const std::string &name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

} // namespace orvex::test

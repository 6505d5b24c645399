#include "parser_graph.h"

#include "MovFileParserFilter/OrvexMovFileParserFilter.h"
#include "support/annexb.h"
#include "support/movie_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace orvex::test {

namespace {
template <class T> T *query(IUnknown *object, REFIID riid)
{
    T *p = nullptr;
    object->QueryInterface(riid, reinterpret_cast<void **>(&p));
    return p;
}

std::wstring wide(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}
} // namespace

DeliveryHook::DeliveryHook(Function at) : m_at(std::move(at))
{
    CMyParserOutputPin::SetDeliveryHook(&DeliveryHook::call, this);
}

DeliveryHook::~DeliveryHook()
{
    CMyParserOutputPin::SetDeliveryHook(nullptr, nullptr);
}

void DeliveryHook::call(CMyParserOutputPin *pin, Point point, void *context)
{
    static_cast<DeliveryHook *>(context)->m_at(pin, point);
}

CMyParserOutputPin *parserPin(IPin *pin)
{
    // The parser's pins are CBasePin objects, IPin their first interface.
    return dynamic_cast<CMyParserOutputPin *>(static_cast<CBasePin *>(pin));
}

IPin *findPin(IBaseFilter *filter, const wchar_t *name)
{
    IPin *pin = nullptr;
    return SUCCEEDED(filter->FindPin(name, &pin)) ? pin : nullptr;
}

int pinCount(IBaseFilter *filter)
{
    IEnumPins *pins = nullptr;
    filter->EnumPins(&pins);
    int n = 0;
    for (IPin *pin = nullptr; pins->Next(1, &pin, nullptr) == S_OK; pin->Release())
        ++n;
    pins->Release();
    return n;
}

STDMETHODIMP GrabberLog::QueryInterface(REFIID riid, void **ppv)
{
    if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
        *ppv = static_cast<ISampleGrabberCB *>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP GrabberLog::SampleCB(double, IMediaSample *pSample)
{
    SampleRecord r = recordSample(pSample);
    DWORD stall = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (r.hasMediaTime && r.mediaStart == m_stallAt) stall = m_stallMs;
        m_samples.push_back(std::move(r));
    }
    if (stall) std::this_thread::sleep_for(std::chrono::milliseconds(stall));
    return S_OK;
}

std::vector<SampleRecord> GrabberLog::samples()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_samples;
}

void GrabberLog::stallAt(LONGLONG mediaStart, DWORD milliseconds)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_stallAt = mediaStart;
    m_stallMs = milliseconds;
}

ParserGraph::ParserGraph(const std::string &path)
{
    // The graph reads the filter mapper's registry only when it must search
    // it; keep any such read away from the user's file.
    setenv("ORVEX_REGISTRY", "/nonexistent/orvex-parser-tests/registry", 1);
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void **>(&m_graph))))
        throw std::runtime_error("no filter graph");
    m_control = query<IMediaControl>(m_graph, IID_IMediaControl);
    m_events = query<IMediaEventEx>(m_graph, IID_IMediaEventEx);
    m_seeking = query<IMediaSeeking>(m_graph, IID_IMediaSeeking);
    CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                     reinterpret_cast<void **>(&m_source));
    HRESULT hr = S_OK;
    CUnknown *parser = COrvexMovFileParserFilter::CreateInstance(nullptr, &hr);
    parser->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void **>(&m_parser));
    m_graph->AddFilter(m_source, L"Source");
    m_graph->AddFilter(m_parser, L"Parser");

    IFileSourceFilter *file = query<IFileSourceFilter>(m_source, IID_IFileSourceFilter);
    m_connect = file->Load(wide(path).c_str(), nullptr);
    file->Release();
    if (FAILED(m_connect)) return;
    IPin *out = findPin(m_source, L"Output");
    IPin *in = findPin(m_parser, L"XForm In");
    m_connect = m_graph->ConnectDirect(out, in, nullptr);
    out->Release();
    in->Release();
}

ParserGraph::~ParserGraph()
{
    if (m_control) m_control->Stop();
    for (IUnknown *p : m_held)
        p->Release();
    if (m_events) m_events->Release();
    if (m_seeking) m_seeking->Release();
    if (m_control) m_control->Release();
    if (m_graph) m_graph->Release(); // removes and releases the filters
    if (m_parser) m_parser->Release();
    if (m_source) m_source->Release();
}

IPin *ParserGraph::pin(const wchar_t *name)
{
    IPin *p = findPin(m_parser, name);
    if (p) m_held.push_back(p);
    return p;
}

IPin *ParserGraph::videoPin()
{
    IPin *p = pin(L"Video(H.264) Out");
    return p ? p : pin(L"Video(Orvex H.264) Out");
}

IMediaSeeking *ParserGraph::seeking(IPin *pin)
{
    IMediaSeeking *s = query<IMediaSeeking>(pin, IID_IMediaSeeking);
    if (s) m_held.push_back(s);
    return s;
}

GrabberLog *ParserGraph::grab(IPin *out)
{
    IBaseFilter *grabber = nullptr;
    CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                     reinterpret_cast<void **>(&grabber));
    m_held.push_back(grabber);
    m_graph->AddFilter(grabber, L"Grabber");
    auto log = std::make_unique<GrabberLog>();
    ISampleGrabber *control = query<ISampleGrabber>(grabber, IID_ISampleGrabber);
    control->SetCallback(log.get(), 0);
    control->Release();
    IPin *in = findPin(grabber, L"In");
    if (!in) in = findPin(grabber, L"Input");
    EXPECT_EQ(S_OK, m_graph->ConnectDirect(out, in, nullptr));
    if (in) in->Release();
    m_logs.push_back(std::move(log));
    return m_logs.back().get();
}

RecordingSink *ParserGraph::record(IPin *out)
{
    RecordingSink *sink = RecordingSink::create();
    m_held.push_back(static_cast<IBaseFilter *>(sink));
    m_graph->AddFilter(sink, L"Sink");
    IPin *in = findPin(sink, L"In");
    EXPECT_EQ(S_OK, m_graph->ConnectDirect(out, in, nullptr));
    in->Release();
    return sink;
}

void ParserGraph::useClock(bool clock)
{
    IMediaFilter *filter = query<IMediaFilter>(m_graph, IID_IMediaFilter);
    if (clock) {
        IGraphBuilder *graph = m_graph;
        graph->SetDefaultSyncSource();
    } else {
        filter->SetSyncSource(nullptr);
    }
    filter->Release();
}

HRESULT ParserGraph::run()
{
    return m_control->Run();
}

HRESULT ParserGraph::pause()
{
    return m_control->Pause();
}

HRESULT ParserGraph::stop()
{
    return m_control->Stop();
}

bool ParserGraph::completes(LONG boundMs)
{
    LONG code = 0;
    return m_events->WaitForCompletion(boundMs, &code) == S_OK && code == EC_COMPLETE;
}

CMyMovieStreams loadStreams(const std::string &path)
{
    CMyMovieStreams streams;
    EXPECT_EQ(S_OK, LoadMovieStreams(wide(path).c_str(), &streams));
    return streams;
}

void writeCameraMovie(const std::string &path, bool withSound, int syncEvery)
{
    H264Stream stream = parseAnnexB(readFileBytes(dataMovie("stream_176x144_15fps.h264")));
    VideoInput video = videoFromStream(stream, 176, 144);
    if (syncEvery > 0)
        for (size_t i = 0; i < video.sync.size(); ++i)
            video.sync[i] = i % size_t(syncEvery) == 0;
    SoundInput sound = makeSound(2.5);
    MovieOptions options;
    options.layout = MovieLayout::kCamera;
    writeFileBytes(path, writeMovie(video, withSound ? &sound : nullptr, options).file);
}

std::string dataMovie(const std::string &name)
{
    return std::string(ORVEX_TEST_DATA_DIR) + "/movies/" + name;
}

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-parser-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    m_path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

} // namespace orvex::test

#include "play_graph.h"

#include "exit_status.h"
#include "hresult_names.h"
#include "load_report.h"
#include "module_path.h"
#include "movie_loader.h"

#include "H264DecodeFilter/IOrvexH264DecoderParameter2.h"
#include "common/OrvexGuids.h"
#include "module_loader.h"

#include <evcode.h>
#include <orvexdebug.h>
#include <uuids.h>

#include <atomic>
#include <cstdio>
#include <filesystem>

namespace orvex {

namespace {

std::string describe(HRESULT hr)
{
    char code[16];
    std::snprintf(code, sizeof(code), "0x%08X", unsigned(hr));
    return hresultName(hr) + " (" + code + ")";
}

// The first pin of a direction, or the first whose offered types are of the
// given major type.
HRESULT findPin(IBaseFilter *filter, PIN_DIRECTION direction, const GUID *major, IPin **found)
{
    *found = nullptr;
    ComPtr<IEnumPins> pins;
    HRESULT hr = filter->EnumPins(&pins);
    if (FAILED(hr)) return hr;
    ComPtr<IPin> pin;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION dir;
        bool match = SUCCEEDED(pin->QueryDirection(&dir)) && dir == direction;
        if (match && major) {
            match = false;
            ComPtr<IEnumMediaTypes> types;
            AM_MEDIA_TYPE *type = nullptr;
            if (SUCCEEDED(pin->EnumMediaTypes(&types)) && types->Next(1, &type, nullptr) == S_OK) {
                match = type->majortype == *major;
                DeleteMediaType(type);
            }
        }
        if (match) {
            *found = pin.Detach();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

} // namespace

// A sample grabber callback that passes every sample to a handler. Lives as
// long as the graph holds it, deleted by its last Release.
class PlayGraph::Grabber : public ISampleGrabberCB {
public:
    explicit Grabber(SampleHandler handler) : m_handler(std::move(handler)) {}
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
            *ppv = static_cast<ISampleGrabberCB *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP SampleCB(double, IMediaSample *sample) override
    {
        if (m_handler) m_handler(sample);
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE *, LONG) override { return E_NOTIMPL; }

private:
    virtual ~Grabber() = default;
    std::atomic<ULONG> m_refs{1};
    SampleHandler m_handler;
};

PlayGraph::PlayGraph() = default;

PlayGraph::~PlayGraph()
{
    if (m_graph) {
        ComPtr<IMediaControl> control;
        if (SUCCEEDED(m_graph->QueryInterface(IID_IMediaControl, &control))) control->Stop();
    }
    m_graph.Reset();
    m_soundSink.Reset();
    m_videoSink.Reset();
    m_decoder.Reset();
    m_parser.Reset();
    m_source.Reset();
    FreeMediaType(m_videoType);
    FreeMediaType(m_soundType);
}

bool PlayGraph::fail(PlayError &error, int status, const std::string &message)
{
    error.status = status;
    error.message = message;
    return false;
}

HRESULT PlayGraph::createFilter(REFCLSID clsid, const wchar_t *name, ComPtr<IBaseFilter> &filter)
{
    // A registered module first, as a host finds it; else the one beside us.
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &filter);
    if (SUCCEEDED(hr)) {
        m_fromRegistry = true;
    } else {
        ComPtr<IClassFactory> factory;
        hr = graph::ModuleLoader::Instance().GetClassObject(widen(m_module), clsid, IID_IClassFactory, &factory);
        if (FAILED(hr)) return hr;
        hr = factory->CreateInstance(nullptr, IID_IBaseFilter, &filter);
        if (FAILED(hr)) return hr;
    }
    return m_graph->AddFilter(filter.Get(), name);
}

bool PlayGraph::build(const PlaySettings &s, SampleHandler onPicture, SampleHandler onSound, PlayError &error)
{
    LoadTrace trace;
    std::error_code fsError;
    if (!std::filesystem::exists(s.file, fsError))
        return fail(error, kExitNoLoad, "cannot load " + s.file + ": no such file");
    if (std::filesystem::is_directory(s.file, fsError))
        return fail(error, kExitNoLoad, "cannot load " + s.file + ": it is a folder");
    m_module = moduleBesideProgram();

    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, &m_graph);
    if (FAILED(hr)) return fail(error, kExitFailed, "cannot create the filter graph: " + describe(hr));
    hr = m_graph->AddSourceFilter(widen(s.file).c_str(), L"File Source (Async.)", &m_source);
    if (FAILED(hr)) return fail(error, kExitNoLoad, "cannot load " + s.file + ": " + describe(hr));

    hr = createFilter(CLSID_OrvexMovFileParserFilter, L"Orvex Mov File Parser Filter", m_parser);
    if (FAILED(hr))
        return fail(error, kExitNoLoad,
                    "cannot load the module " + m_module + " (and none is registered): " + describe(hr));
    ComPtr<IPin> sourceOut, parserIn;
    findPin(m_source.Get(), PINDIR_OUTPUT, nullptr, &sourceOut);
    findPin(m_parser.Get(), PINDIR_INPUT, nullptr, &parserIn);
    hr = sourceOut && parserIn ? m_graph->ConnectDirect(sourceOut.Get(), parserIn.Get(), nullptr) : E_UNEXPECTED;
    if (FAILED(hr))
        return fail(error, kExitNoLoad, "cannot load " + s.file + ": " + describe(hr) + trackLines(trace.messages()));

    ComPtr<IPin> videoOut;
    if (FAILED(findPin(m_parser.Get(), PINDIR_OUTPUT, &MEDIATYPE_Video, &videoOut)))
        return fail(error, kExitNoLoad,
                    "cannot load " + s.file + ": the parser serves no video" + trackLines(trace.messages()));

    hr = createFilter(CLSID_OrvexH264DecodeFilter11, L"Orvex H.264 Decode Filter", m_decoder);
    if (FAILED(hr)) return fail(error, kExitNoLoad, "cannot create the decode filter: " + describe(hr));
    {
        // The values a host's property page applies, and IYUV on demand.
        ComPtr<IOrvexH264DecoderParameter2> parameters;
        hr = m_decoder->QueryInterface(IID_IOrvexH264DecoderParameter2, &parameters);
        if (FAILED(hr)) return fail(error, kExitFailed, "the decode filter has no parameters: " + describe(hr));
        parameters->SetDeblockingSkipMode(s.deblock);
        parameters->SetOutputScalingMode(s.scale);
        parameters->SetIYUVFlag(s.format == PixelFormat::kIYUV ? 1 : 0);
    }
    ComPtr<IPin> decoderIn, decoderOut;
    findPin(m_decoder.Get(), PINDIR_INPUT, nullptr, &decoderIn);
    findPin(m_decoder.Get(), PINDIR_OUTPUT, nullptr, &decoderOut);
    hr = decoderIn ? m_graph->ConnectDirect(videoOut.Get(), decoderIn.Get(), nullptr) : E_UNEXPECTED;
    if (FAILED(hr))
        return fail(error, kExitNoLoad,
                    "cannot play " + s.file + ": the decode filter refused its video: " + describe(hr) +
                        trackLines(trace.messages()));

    // The picture type the decode filter proposes in the wanted format.
    static const GUID *const kSubtypes[] = {&MEDIASUBTYPE_YV12, &MEDIASUBTYPE_IYUV, &MEDIASUBTYPE_RGB24,
                                            &MEDIASUBTYPE_RGB32};
    const GUID &subtype = *kSubtypes[int(s.format)];
    AM_MEDIA_TYPE *proposed = nullptr;
    {
        ComPtr<IEnumMediaTypes> types;
        AM_MEDIA_TYPE *type = nullptr;
        if (decoderOut && SUCCEEDED(decoderOut->EnumMediaTypes(&types)))
            while (!proposed && types->Next(1, &type, nullptr) == S_OK) {
                if (type->subtype == subtype)
                    proposed = type;
                else
                    DeleteMediaType(type);
            }
    }
    if (!proposed)
        return fail(error, kExitFailed,
                    std::string("cannot play ") + s.file + ": the decode filter offers no " +
                        pixelFormatName(s.format));

    auto addGrabber = [&](const AM_MEDIA_TYPE &accept, SampleHandler handler, ComPtr<Grabber> &callback,
                          ComPtr<IBaseFilter> &sink, const wchar_t *name) -> HRESULT {
        HRESULT r = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &sink);
        if (FAILED(r)) return r;
        ComPtr<ISampleGrabber> grabber;
        if (FAILED(r = sink->QueryInterface(IID_ISampleGrabber, &grabber))) return r;
        *callback.ReleaseAndGetAddressOf() = new Grabber(std::move(handler)); // its first reference
        if (FAILED(r = grabber->SetMediaType(&accept)) || FAILED(r = grabber->SetCallback(callback.Get(), 0))) return r;
        return m_graph->AddFilter(sink.Get(), name);
    };

    hr = addGrabber(*proposed, std::move(onPicture), m_videoGrabber, m_videoSink, L"Picture Grabber");
    ComPtr<IPin> videoIn;
    if (SUCCEEDED(hr)) hr = findPin(m_videoSink.Get(), PINDIR_INPUT, nullptr, &videoIn);
    if (SUCCEEDED(hr)) hr = m_graph->ConnectDirect(decoderOut.Get(), videoIn.Get(), proposed);
    DeleteMediaType(proposed);
    if (SUCCEEDED(hr)) hr = videoIn->ConnectionMediaType(&m_videoType);
    if (FAILED(hr)) return fail(error, kExitFailed, "cannot connect the picture output: " + describe(hr));

    if (s.sound) {
        ComPtr<IPin> soundOut, soundIn;
        if (FAILED(findPin(m_parser.Get(), PINDIR_OUTPUT, &MEDIATYPE_Audio, &soundOut)))
            return fail(error, kExitCannotCreate, "cannot write sound: " + s.file + " has no sound the parser serves");
        AM_MEDIA_TYPE anySound{};
        anySound.majortype = MEDIATYPE_Audio;
        hr = addGrabber(anySound, std::move(onSound), m_soundGrabber, m_soundSink, L"Sound Grabber");
        if (SUCCEEDED(hr)) hr = findPin(m_soundSink.Get(), PINDIR_INPUT, nullptr, &soundIn);
        if (SUCCEEDED(hr)) hr = m_graph->ConnectDirect(soundOut.Get(), soundIn.Get(), nullptr);
        if (SUCCEEDED(hr)) hr = soundIn->ConnectionMediaType(&m_soundType);
        if (FAILED(hr)) return fail(error, kExitFailed, "cannot connect the sound output: " + describe(hr));
    }

    if (!s.realtime) {
        // Without a clock every filter goes as fast as it can.
        ComPtr<IMediaFilter> filter;
        if (SUCCEEDED(m_graph->QueryInterface(IID_IMediaFilter, &filter))) filter->SetSyncSource(nullptr);
    }
    if (s.start || s.stop) {
        ComPtr<IMediaSeeking> seeking;
        hr = m_graph->QueryInterface(IID_IMediaSeeking, &seeking);
        LONGLONG start = LONGLONG(s.start.value_or(0) * 1e7 + 0.5);
        LONGLONG stop = s.stop ? LONGLONG(*s.stop * 1e7 + 0.5) : 0;
        if (SUCCEEDED(hr))
            hr = seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, &stop,
                                       s.stop ? AM_SEEKING_AbsolutePositioning : AM_SEEKING_NoPositioning);
        if (FAILED(hr)) return fail(error, kExitFailed, "cannot seek in " + s.file + ": " + describe(hr));
    }
    return true;
}

PictureLayout PlayGraph::pictureLayoutOfType() const
{
    if (m_videoType.formattype != FORMAT_VideoInfo || m_videoType.cbFormat < sizeof(VIDEOINFOHEADER))
        throw std::invalid_argument("the picture type has no VIDEOINFOHEADER");
    const auto *vih = reinterpret_cast<const VIDEOINFOHEADER *>(m_videoType.pbFormat);
    PixelFormat format = PixelFormat::kYV12;
    if (m_videoType.subtype == MEDIASUBTYPE_IYUV) format = PixelFormat::kIYUV;
    if (m_videoType.subtype == MEDIASUBTYPE_RGB24) format = PixelFormat::kRGB24;
    if (m_videoType.subtype == MEDIASUBTYPE_RGB32) format = PixelFormat::kRGB32;
    const LONG bw = vih->bmiHeader.biWidth,
               bh = vih->bmiHeader.biHeight < 0 ? -vih->bmiHeader.biHeight : vih->bmiHeader.biHeight;
    const RECT &r = vih->rcTarget;
    const bool target = r.right > r.left && r.bottom > r.top;
    const LONG w = target ? r.right - r.left : bw, h = target ? r.bottom - r.top : bh;
    if (bw <= 0 || bh <= 0 || w <= 0 || h <= 0) throw std::invalid_argument("the picture type has no size");
    return pictureLayout(format, uint32_t(w), uint32_t(h), uint32_t(bw), uint32_t(bh));
}

LONGLONG PlayGraph::durationRt() const
{
    ComPtr<IMediaSeeking> seeking;
    LONGLONG duration = 0;
    if (m_graph && SUCCEEDED(m_graph->QueryInterface(IID_IMediaSeeking, &seeking))) seeking->GetDuration(&duration);
    return duration;
}

HRESULT PlayGraph::run(const std::function<bool()> &stop, const std::function<void()> &progress)
{
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    HRESULT hr = m_graph->QueryInterface(IID_IMediaControl, &control);
    if (SUCCEEDED(hr)) hr = m_graph->QueryInterface(IID_IMediaEvent, &events);
    if (SUCCEEDED(hr)) hr = control->Run();
    if (FAILED(hr)) return hr;
    HRESULT result = S_OK;
    for (;;) {
        LONG code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        // Events wake us at once; the timeout only paces the progress bar.
        if (SUCCEEDED(events->GetEvent(&code, &p1, &p2, 100))) {
            events->FreeEventParams(code, p1, p2);
            if (code == EC_COMPLETE) break;
            if (code == EC_ERRORABORT || code == EC_STREAM_ERROR_STOPPED) {
                result = HRESULT(p1);
                if (SUCCEEDED(result)) result = E_FAIL;
                break;
            }
            if (code == EC_USERABORT) break;
        }
        if (progress) progress();
        if (stop && stop()) break;
    }
    control->Stop();
    return result;
}

} // namespace orvex

#include "parser_loader.h"

#include "movie_loader.h"

#include "MovFileParserFilter/MyParserVideoOutputPin.h"
#include "MovFileParserFilter/OrvexMovFileParserFilter.h"

#include <dshow.h>

namespace orvex {

namespace {
IPin *findPin(IBaseFilter *filter, const wchar_t *name)
{
    IPin *pin = nullptr;
    return SUCCEEDED(filter->FindPin(name, &pin)) ? pin : nullptr;
}

std::string pinName(CBasePin *pin)
{
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info))) return {};
    if (info.pFilter) info.pFilter->Release();
    return narrow(info.achName);
}
} // namespace

ParserLoader::~ParserLoader()
{
    // The graph disconnects and releases its filters; ours go after it.
    if (m_graph) m_graph->Release();
    if (m_parser) m_parser->Release();
    if (m_source) m_source->Release();
}

HRESULT ParserLoader::connect(const std::wstring &path)
{
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  reinterpret_cast<void **>(&m_graph));
    if (FAILED(hr)) return hr;
    hr = CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void **>(&m_source));
    if (FAILED(hr)) return hr;
    CUnknown *parser = COrvexMovFileParserFilter::CreateInstance(nullptr, &hr);
    if (!parser) return hr;
    m_parser = static_cast<COrvexMovFileParserFilter *>(parser);
    m_parser->NonDelegatingAddRef();
    if (FAILED(hr = m_graph->AddFilter(m_source, L"File Source (Async.)")) ||
        FAILED(hr = m_graph->AddFilter(m_parser, L"Orvex Mov File Parser Filter")))
        return hr;

    IFileSourceFilter *file = nullptr;
    hr = m_source->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void **>(&file));
    if (FAILED(hr)) return hr;
    hr = file->Load(path.c_str(), nullptr);
    file->Release();
    if (FAILED(hr)) return hr;
    IPin *out = findPin(m_source, L"Output");
    IPin *in = findPin(m_parser, L"XForm In");
    hr = out && in ? m_graph->ConnectDirect(out, in, nullptr) : E_UNEXPECTED;
    if (out) out->Release();
    if (in) in->Release();
    return hr;
}

bool ParserLoader::load(const std::string &path)
{
    const std::wstring wide = widen(path);
    LoadTrace trace;
    HRESULT hr = connect(wide);
    if (FAILED(hr) && m_parser) {
        // The connection reports a refused type, whatever the parser's reason;
        // the parser's own load of the file names it.
        trace.clear();
        const HRESULT loaded = m_parser->setSource(wide.c_str());
        m_parser->setSource(nullptr);
        if (FAILED(loaded)) hr = loaded;
    }
    if (FAILED(hr)) {
        printLoadFailure(path, hr, trace.messages());
        return false;
    }
    readPins();
    m_tracks = tracksFromTrace(trace.messages(), m_videoPin, m_soundPin);
    return true;
}

void ParserLoader::readPins()
{
    // Pin 1 is the video pin, pin 2 the sound pin when the movie has sound.
    if (auto *video = dynamic_cast<CMyParserOutputPin *>(m_parser->GetPin(1))) {
        m_videoPin = pinName(video);
        m_video = dynamic_cast<const CVideoMediaStreamInfo *>(video->GetStreamInfo());
        m_camera = dynamic_cast<CMyParserOrvexH264VideoOutputPin *>(video) != nullptr;
    }
    if (auto *sound = dynamic_cast<CMyParserOutputPin *>(m_parser->GetPin(2))) {
        m_soundPin = pinName(sound);
        m_sound = dynamic_cast<const CSoundMediaStreamInfo *>(sound->GetStreamInfo());
    }
}

} // namespace orvex

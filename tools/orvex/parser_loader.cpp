#include "parser_loader.h"

#include "movie_loader.h"

#include "MovFileParserFilter/MyParserVideoOutputPin.h"
#include "MovFileParserFilter/OrvexMovFileParserFilter.h"

#include <dshow.h>

namespace orvex {

namespace {
Microsoft::WRL::ComPtr<IPin> findPin(IBaseFilter *filter, const wchar_t *name)
{
    Microsoft::WRL::ComPtr<IPin> pin;
    filter->FindPin(name, &pin);
    return pin;
}

std::string pinName(CBasePin *pin)
{
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info))) return {};
    Microsoft::WRL::ComPtr<IBaseFilter> owner;
    // Takes over the reference QueryPinInfo added (mingw-w64's Attach would add one more).
    *owner.GetAddressOf() = info.pFilter;
    return narrow(info.achName);
}
} // namespace

ParserLoader::ParserLoader() = default;
ParserLoader::~ParserLoader() = default;

HRESULT ParserLoader::connect(const std::wstring &path)
{
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, &m_graph);
    if (FAILED(hr)) return hr;
    hr = CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &m_source);
    if (FAILED(hr)) return hr;
    CUnknown *parser = COrvexMovFileParserFilter::CreateInstance(nullptr, &hr);
    if (!parser) return hr;
    m_parser = static_cast<COrvexMovFileParserFilter *>(parser);
    if (FAILED(hr = m_graph->AddFilter(m_source.Get(), L"File Source (Async.)")) ||
        FAILED(hr = m_graph->AddFilter(m_parser.Get(), L"Orvex Mov File Parser Filter")))
        return hr;

    Microsoft::WRL::ComPtr<IFileSourceFilter> file;
    hr = m_source->QueryInterface(IID_IFileSourceFilter, &file);
    if (FAILED(hr)) return hr;
    hr = file->Load(path.c_str(), nullptr);
    if (FAILED(hr)) return hr;
    Microsoft::WRL::ComPtr<IPin> out = findPin(m_source.Get(), L"Output");
    Microsoft::WRL::ComPtr<IPin> in = findPin(m_parser.Get(), L"XForm In");
    return out && in ? m_graph->ConnectDirect(out.Get(), in.Get(), nullptr) : E_UNEXPECTED;
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

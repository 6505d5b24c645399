#include "parser_graph.h"

#include "support/annexb.h"
#include "support/movie_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace orvex::test {

DeliveryHook::DeliveryHook(Function at) : m_at(std::move(at))
{
    CMyParserOutputPin::SetDeliveryHook(
        [](CMyParserOutputPin *pin, Point point, void *hook) { static_cast<DeliveryHook *>(hook)->m_at(pin, point); },
        this);
}

CMyParserOutputPin *parserPin(IPin *pin)
{
    // The parser's pins are CBasePin objects, IPin their first interface.
    return dynamic_cast<CMyParserOutputPin *>(static_cast<CBasePin *>(pin));
}

ComPtr<IPin> findPin(IBaseFilter *filter, const wchar_t *name)
{
    ComPtr<IPin> pin;
    filter->FindPin(name, &pin);
    return pin;
}

ParserGraph::ParserGraph(const std::string &path)
{
    // The graph reads the filter mapper's registry only when it must search
    // it; keep any such read away from the user's file.
    setenv("ORVEX_REGISTRY", "/nonexistent/orvex-parser-tests/registry", 1);
    HRESULT hr = S_OK;
    COrvexMovFileParserFilter::CreateInstance(nullptr, &hr)->NonDelegatingQueryInterface(IID_IBaseFilter, &m_parser);
    m_connect = AddFile(path, m_parser.Get());
}

IPin *ParserGraph::pin(const wchar_t *name)
{
    ComPtr<IPin> p = findPin(m_parser.Get(), name);
    m_held.emplace_back(p.Get());
    return p.Get();
}

IPin *ParserGraph::videoPin()
{
    IPin *p = pin(L"Video(H.264) Out");
    return p ? p : pin(L"Video(Orvex H.264) Out");
}

IMediaSeeking *ParserGraph::seeking(IPin *pin)
{
    ComPtr<IMediaSeeking> s = QueryHeld<IMediaSeeking>(pin, IID_IMediaSeeking);
    m_held.emplace_back(s.Get());
    return s.Get();
}

CMyMovieStreams loadStreams(const std::string &path)
{
    CMyMovieStreams streams;
    EXPECT_EQ(S_OK, LoadMovieStreams(std::wstring(path.begin(), path.end()).c_str(), &streams));
    return streams;
}

void writeCameraMovie(const std::string &path, int syncEvery)
{
    H264Stream stream = parseAnnexB(readFileBytes(dataMovie("stream_176x144_15fps.h264")));
    VideoInput video = videoFromStream(stream, 176, 144);
    if (syncEvery > 0)
        for (size_t i = 0; i < video.sync.size(); ++i)
            video.sync[i] = i % size_t(syncEvery) == 0;
    SoundInput sound = makeSound(2.5);
    MovieOptions options;
    options.layout = MovieLayout::kCamera;
    writeFileBytes(path, writeMovie(video, &sound, options).file);
}

std::string dataMovie(const std::string &name)
{
    return std::string(ORVEX_TEST_DATA_DIR) + "/movies/" + name;
}

bool has(const std::vector<std::string> &events, const std::string &event)
{
    return std::find(events.begin(), events.end(), event) != events.end();
}

std::vector<std::string> after(const std::vector<std::string> &events, const std::string &event)
{
    auto it = std::find(events.rbegin(), events.rend(), event);
    return std::vector<std::string>(it.base(), events.end());
}

std::string segment(LONGLONG start, LONGLONG stop)
{
    return "segment " + std::to_string(start) + " " + std::to_string(stop);
}

} // namespace orvex::test

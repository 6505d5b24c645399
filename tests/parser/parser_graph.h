// The parser in a real graph of the platform runtime: the file source, the
// parser filter, and recording sinks (tests/support's test doubles) on its
// output pins.
#pragma once

#include "MovFileParserFilter/MovieStreamLoader.h"
#include "MovFileParserFilter/MyParserOutputPin.h"
#include "MovFileParserFilter/OrvexMovFileParserFilter.h"
#include "support/dshow_doubles.h"

#include <functional>
#include <string>
#include <vector>

namespace orvex::test {

// A graph of the file source on path and the parser filter, connected.
class ParserGraph : public TestGraph {
public:
    explicit ParserGraph(const std::string &path);
    HRESULT connectResult() const { return m_connect; }
    IBaseFilter *parser() const { return m_parser.Get(); }
    COrvexMovFileParserFilter *filter() const { return static_cast<COrvexMovFileParserFilter *>(parser()); }
    IPin *pin(const wchar_t *name); // an output pin, or null; held by the graph
    IPin *videoPin();               // whichever video pin the movie has
    IMediaSeeking *seeking(IPin *pin);

private:
    ComPtr<IBaseFilter> m_parser;
    HRESULT m_connect = E_FAIL;
    std::vector<ComPtr<IUnknown>> m_held;
};

// While alive, the parser's delivery threads call at() at each point of
// their loop (CMyParserOutputPin::EDeliveryPoint); at() may hold a thread
// there to force an interleaving.
class DeliveryHook {
public:
    using Point = CMyParserOutputPin::EDeliveryPoint;
    using Function = std::function<void(CMyParserOutputPin *, Point)>;
    explicit DeliveryHook(Function at);
    ~DeliveryHook() { CMyParserOutputPin::SetDeliveryHook(nullptr, nullptr); }
    DeliveryHook(const DeliveryHook &) = delete;
    DeliveryHook &operator=(const DeliveryHook &) = delete;

private:
    Function m_at;
};
// The parser's pin object behind an IPin of it.
CMyParserOutputPin *parserPin(IPin *pin);

ComPtr<IPin> findPin(IBaseFilter *filter, const wchar_t *name);

// The stream infos the parser makes of a file, for the expected index.
CMyMovieStreams loadStreams(const std::string &path);
// A camera-layout movie of the test stream with 2.5 s of 8 kHz sound, a
// sync entry every syncEvery samples (every IDR when 0), written to path.
void writeCameraMovie(const std::string &path, int syncEvery = 0);
std::string dataMovie(const std::string &name);

// Events of a recording pin.
bool has(const std::vector<std::string> &events, const std::string &event);
// The events after the last occurrence of event (all of them when it never came).
std::vector<std::string> after(const std::vector<std::string> &events, const std::string &event);
std::string segment(LONGLONG start, LONGLONG stop);

} // namespace orvex::test

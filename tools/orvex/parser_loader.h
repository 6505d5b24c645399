// Loading a movie through the real parser filter: a file source and the
// parser in a filter graph, the source's output connected to the parser's
// input, and the output pins the parser made, with the streams they serve.
#pragma once

#include "MovFileParserFilter/SoundMediaStreamInfo.h"
#include "MovFileParserFilter/VideoMediaStreamInfo.h"

#include "load_report.h"

#include <wrl/client.h>

#include <string>

struct IGraphBuilder;
struct IBaseFilter;
class COrvexMovFileParserFilter;

namespace orvex {

class ParserLoader {
public:
    ParserLoader();
    ~ParserLoader();
    ParserLoader(const ParserLoader &) = delete;
    ParserLoader &operator=(const ParserLoader &) = delete;

    // Connects a file source on path (UTF-8) to a new parser filter. On
    // failure writes "orvex: cannot load PATH: NAME (0xXXXXXXXX)" on standard
    // error, with the parser's own loading result, and a line per track that
    // says why it was refused, and returns false.
    bool load(const std::string &path);

    // After a load: the pins as the parser names them, and their streams.
    bool camera() const { return m_camera; }
    const std::string &videoPinName() const { return m_videoPin; }
    const CVideoMediaStreamInfo *video() const { return m_video; }
    const std::string &soundPinName() const { return m_soundPin; }
    const CSoundMediaStreamInfo *sound() const { return m_sound; } // null without sound
    // Every track of the movie: the pin that serves it or why none does.
    const std::vector<TrackReport> &tracks() const { return m_tracks; }

private:
    HRESULT connect(const std::wstring &path);
    void readPins();

    // Declared so that the graph goes first: it disconnects and releases its
    // filters, then ours go.
    Microsoft::WRL::ComPtr<IBaseFilter> m_source;
    Microsoft::WRL::ComPtr<COrvexMovFileParserFilter> m_parser;
    Microsoft::WRL::ComPtr<IGraphBuilder> m_graph;
    bool m_camera = false;
    std::string m_videoPin, m_soundPin;
    const CVideoMediaStreamInfo *m_video = nullptr;
    const CSoundMediaStreamInfo *m_sound = nullptr;
    std::vector<TrackReport> m_tracks;
};

} // namespace orvex

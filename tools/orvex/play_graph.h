// The playing graph: file source -> parser -> decode filter -> a sample
// grabber for the pictures, and optionally the parser's sound pin -> a
// second sample grabber. The filters come from the registered module when
// there is one, else from the module beside the program.
#pragma once

#include "picture_layout.h"

#include <dshow.h>
#include <qedit.h>
#include <wrl/client.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvex {

using Microsoft::WRL::ComPtr;

struct PlaySettings {
    std::string file;
    PixelFormat format = PixelFormat::kYV12;
    int scale = 0;
    int deblock = 0;
    bool sound = false; // connect the sound pin
    bool realtime = false;
    std::optional<double> start, stop; // seconds
};

// What failed while building or running, for the user: the message names
// the file and the cause; status is the exit status to give.
struct PlayError {
    int status = 0;
    std::string message;
};

// Called on a streaming thread with each sample a grabber receives.
using SampleHandler = std::function<void(IMediaSample *sample)>;

class PlayGraph {
public:
    PlayGraph();
    ~PlayGraph();
    PlayGraph(const PlayGraph &) = delete;
    PlayGraph &operator=(const PlayGraph &) = delete;

    // Builds and connects everything and seeks; false with error set.
    bool build(const PlaySettings &settings, SampleHandler onPicture, SampleHandler onSound, PlayError &error);

    // The connected types (valid after build).
    const AM_MEDIA_TYPE &videoType() const { return m_videoType; }
    const AM_MEDIA_TYPE &soundType() const { return m_soundType; }
    PictureLayout pictureLayoutOfType() const; // throws std::invalid_argument
    bool modulesFromRegistry() const { return m_fromRegistry; }
    LONGLONG durationRt() const; // of the movie, 100-ns units

    // Runs until every renderer has its end of stream, or until stop()
    // returns true (polled with the progress calls); then stops the graph.
    // S_OK, or the code of the error event.
    HRESULT run(const std::function<bool()> &stop, const std::function<void()> &progress);

private:
    class Grabber;
    HRESULT createFilter(REFCLSID clsid, const wchar_t *name, ComPtr<IBaseFilter> &filter);
    bool fail(PlayError &error, int status, const std::string &message);

    std::string m_module;
    bool m_fromRegistry = false;
    ComPtr<IGraphBuilder> m_graph;
    ComPtr<IBaseFilter> m_source, m_parser, m_decoder, m_videoSink, m_soundSink;
    ComPtr<Grabber> m_videoGrabber, m_soundGrabber; // released after the graph
    AM_MEDIA_TYPE m_videoType{};
    AM_MEDIA_TYPE m_soundType{};
};

} // namespace orvex

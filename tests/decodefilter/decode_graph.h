// Graphs for the decode filter's tests, built through the graph manager:
// file source -> parser -> decode filter -> test sink (or sample grabber),
// or a test-driven push source -> decode filter -> test sink. Graphs run
// without a clock, as fast as the filters go; every wait has a limit so a
// hang fails the test instead of stopping the run.
#pragma once

#include "H264DecodeFilter/OrvexH264DecodeFilter11.h"
#include "push_source.h"
#include "test_sink.h"

#include <dshow.h>
#include <gtest/gtest.h>

#include <string>

#include "support/scratch.h"

// A movie of tests/data/movies.
std::string MoviePath(const std::string &name);

struct PushStream;

class DecodeGraphTest : public testing::Test {
protected:
    static constexpr DWORD kWaitMs = 60000;

    void SetUp() override;
    void TearDown() override;

    // file source -> parser -> decode filter; the decode output unconnected.
    void BuildMovieInput(const std::string &path);
    // push source -> decode filter; the connection's result.
    HRESULT BuildPushInput(const PushSourceConfig &config);
    // decode filter -> a new test sink accepting the subtype.
    void ConnectSink(const GUID &subtype);
    // Runs until the graph completes; false when it did not in time.
    bool RunToCompletion();

    IPin *DecodeIn();
    IPin *DecodeOut();
    IOrvexH264DecoderParameter2 *Parameters() { return m_decoder; }
    HRESULT Connect(IPin *out, IPin *in, const AM_MEDIA_TYPE *pmt = nullptr);

    orvex::test::TempRegistry m_registry;
    IGraphBuilder *m_graph = nullptr;
    IMediaControl *m_control = nullptr;
    IMediaEventEx *m_events = nullptr;
    IMediaSeeking *m_seeking = nullptr;
    COrvexH264DecodeFilter11 *m_decoder = nullptr; // one reference
    IBaseFilter *m_source = nullptr;
    IBaseFilter *m_parser = nullptr;
    CPushSource *m_push = nullptr;
    CTestSink *m_sink = nullptr;
};

// The first output pin of a filter whose name starts with prefix.
IPin *FindOutputPin(IBaseFilter *filter, const std::wstring &prefix = L"");

// A push source for an Annex-B stream of tests/data (path relative to it):
// its first SPS and PPS, its size, and its access units as samples.
struct PushStream {
    PushSourceConfig config;
    std::vector<std::vector<BYTE>> samples; // length-prefixed units, one access unit each
};
PushStream LoadPushStream(const std::string &relativePath, LONG width, LONG height);

// The visible Y, U and V planes of a planar picture (YV12 or IYUV) at the
// strides its type names, as ffmpeg's yuv420p lays them out (chroma rounded up).
std::vector<BYTE> PicturePlanes(const SinkPicture &picture, bool yv12 = true);
// The MD5 of the visible Y, U and V planes of a planar picture (YV12 or
// IYUV), at the strides its type names: comparable with ffmpeg's yuv420p.
std::string PictureMd5(const SinkPicture &picture, bool yv12 = true);

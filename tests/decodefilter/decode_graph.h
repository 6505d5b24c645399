// Graphs for the decode filter's tests, of tests/support's test graph and
// doubles: file source or a push source driven by the test -> (parser ->)
// decode filter -> recording sink. Every wait has a limit.
#pragma once

#include "H264DecodeFilter/OrvexH264DecodeFilter11.h"
#include "MyQuickTimeAPIs/MySampleDescription.h"
#include "common/IOrvexMovParserH264Accessor.h"
#include "support/dshow_doubles.h"
#include "support/scratch.h"

#include <dshow.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>

struct PushStream {
    bool withAccessor = true;
    std::vector<BYTE> sps, pps; // NAL units without prefix
    LONG width = 176, height = 144;
    LONG timeScale = 15000, duration = 30000, sampleCount = 30;
    LONG buffers = 16;
    std::vector<std::vector<BYTE>> samples; // length-prefixed units, one access unit each
};

// The parser's stand-in: a push source whose output offers the parser's
// H.264 type and whose filter, with the accessor, answers
// IOrvexMovParserH264Accessor as the parser does.
class CPushSource : public CTestFilter, public IOrvexMovParserH264Accessor {
public:
    explicit CPushSource(const PushStream &config);
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override
    {
        CheckPointer(ppv, E_POINTER);
        if (riid == IID_IOrvexMovParserH264Accessor && m_config.withAccessor)
            return GetInterface(static_cast<IOrvexMovParserH264Accessor *>(this), ppv);
        return CTestFilter::NonDelegatingQueryInterface(riid, ppv);
    }
    STDMETHODIMP GetParameterSets(BYTE **ppSPS, DWORD *pcbSPS, BYTE **ppPPS, DWORD *pcbPPS) override
    {
        std::tie(*ppSPS, *pcbSPS, *ppPPS, *pcbPPS) = std::make_tuple(m_config.sps.data(), DWORD(m_config.sps.size()),
                                                                     m_config.pps.data(), DWORD(m_config.pps.size()));
        return S_OK;
    }
    STDMETHODIMP GetMediaInfo(LONG *plTimeScale, LONG *plDuration, LONG *plSampleCount) override
    {
        std::tie(*plTimeScale, *plDuration, *plSampleCount) =
            std::tie(m_config.timeScale, m_config.duration, m_config.sampleCount);
        return S_OK;
    }
    STDMETHODIMP_(CMyImageDescription *) GetImageDescription() override { return &m_description; }

    // The SPS and PPS with their length prefixes, as the parser sends them.
    HRESULT PushParameterSets();

private:
    PushStream m_config;
    CMyImageDescription m_description;
};

// A video type of a VIDEOINFOHEADER with these fields.
CMediaType VideoType(const GUID &subtype, LONG width, LONG height, WORD bitCount = 0, RECT rect = {});

// A movie of tests/data/movies.
std::string MoviePath(const std::string &name);

// ffmpeg's width x height pictures of a movie (MD5s of the yuv420p planes)
// with the times and sync flags of the parser's index: the test movies have
// no reordering.
struct ReferencePicture {
    std::string md5;
    REFERENCE_TIME start, stop;
    bool sync;
};
std::vector<ReferencePicture> ReferencePictures(const std::string &path, size_t width, size_t height);

// What a picture sink recorded, in order: "seg START " per new segment,
// "N@TIMES " per picture (N the first of md5s it equals, "?" for none; TIMES
// "START-STOP", "-" without a time) and "eos " per end of stream.
std::string Trace(CTestInputPin *sink, const std::vector<std::string> &md5s);

class DecodeGraphTest : public testing::Test {
protected:
    void SetUp() override
    {
        HRESULT hr = S_OK;
        m_decoder = static_cast<COrvexH264DecodeFilter11 *>(COrvexH264DecodeFilter11::CreateInstance(nullptr, &hr));
        ASSERT_EQ(S_OK, m_graph.Add(m_decoder, L"Decoder"));
    }
    // file source -> parser -> decode filter; the decode output unconnected.
    void BuildMovieInput(const std::string &path);
    // push source -> decode filter; the connection's result.
    HRESULT BuildPushInput(const PushStream &stream)
    {
        const HRESULT hr = m_graph.Add(m_push = new CPushSource(stream), L"Push");
        return FAILED(hr) ? hr : m_graph->ConnectDirect(m_push->Out(), m_decoder->GetPin(0), nullptr);
    }
    // decode filter -> a new recording sink accepting the video subtype.
    void ConnectSink(const GUID &subtype)
    {
        CTestFilter *sink = CTestFilter::Sink({subtype});
        sink->In()->m_majorType = MEDIATYPE_Video;
        m_sink = m_graph.Record(DecodeOut(), sink);
    }
    IPin *DecodeOut() { return m_decoder->GetPin(1); }
    IOrvexH264DecoderParameter2 *Parameters() { return m_decoder; }

    orvex::test::TempRegistry m_registry;
    TestGraph m_graph;
    COrvexH264DecodeFilter11 *m_decoder = nullptr; // held by m_graph
    CPushSource *m_push = nullptr;
    CTestInputPin *m_sink = nullptr;
};

// A push source for an Annex-B stream of tests/data (path relative to it):
// its first SPS and PPS, its size, and its access units as samples.
PushStream LoadPushStream(const std::string &relativePath, LONG width, LONG height);

// The visible Y, U and V planes of a planar picture (YV12 or IYUV) at the
// strides its type names, as ffmpeg's yuv420p lays them out (chroma rounded
// up), and their MD5.
std::vector<BYTE> PicturePlanes(const ReceivedSample &picture, bool yv12 = true);
std::string PictureMd5(const ReceivedSample &picture, bool yv12 = true);

// What the output pins deliver through a real graph, compared with the index
// the parser builds and the file's bytes; connection, pin lifetime, stopping.
#include "parser_graph.h"

#include "MovFileParserFilter/OrvexMovFileParserFilter.h"
#include "common/IOrvexMovParserH264Accessor.h"
#include "support/debug_capture.h"
#include "support/movie_writer.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <mmreg.h>

using namespace orvex::test;

namespace {

// "STREAMID START-STOP MEDIASTART-MEDIASTOP S|- D|- BYTESHASH", "-" for no time.
std::string line(DWORD id, bool timed, LONGLONG start, LONGLONG stop, LONGLONG mediaStart, LONGLONG mediaStop,
                 bool sync, bool discontinuity, const BYTE *bytes, size_t n)
{
    return std::to_string(id) + " " + (timed ? std::to_string(start) + "-" + std::to_string(stop) : "-") + " " +
           (mediaStart >= 0 ? std::to_string(mediaStart) + "-" + std::to_string(mediaStop) : "-") +
           (sync ? " S " : " - ") + (discontinuity ? "D " : "- ") +
           std::to_string(std::hash<std::string>()(std::string(bytes, bytes + n))) + "\n";
}

std::string received(const std::vector<ReceivedSample> &samples)
{
    std::string text;
    for (const ReceivedSample &s : samples)
        text += line(s.streamId, s.Timed(), s.start, s.stop, s.mediaStart, s.mediaStop, s.flags & AM_SAMPLE_SPLICEPOINT,
                     s.flags & AM_SAMPLE_DATADISCONTINUITY, s.bytes.data(), s.bytes.size());
    return text;
}

// A parameter-set sample: the unit after a 4-byte big-endian length.
std::string parameterSet(DWORD id, const BYTE *unit, DWORD length)
{
    Bytes bytes{0, 0, BYTE(length >> 8), BYTE(length)};
    bytes.insert(bytes.end(), unit, unit + length);
    return line(id, false, 0, 0, -1, -1, false, false, bytes.data(), bytes.size());
}

// The index entries with the file's bytes; media times are entry numbers for
// video and sound frames at the PCM rate (none for other sound).
std::string expected(const CQuickTimeMediaStreamInfo &info, const Bytes &file, DWORD pcmRate, bool video)
{
    std::string text;
    LONGLONG n = 0;
    for (const MediaSampleRef &e : info.GetSampleIndex()) {
        const LONGLONG mediaStart = video ? n : pcmRate ? e.start * pcmRate / 10000000 : -1;
        const LONGLONG mediaStop = video ? n : pcmRate ? e.stop * pcmRate / 10000000 : -1;
        text += line(0, true, e.start, e.stop, mediaStart, mediaStop, video && e.sync, false, file.data() + e.offset,
                     e.size);
        ++n;
    }
    return text;
}

struct MovieCase {
    const char *file; // under tests/data/movies, or "camera" for a written camera movie
    const wchar_t *videoPin;
    const wchar_t *soundPin; // null without sound
};

class Delivery : public testing::TestWithParam<MovieCase> {};

TEST_P(Delivery, ParameterSetsThenEveryEntryWithItsIndexTimesAndFileBytes)
{
    ScratchFolder folder;
    const bool camera = GetParam().file == std::string("camera");
    const std::string path = camera ? folder.path("camera.mov") : dataMovie(GetParam().file);
    if (camera) writeCameraMovie(path);
    const Bytes file = readFileBytes(path);
    const CMyMovieStreams streams = loadStreams(path);
    ParserGraph graph(path);
    ASSERT_EQ(S_OK, graph.connectResult());
    ASSERT_EQ(graph.filter()->GetPinCount(), GetParam().soundPin ? 3 : 2);
    CTestInputPin *video = graph.Record(graph.pin(GetParam().videoPin));
    CTestInputPin *sound = GetParam().soundPin ? graph.Record(graph.pin(GetParam().soundPin)) : nullptr;
    ASSERT_EQ(S_OK, graph.Run());
    ASSERT_TRUE(graph.Completes()); // every sink had its end of stream

    // The accessor hands out the units the segment opens with.
    ComPtr<IOrvexMovParserH264Accessor> accessor =
        QueryHeld<IOrvexMovParserH264Accessor>(graph.parser(), IID_IOrvexMovParserH264Accessor);
    BYTE *sps = nullptr, *pps = nullptr;
    DWORD spsLength = 0, ppsLength = 0;
    ASSERT_EQ(S_OK, accessor->GetParameterSets(&sps, &spsLength, &pps, &ppsLength));
    EXPECT_EQ(parameterSet(0x80000000, sps, spsLength) + parameterSet(0x80000001, pps, ppsLength) +
                  expected(*streams.video, file, 0, true),
              received(video->Received()));
    if (!sound) return;
    const CMediaType &type = streams.sound->GetMediaType();
    const DWORD rate =
        *type.Subtype() == MEDIASUBTYPE_PCM ? reinterpret_cast<const WAVEFORMATEX *>(type.Format())->nSamplesPerSec : 0;
    EXPECT_EQ(expected(*streams.sound, file, rate, false), received(sound->Received()));
}

INSTANTIATE_TEST_SUITE_P(ParserMovies, Delivery,
                         testing::Values(MovieCase{"baseline_sowt.mov", L"Video(H.264) Out", L"Audio(PCM) Out"},
                                         MovieCase{"main_aac_faststart.mov", L"Video(H.264) Out", L"Audio(AAC) Out"},
                                         MovieCase{"video_only_faststart.mov", L"Video(H.264) Out", nullptr},
                                         MovieCase{"camera", L"Video(Orvex H.264) Out", L"Audio(PCM) Out"}),
                         [](const testing::TestParamInfo<MovieCase> &info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

TEST(ParserConnection, RefusedSourcesGiveNoPinsAndAConnectionCanBeRemade)
{
    ScratchFolder folder;
    const std::string notMovie = folder.write("notes.mov", {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'});
    ParserGraph refused(notMovie);
    // The base classes report a refused type whatever the reason; the reason is the load's.
    EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, refused.connectResult());
    COrvexMovFileParserFilter *parser = refused.filter();
    EXPECT_EQ(E_INVALIDARG, parser->setSource(std::wstring(notMovie.begin(), notMovie.end()).c_str()));
    ComPtr<IBaseFilter> empty; // a source that names no file
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &empty));
    CMediaType stream;
    stream.SetType(&MEDIATYPE_Stream);
    EXPECT_EQ(E_UNEXPECTED,
              findPin(parser, L"XForm In")->ReceiveConnection(findPin(empty.Get(), L"Output").Get(), &stream));
    EXPECT_EQ(parser->GetPinCount(), 1);

    ParserGraph graph(dataMovie("baseline_sowt.mov"));
    ComPtr<IPin> out = findPin(graph.Source(), L"Output"), in = findPin(graph.parser(), L"XForm In");
    CTestInputPin *sink = graph.Record(graph.videoPin());
    ASSERT_EQ(S_OK, graph.Run());
    EXPECT_EQ(VFW_E_NOT_STOPPED, in->Disconnect()); // the threads read through it
    ASSERT_EQ(S_OK, graph.Stop());
    EXPECT_EQ(S_OK, in->Disconnect());
    EXPECT_EQ(graph.filter()->GetPinCount(), 1);
    EXPECT_FALSE(sink->IsConnected()); // and downstream let go
    EXPECT_EQ(S_OK, out->Disconnect());
    ASSERT_EQ(S_OK, graph->ConnectDirect(out.Get(), in.Get(), nullptr));
    EXPECT_EQ(graph.filter()->GetPinCount(), 3);
}

TEST(ParserPins, APinHeldOutsideKeepsTheFilterUntilItsLastRelease)
{
    const LONG objectsBefore = CBaseObject::ObjectsActive();
    HRESULT hr = S_OK;
    auto *filter = static_cast<COrvexMovFileParserFilter *>(COrvexMovFileParserFilter::CreateInstance(nullptr, &hr));
    filter->NonDelegatingAddRef();
    {
        ComPtr<IOrvexMovParserH264Accessor> accessor;
        ASSERT_EQ(S_OK, filter->NonDelegatingQueryInterface(IID_IOrvexMovParserH264Accessor, &accessor));
        BYTE *sps = nullptr, *pps = nullptr;
        DWORD spsLength = 0, ppsLength = 0;
        EXPECT_TRUE(FAILED(accessor->GetParameterSets(&sps, &spsLength, &pps, &ppsLength))); // no movie yet
        EXPECT_EQ(accessor->GetImageDescription(), nullptr);
    }
    const std::string path = dataMovie("main_aac_faststart.mov");
    ASSERT_EQ(S_OK, filter->setSource(std::wstring(path.begin(), path.end()).c_str()));
    EXPECT_EQ(filter->GetPin(3), nullptr);
    IPin *sound = nullptr;
    ASSERT_EQ(S_OK, filter->FindPin(L"Audio(AAC) Out", &sound)); // the filter's reference and ours
    EXPECT_EQ(sound->AddRef(), 3u);
    EXPECT_EQ(sound->Release(), 2u);
    filter->NonDelegatingRelease(); // the application lets the filter go; the pin keeps it
    PIN_INFO info{};
    ASSERT_EQ(S_OK, sound->QueryPinInfo(&info));
    EXPECT_EQ(static_cast<IBaseFilter *>(filter), Adopt(info.pFilter).Get());
    sound->Release(); // the last outside reference: the filter goes, and the pin with it
    EXPECT_EQ(CBaseObject::ObjectsActive(), objectsBefore);
}

// Downstream holds every buffer, then blocks in Receive: the parser's own
// stop, and the graph's downstream-first one, bring the threads out.
TEST(ParserStop, StopsWhileDeliveryWaitsInGetBufferOrInReceive)
{
    ParserGraph graph(dataMovie("baseline_sowt.mov"));
    CTestInputPin *sink = graph.Record(graph.videoPin());
    sink->m_holdSamples = true; // the buffers never come back
    ASSERT_EQ(S_OK, graph.Run());
    ASSERT_TRUE(sink->WaitReceived(10));
    DebugCapture capture;
    EXPECT_EQ(S_OK, graph.parser()->Stop());
    EXPECT_FALSE(capture.contains("GetBuffer return"));
    graph.Stop();
    sink->ReleaseHeld();

    ScratchFolder folder;
    writeCameraMovie(folder.path("camera.mov"));
    ParserGraph camera(folder.path("camera.mov"));
    CTestInputPin *video = camera.Record(camera.videoPin());
    CTestInputPin *sound = camera.Record(camera.pin(L"Audio(PCM) Out"));
    video->BlockAt(3); // the first picture, after both parameter sets
    sound->BlockAt(1);
    ASSERT_EQ(S_OK, camera.Run());
    for (CTestInputPin *pin : {video, sound})
        ASSERT_TRUE(pin->WaitFor("blocked"));
    capture.clear();
    ASSERT_EQ(S_OK, camera.Stop()); // downstream first: the sinks' stop returns Receive
    EXPECT_EQ(
        1u, capture.count("CMyParserOrvexH264VideoOutputPin::ThreadProc : m_pInputPin->Receive return 0x80040227 \n"));
    EXPECT_FALSE(capture.contains("CMyParserSoundOutputPin::ThreadProc")); // a stopped downstream is no news
}

} // namespace

// Connection, disconnection, pin lifetime and stopping of the parser filter.
#include "parser_graph.h"

#include "MovFileParserFilter/MyParameterSetSample.h"
#include "MovFileParserFilter/OrvexMovFileParserFilter.h"
#include "common/IOrvexMovParserH264Accessor.h"
#include "support/debug_capture.h"
#include "support/movie_writer.h"

#include <gtest/gtest.h>

using namespace orvex::test;

namespace {

CMediaType streamType()
{
    CMediaType type;
    type.SetType(&MEDIATYPE_Stream);
    return type;
}

TEST(ParserConnection, AMovieRefusedAtConnectionGivesTheLoadCodeAndNoPin)
{
    TempFolder folder;
    const std::string path = folder.path("notes.mov");
    writeFileBytes(path, Bytes{'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'});
    ParserGraph graph(path);
    // The base classes report a refused type whatever the reason; the reason
    // is the load's.
    EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, graph.connectResult());
    EXPECT_EQ(pinCount(graph.parser()), 1);
    auto *parser = static_cast<COrvexMovFileParserFilter *>(graph.parser());
    EXPECT_EQ(E_INVALIDARG, parser->setSource(std::wstring(path.begin(), path.end()).c_str()));
    EXPECT_EQ(pinCount(graph.parser()), 1);

    // A source that names no file: E_UNEXPECTED, as the pin answers it.
    IPin *in = findPin(graph.parser(), L"XForm In");
    CMediaType type = streamType();
    IBaseFilter *empty = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void **>(&empty)));
    IPin *emptyOut = findPin(empty, L"Output");
    EXPECT_EQ(E_UNEXPECTED, in->ReceiveConnection(emptyOut, &type));
    EXPECT_EQ(pinCount(graph.parser()), 1);
    emptyOut->Release();
    empty->Release();
    in->Release();
}

TEST(ParserConnection, ConnectDisconnectAndConnectAgain)
{
    ParserGraph graph(dataMovie("baseline_sowt.mov"));
    ASSERT_EQ(S_OK, graph.connectResult());
    EXPECT_EQ(pinCount(graph.parser()), 3);
    IPin *out = findPin(graph.source(), L"Output");
    IPin *in = findPin(graph.parser(), L"XForm In");
    IPin *oldVideo = findPin(graph.parser(), L"Video(H.264) Out");
    RecordingSink *sink = graph.record(oldVideo);
    graph.useClock(false);
    ASSERT_EQ(S_OK, graph.run());
    EXPECT_EQ(VFW_E_NOT_STOPPED, in->Disconnect()); // the threads read through it
    ASSERT_EQ(S_OK, graph.stop());

    EXPECT_EQ(S_OK, in->Disconnect());
    EXPECT_EQ(pinCount(graph.parser()), 1);
    IPin *peer = nullptr;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, oldVideo->ConnectedTo(&peer)); // and downstream let go
    EXPECT_EQ(VFW_E_NOT_CONNECTED, sink->GetPin(0)->ConnectedTo(&peer));
    oldVideo->Release(); // the last reference: the detached pin goes

    EXPECT_EQ(S_OK, out->Disconnect());
    ASSERT_EQ(S_OK, graph.graph()->ConnectDirect(out, in, nullptr));
    EXPECT_EQ(pinCount(graph.parser()), 3);
    RecordingSink *again = graph.record(graph.videoPin());
    ASSERT_EQ(S_OK, graph.run());
    EXPECT_TRUE(again->waitUntil([](const auto &e) { return !e.empty() && e.back() == "eos"; }));
    out->Release();
    in->Release();
}

TEST(ParserPins, APinHeldOutsideKeepsTheFilterUntilItsLastRelease)
{
    const LONG objectsBefore = CBaseObject::ObjectsActive();
    HRESULT hr = S_OK;
    auto *filter = static_cast<COrvexMovFileParserFilter *>(COrvexMovFileParserFilter::CreateInstance(nullptr, &hr));
    filter->NonDelegatingAddRef();
    const std::wstring path = [] {
        std::string p = dataMovie("main_aac_faststart.mov");
        return std::wstring(p.begin(), p.end());
    }();
    ASSERT_EQ(S_OK, filter->setSource(path.c_str()));
    EXPECT_EQ(filter->GetPinCount(), 3);
    EXPECT_EQ(filter->GetPin(3), nullptr);
    EXPECT_EQ(filter->GetPin(-1), nullptr);

    IPin *sound = nullptr;
    ASSERT_EQ(S_OK, filter->FindPin(L"Audio(AAC) Out", &sound)); // the filter's reference and ours
    EXPECT_EQ(sound->AddRef(), 3u);
    IMediaSeeking *seeking = nullptr;
    ASSERT_EQ(S_OK, sound->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void **>(&seeking)));
    EXPECT_EQ(seeking->Release(), 3u);
    EXPECT_EQ(sound->Release(), 2u);

    filter->NonDelegatingRelease(); // the application lets the filter go; the pin keeps it
    PIN_INFO info{};
    ASSERT_EQ(S_OK, sound->QueryPinInfo(&info));
    EXPECT_STREQ(info.achName, L"Audio(AAC) Out");
    EXPECT_EQ(static_cast<IBaseFilter *>(filter), info.pFilter);
    info.pFilter->Release();
    sound->Release(); // the last outside reference: the filter goes, and the pin with it
    EXPECT_EQ(CBaseObject::ObjectsActive(), objectsBefore); // filter and every pin are gone
}

TEST(ParserPins, AccessorWithoutAMovieFailsCleanly)
{
    HRESULT hr = S_OK;
    CUnknown *filter = COrvexMovFileParserFilter::CreateInstance(nullptr, &hr);
    IOrvexMovParserH264Accessor *accessor = nullptr;
    ASSERT_EQ(S_OK, filter->NonDelegatingQueryInterface(IID_IOrvexMovParserH264Accessor,
                                                        reinterpret_cast<void **>(&accessor)));
    BYTE *sps = nullptr, *pps = nullptr;
    DWORD spsLength = 0, ppsLength = 0;
    LONG scale = 0, duration = 0, count = 0;
    EXPECT_TRUE(FAILED(accessor->GetParameterSets(&sps, &spsLength, &pps, &ppsLength)));
    EXPECT_TRUE(FAILED(accessor->GetMediaInfo(&scale, &duration, &count)));
    EXPECT_EQ(accessor->GetImageDescription(), nullptr);
    EXPECT_EQ(E_POINTER, filter->NonDelegatingQueryInterface(IID_IUnknown, nullptr));
    accessor->Release();
}

TEST(ParserPins, AParameterSetSampleNeedsRoomForPrefixAndUnit)
{
    HRESULT hr = S_OK;
    auto *allocator = new CMemAllocator(NAME("test"), nullptr, &hr);
    allocator->AddRef();
    ALLOCATOR_PROPERTIES request{1, 10, 1, 0}, actual{};
    ASSERT_EQ(S_OK, allocator->SetProperties(&request, &actual));
    ASSERT_EQ(S_OK, allocator->Commit());
    IMediaSample *sample = nullptr;
    ASSERT_EQ(S_OK, allocator->GetBuffer(&sample, nullptr, nullptr, 0));
    const BYTE unit[7] = {0x67, 1, 2, 3, 4, 5, 6};
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, FillParameterSetSample(sample, unit, 7, kSequenceParameterSetStreamId));
    ASSERT_EQ(S_OK, FillParameterSetSample(sample, unit, 6, kPictureParameterSetStreamId));
    SampleRecord r = recordSample(sample);
    EXPECT_EQ(r.bytes, (std::vector<BYTE>{0, 0, 0, 6, 0x67, 1, 2, 3, 4, 5}));
    EXPECT_EQ(r.streamId, kPictureParameterSetStreamId);
    EXPECT_FALSE(r.hasTime);
    sample->Release();
    allocator->Decommit();
    allocator->Release();
}

TEST(ParserStop, StopsWhileTheDeliveryThreadWaitsInGetBuffer)
{
    ParserGraph graph(dataMovie("baseline_sowt.mov"));
    ASSERT_EQ(S_OK, graph.connectResult());
    RecordingSink *sink = graph.record(graph.videoPin());
    sink->holdSamples(true); // the ten buffers never come back
    graph.useClock(false);
    ASSERT_EQ(S_OK, graph.run());
    ASSERT_TRUE(sink->waitUntil([](const auto &e) { return e.size() >= 11; }));
    DebugCapture capture;
    // The parser alone: its own decommit must bring the thread out of GetBuffer.
    EXPECT_EQ(S_OK, graph.parser()->Stop());
    EXPECT_FALSE(capture.contains("GetBuffer return"));
    graph.stop();
    sink->releaseHeld();
}

TEST(ParserStop, StopsWhileTheDeliveryThreadsWaitInReceive)
{
    TempFolder folder;
    const std::string path = folder.path("camera.mov");
    writeCameraMovie(path, true);
    ParserGraph graph(path);
    ASSERT_EQ(S_OK, graph.connectResult());
    RecordingSink *video = graph.record(graph.videoPin());
    RecordingSink *sound = graph.record(graph.pin(L"Audio(PCM) Out"));
    video->blockAt(3); // the first picture, after both parameter sets
    sound->blockAt(1);
    graph.useClock(false);
    ASSERT_EQ(S_OK, graph.run());
    auto blocked = [](const auto &e) { return !e.empty() && e.back() == "blocked"; };
    ASSERT_TRUE(video->waitUntil(blocked));
    ASSERT_TRUE(sound->waitUntil(blocked));
    DebugCapture capture;
    ASSERT_EQ(S_OK, graph.stop()); // downstream first: the sinks' stop returns Receive
    EXPECT_EQ(video->events().back(), "eos");
    EXPECT_EQ(sound->events().back(), "eos");
    EXPECT_EQ(capture.count("CMyParserOrvexH264VideoOutputPin::ThreadProc : m_pInputPin->Receive return 0x80040227 \n"),
              1u);
    EXPECT_FALSE(capture.contains("CMyParserSoundOutputPin::ThreadProc")); // a stopped downstream is no news
}

} // namespace

// Building graphs: membership, direct connection with type negotiation,
// intelligent connect through registered filters by merit, rendering, and
// the file source in a graph.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "graph_fixture.h"

namespace {

CBaseFilter *makeSinkLow(HRESULT *)
{
    return CTestFilter::Sink({MEDIASUBTYPE_TestA}, CLSID_TestSinkLow);
}

CBaseFilter *makeSinkHigh(HRESULT *)
{
    return CTestFilter::Sink({MEDIASUBTYPE_TestA}, CLSID_TestSinkHigh);
}

// Registered for TestA, its pin takes only TestB: the registry says more
// than the filter does.
CBaseFilter *makeSinkThatRefuses(HRESULT *)
{
    return CTestFilter::Sink({MEDIASUBTYPE_TestB}, CLSID_TestSinkHigh);
}

CBaseFilter *makeSinkForB(HRESULT *)
{
    return CTestFilter::Sink({MEDIASUBTYPE_TestB}, CLSID_TestSinkLow);
}

CBaseFilter *makeConverter(HRESULT *phr)
{
    return new CTestFilter(phr, 1, {{MEDIASUBTYPE_TestB}}, CLSID_TestConverter);
}

CBaseFilter *makeSplitter(HRESULT *phr)
{
    return new CTestFilter(phr, 1, {{MEDIASUBTYPE_TestB}, {MEDIASUBTYPE_TestC}}, CLSID_TestSplitter);
}

// Takes a byte stream the way a parser does: the file's name from the
// upstream filter, then its reader.
class CTestReaderSink : public CBaseFilter {
    class Input : public CBasePin {
    public:
        Input(CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr)
            : CBasePin(NAME("Reader input"), pFilter, pLock, phr, L"Input", PINDIR_INPUT)
        {
        }
        ~Input() override { BreakConnect(); }
        HRESULT CheckMediaType(const CMediaType *pmt) override
        {
            return *pmt->Type() == MEDIATYPE_Stream && *pmt->Subtype() == GUID_NULL ? S_OK : S_FALSE;
        }
        HRESULT CompleteConnect(IPin *pReceivePin) override
        {
            PIN_INFO info{};
            HRESULT hr = pReceivePin->QueryPinInfo(&info);
            if (FAILED(hr)) return hr;
            IFileSourceFilter *source = nullptr;
            hr = info.pFilter->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void **>(&source));
            info.pFilter->Release();
            if (FAILED(hr)) return hr;
            LPOLESTR name = nullptr;
            hr = source->GetCurFile(&name, nullptr);
            source->Release();
            if (FAILED(hr)) return hr;
            m_fileName = name;
            CoTaskMemFree(name);
            return pReceivePin->QueryInterface(IID_IAsyncReader, reinterpret_cast<void **>(&m_reader));
        }
        HRESULT BreakConnect() override
        {
            if (m_reader) m_reader->Release();
            m_reader = nullptr;
            return S_OK;
        }
        STDMETHODIMP BeginFlush() override { return S_OK; }
        STDMETHODIMP EndFlush() override { return S_OK; }
        std::wstring m_fileName;
        IAsyncReader *m_reader = nullptr;
    };
    CCritSec m_Lock;
    HRESULT m_hr = S_OK;
    Input m_input{this, &m_Lock, &m_hr};

public:
    CTestReaderSink() : CBaseFilter(NAME("Test reader sink"), nullptr, &m_Lock, CLSID_TestFilter) {}
    int GetPinCount() override { return 1; }
    CBasePin *GetPin(int n) override { return n == 0 ? &m_input : nullptr; }
    std::wstring FileName() { return m_input.m_fileName; }
    IAsyncReader *Reader() { return m_input.m_reader; } // not counted
};

GUID connectionSubtype(IPin *pin)
{
    AM_MEDIA_TYPE mt{};
    if (FAILED(pin->ConnectionMediaType(&mt))) return GUID_NULL;
    GUID subtype = mt.subtype;
    FreeMediaType(mt);
    return subtype;
}

class GraphBuilding : public GraphFixture {
protected:
    int filterCount()
    {
        IEnumFilters *filters = nullptr;
        EXPECT_EQ(S_OK, m_graph->EnumFilters(&filters));
        int n = 0;
        IBaseFilter *f = nullptr;
        while (filters->Next(1, &f, nullptr) == S_OK) {
            ++n;
            f->Release();
        }
        filters->Release();
        return n;
    }
    bool hasFilterNamed(const wchar_t *name)
    {
        IBaseFilter *f = nullptr;
        if (m_graph->FindFilterByName(name, &f) != S_OK) return false;
        f->Release();
        return true;
    }
};

TEST_F(GraphBuilding, MembersHaveUniqueNamesAndLeaveDisconnected)
{
    Held<CTestFilter> source(CTestFilter::Source());
    Held<CTestFilter> sink(CTestFilter::Sink());
    ASSERT_EQ(S_OK, m_graph->AddFilter(source.get(), L"Same"));
    EXPECT_EQ(E_INVALIDARG, m_graph->AddFilter(source.get(), L"Other")) << "a filter joins once";
    ASSERT_EQ(VFW_S_DUPLICATE_NAME, m_graph->AddFilter(sink.get(), L"Same"));
    EXPECT_TRUE(hasFilterNamed(L"Same 0001"));
    FILTER_INFO info{};
    ASSERT_EQ(S_OK, sink->QueryFilterInfo(&info));
    EXPECT_STREQ(L"Same 0001", info.achName);
    EXPECT_NE(nullptr, info.pGraph);
    info.pGraph->Release();
    EXPECT_EQ(2, filterCount());

    IPin *out = FirstPin(source.get(), PINDIR_OUTPUT);
    IPin *in = FirstPin(sink.get(), PINDIR_INPUT);
    ASSERT_EQ(S_OK, m_graph->ConnectDirect(out, in, nullptr));
    ASSERT_EQ(S_OK, m_graph->RemoveFilter(sink.get()));
    IPin *peer = nullptr;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, out->ConnectedTo(&peer)) << "the survivor's pin was disconnected too";
    ASSERT_EQ(S_OK, sink->QueryFilterInfo(&info));
    EXPECT_EQ(nullptr, info.pGraph);
    EXPECT_EQ(VFW_E_NOT_FOUND, m_graph->RemoveFilter(sink.get()));
    EXPECT_EQ(1, filterCount());
    IBaseFilter *none = reinterpret_cast<IBaseFilter *>(1);
    EXPECT_EQ(VFW_E_NOT_FOUND, m_graph->FindFilterByName(L"Same 0001", &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, m_graph->AddFilter(nullptr, L"x"));
}

TEST_F(GraphBuilding, ConnectDirectChecksThePinsFirst)
{
    Held<CTestFilter> source(CTestFilter::Source());
    Held<CTestFilter> sink(CTestFilter::Sink());
    Held<CTestFilter> outsider(CTestFilter::Sink());
    add(source.get(), L"Source");
    add(sink.get(), L"Sink");
    IPin *out = FirstPin(source.get(), PINDIR_OUTPUT);
    IPin *in = FirstPin(sink.get(), PINDIR_INPUT);
    EXPECT_EQ(VFW_E_NOT_IN_GRAPH, m_graph->ConnectDirect(out, FirstPin(outsider.get(), PINDIR_INPUT), nullptr));
    EXPECT_EQ(VFW_E_INVALID_DIRECTION, m_graph->ConnectDirect(in, out, nullptr));
    CMediaType typeB = TestType(MEDIASUBTYPE_TestB);
    EXPECT_TRUE(FAILED(m_graph->ConnectDirect(out, in, &typeB))) << "a type neither pin takes";
    CMediaType typeA = TestType(MEDIASUBTYPE_TestA);
    ASSERT_EQ(S_OK, m_graph->ConnectDirect(out, in, &typeA));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, m_graph->ConnectDirect(out, in, &typeA));
    EXPECT_EQ(S_OK, m_graph->Disconnect(in));
    EXPECT_EQ(S_OK, m_graph->Disconnect(out));
    ASSERT_EQ(S_OK, m_control->Pause());
    EXPECT_EQ(VFW_E_NOT_STOPPED, m_graph->ConnectDirect(out, in, &typeA));
    EXPECT_EQ(VFW_E_NOT_STOPPED, m_graph->RemoveFilter(sink.get()));
    EXPECT_EQ(VFW_E_NOT_STOPPED, m_graph->AddFilter(outsider.get(), L"Late"));
}

struct NegotiationCase {
    const char *what;
    std::vector<GUID> sourceOffers;
    std::vector<GUID> sourceAlsoTakes;
    std::vector<GUID> sinkTakes;
    std::vector<GUID> sinkOffers;
    GUID agreed; // GUID_NULL: no connection
};

class TypeNegotiation : public GraphBuilding, public testing::WithParamInterface<NegotiationCase> {};

TEST_P(TypeNegotiation, ConnectTriesTheOutputPinsTypesThenTheInputPins)
{
    const NegotiationCase &c = GetParam();
    HRESULT hr = S_OK;
    Held<CTestFilter> source(CTestFilter::Source(c.sourceOffers));
    source->Out()->m_alsoAccepted = c.sourceAlsoTakes;
    Held<CTestFilter> sink(CTestFilter::Sink());
    sink->In()->m_accepted = c.sinkTakes;
    sink->In()->m_offered = c.sinkOffers;
    add(source.get(), L"Source");
    add(sink.get(), L"Sink");
    IPin *out = FirstPin(source.get(), PINDIR_OUTPUT);
    IPin *in = FirstPin(sink.get(), PINDIR_INPUT);
    hr = m_graph->Connect(out, in);
    if (c.agreed == GUID_NULL) {
        EXPECT_EQ(VFW_E_CANNOT_CONNECT, hr);
        EXPECT_EQ(GUID_NULL, connectionSubtype(out));
    } else {
        ASSERT_EQ(S_OK, hr);
        EXPECT_TRUE(c.agreed == connectionSubtype(out));
        EXPECT_TRUE(c.agreed == connectionSubtype(in));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TypeNegotiation,
    testing::Values(
        NegotiationCase{"first_output_type_wins",
                        {MEDIASUBTYPE_TestA, MEDIASUBTYPE_TestB},
                        {},
                        {MEDIASUBTYPE_TestA, MEDIASUBTYPE_TestB},
                        {MEDIASUBTYPE_TestB},
                        MEDIASUBTYPE_TestA},
        NegotiationCase{"refused_output_type_skipped",
                        {MEDIASUBTYPE_TestC, MEDIASUBTYPE_TestB},
                        {},
                        {MEDIASUBTYPE_TestB},
                        {},
                        MEDIASUBTYPE_TestB},
        NegotiationCase{"input_type_after_output_types",
                        {MEDIASUBTYPE_TestC},
                        {MEDIASUBTYPE_TestB},
                        {MEDIASUBTYPE_TestB},
                        {MEDIASUBTYPE_TestB},
                        MEDIASUBTYPE_TestB},
        NegotiationCase{
            "nothing_in_common", {MEDIASUBTYPE_TestA}, {}, {MEDIASUBTYPE_TestB}, {MEDIASUBTYPE_TestB}, GUID_NULL}),
    [](const testing::TestParamInfo<NegotiationCase> &info) { return std::string(info.param.what); });

TEST_F(GraphBuilding, ConnectGoesThroughARegisteredConverter)
{
    TestFilterClass converter(CLSID_TestConverter, L"Converter", MERIT_NORMAL, makeConverter, {MEDIASUBTYPE_TestA},
                              {MEDIASUBTYPE_TestB});
    Held<CTestFilter> source(CTestFilter::Source());
    Held<CTestFilter> sink(CTestFilter::Sink());
    sink->In()->m_accepted = {MEDIASUBTYPE_TestB};
    add(source.get(), L"Source");
    add(sink.get(), L"Sink");
    ASSERT_EQ(S_OK, m_graph->Connect(FirstPin(source.get(), PINDIR_OUTPUT), FirstPin(sink.get(), PINDIR_INPUT)));
    EXPECT_EQ(1, converter.Created());
    EXPECT_TRUE(hasFilterNamed(L"Converter"));
    EXPECT_TRUE(MEDIASUBTYPE_TestA == connectionSubtype(FirstPin(source.get(), PINDIR_OUTPUT)));
    EXPECT_TRUE(MEDIASUBTYPE_TestB == connectionSubtype(FirstPin(sink.get(), PINDIR_INPUT)));
}

TEST_F(GraphBuilding, FiltersThatMustNotBeUsedAreNotTried)
{
    TestFilterClass converter(CLSID_TestConverter, L"Converter", MERIT_DO_NOT_USE, makeConverter, {MEDIASUBTYPE_TestA},
                              {MEDIASUBTYPE_TestB});
    Held<CTestFilter> source(CTestFilter::Source());
    Held<CTestFilter> sink(CTestFilter::Sink());
    sink->In()->m_accepted = {MEDIASUBTYPE_TestB};
    add(source.get(), L"Source");
    add(sink.get(), L"Sink");
    EXPECT_EQ(VFW_E_CANNOT_CONNECT,
              m_graph->Connect(FirstPin(source.get(), PINDIR_OUTPUT), FirstPin(sink.get(), PINDIR_INPUT)));
    EXPECT_EQ(0, converter.Created());
    EXPECT_EQ(VFW_E_CANNOT_RENDER, m_graph->Render(FirstPin(source.get(), PINDIR_OUTPUT)));
    EXPECT_EQ(2, filterCount());
}

TEST_F(GraphBuilding, RenderPicksTheHigherMerit)
{
    TestFilterClass low(CLSID_TestSinkLow, L"Low sink", MERIT_NORMAL, makeSinkLow, {MEDIASUBTYPE_TestA}, {});
    TestFilterClass high(CLSID_TestSinkHigh, L"High sink", MERIT_NORMAL + 1, makeSinkHigh, {MEDIASUBTYPE_TestA}, {});
    Held<CTestFilter> source(CTestFilter::Source());
    add(source.get(), L"Source");
    ASSERT_EQ(S_OK, m_graph->Render(FirstPin(source.get(), PINDIR_OUTPUT)));
    EXPECT_EQ(1, high.Created());
    EXPECT_EQ(0, low.Created());
    EXPECT_TRUE(hasFilterNamed(L"High sink"));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, m_graph->Render(FirstPin(source.get(), PINDIR_OUTPUT)));
}

TEST_F(GraphBuilding, RenderBacksOutOfAFilterThatRefusesAndTriesTheNext)
{
    TestFilterClass low(CLSID_TestSinkLow, L"Low sink", MERIT_NORMAL, makeSinkLow, {MEDIASUBTYPE_TestA}, {});
    TestFilterClass liar(CLSID_TestSinkHigh, L"Liar", MERIT_PREFERRED, makeSinkThatRefuses, {MEDIASUBTYPE_TestA}, {});
    Held<CTestFilter> source(CTestFilter::Source());
    add(source.get(), L"Source");
    ASSERT_EQ(S_OK, m_graph->Render(FirstPin(source.get(), PINDIR_OUTPUT)));
    EXPECT_EQ(1, liar.Created());
    EXPECT_FALSE(hasFilterNamed(L"Liar")) << "it was taken out again";
    EXPECT_TRUE(hasFilterNamed(L"Low sink"));
    EXPECT_EQ(2, filterCount());
}

TEST_F(GraphBuilding, RenderUsesAFilterAlreadyInTheGraphFirst)
{
    TestFilterClass high(CLSID_TestSinkHigh, L"High sink", MERIT_PREFERRED, makeSinkHigh, {MEDIASUBTYPE_TestA}, {});
    Held<CTestFilter> source(CTestFilter::Source());
    add(source.get(), L"Source");
    IBaseFilter *grabber = addGrabber().filter;
    ASSERT_EQ(S_OK, m_graph->Render(FirstPin(source.get(), PINDIR_OUTPUT)));
    EXPECT_EQ(0, high.Created());
    IPin *peer = nullptr;
    ASSERT_EQ(S_OK, FirstPin(grabber, PINDIR_INPUT)->ConnectedTo(&peer));
    peer->Release();
}

TEST_F(GraphBuilding, RenderFollowsEveryOutputAndReportsWhatItCouldNotRender)
{
    TestFilterClass splitter(CLSID_TestSplitter, L"Splitter", MERIT_NORMAL, makeSplitter, {MEDIASUBTYPE_TestA},
                             {MEDIASUBTYPE_TestB, MEDIASUBTYPE_TestC});
    TestFilterClass sinkB(CLSID_TestSinkLow, L"Sink for B", MERIT_NORMAL, makeSinkForB, {MEDIASUBTYPE_TestB}, {});
    Held<CTestFilter> source(CTestFilter::Source());
    add(source.get(), L"Source");
    EXPECT_EQ(VFW_S_PARTIAL_RENDER, m_graph->Render(FirstPin(source.get(), PINDIR_OUTPUT)));
    EXPECT_TRUE(hasFilterNamed(L"Splitter"));
    EXPECT_TRUE(hasFilterNamed(L"Sink for B"));
    EXPECT_EQ(3, filterCount());
}

TEST_F(GraphBuilding, RenderWithNothingRegisteredLeavesTheGraphAsItWas)
{
    Held<CTestFilter> source(CTestFilter::Source());
    add(source.get(), L"Source");
    IPin *out = FirstPin(source.get(), PINDIR_OUTPUT);
    EXPECT_EQ(VFW_E_CANNOT_RENDER, m_graph->Render(out));
    EXPECT_EQ(1, filterCount());
    Held<CTestFilter> sink(CTestFilter::Sink());
    add(sink.get(), L"Sink");
    EXPECT_EQ(VFW_E_INVALID_DIRECTION, m_graph->Render(FirstPin(sink.get(), PINDIR_INPUT)));
}

class FileGraph : public GraphBuilding {
protected:
    void SetUp() override
    {
        GraphBuilding::SetUp();
        m_file = std::filesystem::path(m_registry.folder()) / "movie.mov";
        std::ofstream(m_file, std::ios::binary) << "0123456789";
    }
    std::filesystem::path m_file;
};

TEST_F(FileGraph, SourceFilterHandsItsNameAndReaderToTheConnectedPin)
{
    IBaseFilter *source = nullptr;
    ASSERT_EQ(S_OK, m_graph->AddSourceFilter(m_file.wstring().c_str(), nullptr, &source));
    EXPECT_TRUE(hasFilterNamed(m_file.wstring().c_str())) << "named after its file";
    Held<CTestReaderSink> reader(new CTestReaderSink);
    add(reader.get(), L"Reader");
    ASSERT_EQ(S_OK, m_graph->Connect(FirstPin(source, PINDIR_OUTPUT), FirstPin(reader.get(), PINDIR_INPUT)));
    EXPECT_EQ(m_file.wstring(), reader->FileName());
    ASSERT_NE(nullptr, reader->Reader());
    BYTE bytes[4] = {};
    EXPECT_EQ(S_OK, reader->Reader()->SyncRead(6, 4, bytes));
    EXPECT_EQ('6', bytes[0]);
    EXPECT_EQ('9', bytes[3]);

    IFileSourceFilter *file = nullptr;
    ASSERT_EQ(S_OK, source->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void **>(&file)));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, file->Load(m_file.wstring().c_str(), nullptr))
        << "the file cannot change under a connected reader";
    file->Release();
    source->Release();
}

TEST_F(FileGraph, UnloadedSourceCannotConnect)
{
    IBaseFilter *source = addStock(CLSID_AsyncReader, L"Empty source");
    Held<CTestReaderSink> reader(new CTestReaderSink);
    add(reader.get(), L"Reader");
    EXPECT_TRUE(FAILED(m_graph->Connect(FirstPin(source, PINDIR_OUTPUT), FirstPin(reader.get(), PINDIR_INPUT))));
}

TEST_F(FileGraph, RenderFileOfAMissingFileFails)
{
    std::wstring missing = (m_file.parent_path() / "missing.mov").wstring();
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), m_graph->RenderFile(missing.c_str(), nullptr));
    EXPECT_EQ(VFW_E_CANNOT_RENDER, m_graph->RenderFile(m_file.wstring().c_str(), nullptr))
        << "nothing registered takes a byte stream";
    EXPECT_EQ(0, filterCount()) << "the source went again";
    EXPECT_EQ(E_INVALIDARG, m_graph->RenderFile(m_file.wstring().c_str(), L"playlist"));
}

} // namespace

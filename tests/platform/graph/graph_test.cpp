// The graph runtime with test filters and a registry of its own: state order, completion, seeking, events,
// building through the registered module, the filter mapper's search, the module loader and the clock.
#include <dshow.h>
#include <qedit.h>
#include <winreg.h>

#include <gtest/gtest.h>

#include <cstring>

#include "support/dshow_doubles.h"
#include "support/hang_guard.h"
#include "support/scratch.h"
#include "module_loader.h"

namespace {

DEFINE_GUID(CLSID_ModuleTestObject, 0x7e57d000, 0x3333, 0x4c4c, 0xa0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02);
DEFINE_GUID(CLSID_Nowhere, 0x7e57d000, 0x3333, 0x4c4c, 0xa0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03);

const std::wstring kModule = [] {
    std::string path = orvex::test::BuildProgram("graph_test_module.ax");
    return std::wstring(path.begin(), path.end());
}();

HRESULT CallModule(const char *name)
{
    HMODULE module = LoadLibraryW(kModule.c_str());
    auto fn = reinterpret_cast<HRESULT(STDAPICALLTYPE *)()>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    HRESULT hr = fn ? fn() : E_FAIL;
    FreeLibrary(module);
    return hr;
}

class Graph : public testing::Test {
protected:
    // A source of count samples connected to a recording sink.
    CTestFilter *Chain(int count, const wchar_t *name)
    {
        CTestFilter *source = CTestFilter::Source();
        source->Out()->m_sampleCount = count;
        m_graph.Add(source, name);
        m_sinks.push_back(CTestFilter::Sink());
        m_graph.Record(source->Out(), m_sinks.back());
        return source;
    }
    std::wstring FilterNames()
    {
        ComPtr<IEnumFilters> filters;
        m_graph->EnumFilters(&filters);
        std::wstring names;
        FILTER_INFO info;
        for (ComPtr<IBaseFilter> f; filters->Next(1, &f, nullptr) == S_OK;) {
            f->QueryFilterInfo(&info);
            info.pGraph->Release();
            names += std::wstring(info.achName) + L";";
        }
        return names;
    }
    void Notify(LONG code, LONG_PTR p1, LONG_PTR p2)
    {
        QueryHeld<IMediaEventSink>(m_graph.Graph(), IID_IMediaEventSink)->Notify(code, p1, p2);
    }

    orvex::test::TempRegistry m_registry;
    std::string m_log; // outlives the graph, which logs its last stop
    TestGraph m_graph;
    std::vector<CTestFilter *> m_sinks;
};

TEST_F(Graph, StateChangesGoDownstreamFirst)
{
    HRESULT hr = S_OK;
    // Added in an order that is neither upstream nor downstream.
    auto *converter = new CTestFilter(&hr, 1, {{MEDIASUBTYPE_TestB}}, CLSID_TestConverter);
    CTestFilter *source = CTestFilter::Source(), *sink = CTestFilter::Sink({MEDIASUBTYPE_TestB});
    for (auto [filter, name] : {std::pair{converter, "converter"}, {source, "source"}, {sink, "sink"}}) {
        m_graph.Add(filter, std::wstring(name, name + std::strlen(name)).c_str());
        filter->m_log = &m_log;
        filter->m_logName = name;
    }
    ASSERT_EQ(S_OK, m_graph->ConnectDirect(source->Out(), converter->In(), nullptr));
    ASSERT_EQ(S_OK, m_graph->ConnectDirect(converter->Out(), sink->In(), nullptr));
    ASSERT_EQ(S_OK, m_graph.Run());
    ASSERT_EQ(S_OK, m_graph.Pause());
    ASSERT_EQ(S_OK, m_graph.Stop());
    EXPECT_EQ("sink:Pause converter:Pause source:Pause sink:Run converter:Run source:Run "
              "sink:Pause converter:Pause source:Pause sink:Stop converter:Stop source:Stop ",
              m_log);
}

TEST_F(Graph, CompletesOnceEveryRendererHasFinished)
{
    LONG code = 0;
    EXPECT_EQ(VFW_E_WRONG_STATE, m_graph.Events()->WaitForCompletion(INFINITE, &code)) << "stopped: never";
    CTestFilter *quick = Chain(20, L"Quick");
    quick->Out()->m_streamId = 0x80000001;
    CTestFilter *idle = Chain(0, L"Idle"); // sends nothing until told
    ASSERT_EQ(S_OK, m_graph.Run());
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(quick->Out()->m_deliveryEnded, 10000));
    EXPECT_EQ(E_ABORT, m_graph.Events()->WaitForCompletion(0, &code)) << "one renderer has had no end of stream";
    Notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter *>(m_sinks[0])));
    EXPECT_EQ(E_ABORT, m_graph.Events()->WaitForCompletion(0, &code)) << "a renderer that says it twice counts once";
    idle->Out()->DeliverEndOfStream();
    ASSERT_TRUE(m_graph.Completes(10000));
    std::vector<ReceivedSample> received = m_sinks[0]->In()->Received();
    ASSERT_EQ(20u, received.size());
    EXPECT_EQ("19 190000-200000 16 2147483649 110\n", Describe({received.back()}));
}

TEST_F(Graph, StopEndsARendererWaitingForItsTime)
{
    ComPtr<IReferenceClock> clock;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock, &clock));
    QueryHeld<IMediaFilter>(m_graph.Graph(), IID_IMediaFilter)->SetSyncSource(clock.Get());
    CTestFilter *late = CTestFilter::Source();
    late->Out()->m_sampleCount = 1;
    late->Out()->m_timeOffset = 3600LL * UNITS; // due in an hour
    m_graph.Add(late, L"Late");
    ComPtr<IBaseFilter> null;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &null));
    m_graph.Add(null.Get(), L"Null");
    ASSERT_EQ(S_OK, m_graph->Connect(late->Out(), FirstPin(null.Get(), PINDIR_INPUT)));
    ASSERT_EQ(S_OK, m_graph.Run());
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(late->Out()->m_deliveryStarted, 10000));
    orvex::test::expectReturns("the stop", [&] { ASSERT_EQ(S_OK, m_graph.Stop()); });
    EXPECT_EQ(VFW_E_WRONG_STATE, late->Out()->LastDeliverResult()) << "the renderer's wait ended";
}

TEST_F(Graph, SeeksGoToThePinsUpstreamOfTheRenderers)
{
    CTestFilter *source = Chain(10, L"Source");
    source->Out()->m_sampleDuration = UNITS;
    CTestFilter *other = Chain(20, L"Other");
    LONGLONG duration = 0, current = 3 * UNITS, stop = 8 * UNITS, at = 0;
    IMediaSeeking *seeking = m_graph.Seeking();
    ASSERT_EQ(S_OK, seeking->GetDuration(&duration));
    ASSERT_EQ(S_OK,
              seeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_AbsolutePositioning));
    ASSERT_EQ(S_OK, seeking->GetCurrentPosition(&at)); // a stopped graph stands at the seek position
    EXPECT_EQ("100000000 1 1 30000000 80000000 30000000",
              std::to_string(duration) + " " + std::to_string(source->Out()->SeekCalls().size()) + " " +
                  std::to_string(other->Out()->SeekCalls().size()) + " " +
                  std::to_string(source->Out()->SeekCalls()[0].current) + " " +
                  std::to_string(source->Out()->SeekCalls()[0].stop) + " " + std::to_string(at));
}

TEST_F(Graph, EventsQueueInOrder)
{
    OAEVENT handle = 0;
    ASSERT_EQ(S_OK, m_graph.Events()->GetEventHandle(&handle));
    std::string seen;
    auto take = [&] {
        LONG code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        seen += WaitForSingleObject(reinterpret_cast<HANDLE>(handle), 0) == WAIT_OBJECT_0 ? "set:" : "unset:";
        if (m_graph.Events()->GetEvent(&code, &p1, &p2, 0) == S_OK)
            seen += std::to_string(code & 0xFFF) + "," + std::to_string(p1) + "," + std::to_string(p2);
        seen += " ";
    };
    take();
    Notify(EC_USER + 1, 11, 12);
    Notify(EC_USER + 2, 21, 22);
    for (int i = 0; i < 3; ++i)
        take();
    ASSERT_EQ(S_OK, m_graph.Events()->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY));
    Notify(EC_USER, 0, 0);
    take();
    EXPECT_EQ("unset: set:1,11,12 set:2,21,22 unset: unset: ", seen);
}

TEST_F(Graph, BuildsThroughTheRegisteredModuleWhichUnloadsWhenUnused)
{
    CTestFilter *source = CTestFilter::Source();
    m_graph.Add(source, L"Source");
    EXPECT_EQ(VFW_E_CANNOT_RENDER, m_graph->Render(source->Out())) << "nothing registered";
    EXPECT_EQ(L"Source;", FilterNames()) << "a failed render leaves the graph as it was";

    ASSERT_EQ(S_OK, CallModule("DllRegisterServer"));
    orvex::graph::ModuleLoader &loader = orvex::graph::ModuleLoader::Instance();
    size_t loaded = loader.LoadedCount();
    ASSERT_EQ(S_OK, m_graph->Render(source->Out()));
    EXPECT_EQ(L"Source;Module Test Filter;", FilterNames());
    EXPECT_EQ(loaded + 1, loader.LoadedCount());
    ComPtr<IUnknown> object;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ModuleTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object));
    EXPECT_EQ(loaded + 1, loader.LoadedCount()) << "loaded once for both classes";
    ComPtr<IBaseFilter> created;
    ASSERT_EQ(S_OK, m_graph->FindFilterByName(L"Module Test Filter", &created));
    ASSERT_EQ(S_OK, m_graph->RemoveFilter(created.Get()));
    created.Reset();
    CoFreeUnusedLibraries();
    EXPECT_EQ(loaded + 1, loader.LoadedCount()) << "an object keeps it loaded";
    object.Reset();
    CoFreeUnusedLibraries();
    EXPECT_EQ(loaded, loader.LoadedCount());

    // Registrations that point nowhere.
    WCHAR guid[CHARS_IN_GUID];
    StringFromGUID2(CLSID_Nowhere, guid, CHARS_IN_GUID);
    const std::wstring key = L"CLSID\\" + std::wstring(guid) + L"\\InprocServer32";
    for (const auto &[path, expected] : {std::pair<std::wstring, HRESULT>{L"/no/such/module.ax", CO_E_DLLNOTFOUND},
                                         {L"libc.so.6", CO_E_ERRORINDLL}, // no DllGetClassObject
                                         {kModule, CLASS_E_CLASSNOTAVAILABLE}}) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueW(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, path.c_str(), 0));
        EXPECT_EQ(expected, CoCreateInstance(CLSID_Nowhere, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object));
        EXPECT_EQ(nullptr, object.Get());
    }
    CoFreeUnusedLibraries();
    ASSERT_EQ(S_OK, CallModule("DllUnregisterServer"));
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              CoCreateInstance(CLSID_ModuleTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object));
}

TEST(FilterMapper, SearchesByTypeWithWildcardsInMeritOrder)
{
    orvex::test::TempRegistry registry;
    ComPtr<IFilterMapper2> mapper;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, &mapper));
    int n = 0;
    auto add = [&](const wchar_t *name, DWORD merit, REGPINTYPES in, REGPINTYPES out) {
        CLSID clsid = CLSID_TestFilter;
        clsid.Data2 = static_cast<WORD>(++n);
        REGFILTERPINS2 pins[2] = {{0, 1, 1, &in, 0, nullptr, nullptr},
                                  {REG_PINFLAG_B_OUTPUT, 1, 1, &out, 0, nullptr, nullptr}};
        REGFILTER2 rf2{};
        rf2.dwVersion = 2;
        rf2.dwMerit = merit;
        rf2.cPins2 = 2;
        rf2.rgPins2 = pins;
        EXPECT_EQ(S_OK, mapper->RegisterFilter(clsid, name, nullptr, nullptr, nullptr, &rf2));
    };
    add(L"Parser", 0x00600001, {&MEDIATYPE_Stream, nullptr}, {&MEDIATYPE_Video, &MEDIASUBTYPE_TestA});
    add(L"Decoder", 0x00600001, {&MEDIATYPE_Video, &MEDIASUBTYPE_TestA}, {&MEDIATYPE_Video, nullptr});
    add(L"Better", 0x00800000, {&MEDIATYPE_Video, &MEDIASUBTYPE_TestA}, {&MEDIATYPE_Video, &MEDIASUBTYPE_YV12});
    add(L"Unused", MERIT_DO_NOT_USE, {&MEDIATYPE_Video, &MEDIASUBTYPE_TestA}, {&MEDIATYPE_Video, nullptr});
    struct Search {
        GUID major, minor;
        DWORD merit;
        BOOL exact;
        const GUID *outMinor;
        const wchar_t *found;
    } searches[] = {
        {MEDIATYPE_Stream, MEDIASUBTYPE_Avi, 0, FALSE, nullptr, L"Parser;"}, // a null subtype takes any
        {MEDIATYPE_Stream, MEDIASUBTYPE_Avi, 0, TRUE, nullptr, L""},         // but not in an exact search
        {MEDIATYPE_Video, MEDIASUBTYPE_TestA, 0, FALSE, nullptr, L"Better;Decoder;Unused;"},
        {GUID_NULL, GUID_NULL, 0x00600001, FALSE, nullptr, L"Better;Decoder;Parser;"}, // the minimum is included
        {MEDIATYPE_Video, MEDIASUBTYPE_TestA, 0x00600002, FALSE, nullptr, L"Better;"},
        {MEDIATYPE_Video, MEDIASUBTYPE_TestA, 0x00600000, FALSE, &MEDIASUBTYPE_YV12, L"Better;Decoder;"},
        {MEDIATYPE_Video, MEDIASUBTYPE_TestA, 0x00600000, TRUE, &MEDIASUBTYPE_YV12, L"Better;"},
        {MEDIATYPE_Audio, GUID_NULL, 0, FALSE, nullptr, L""},
    };
    for (const Search &s : searches) {
        GUID in[2] = {s.major, s.minor}, out[2] = {MEDIATYPE_Video, s.outMinor ? *s.outMinor : GUID_NULL};
        ComPtr<IEnumMoniker> monikers;
        ASSERT_EQ(S_OK,
                  mapper->EnumMatchingFilters(&monikers, 0, s.exact, s.merit, TRUE, 1, in, nullptr, nullptr, FALSE,
                                              s.outMinor != nullptr, s.outMinor ? 1 : 0, out, nullptr, nullptr));
        std::wstring found;
        for (ComPtr<IMoniker> m; monikers->Next(1, &m, nullptr) == S_OK;) {
            ComPtr<IPropertyBag> bag;
            m->BindToStorage(nullptr, nullptr, IID_IPropertyBag, &bag);
            VARIANT v;
            v.vt = VT_EMPTY;
            bag->Read(L"FriendlyName", &v, nullptr);
            found += std::wstring(v.bstrVal) + L";";
            VariantClear(&v);
        }
        EXPECT_EQ(s.found, found) << s.merit;
    }
}

} // namespace

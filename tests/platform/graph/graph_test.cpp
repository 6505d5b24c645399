// The graph runtime with test filters and a registry of its own: state order,
// completion, seeking, events, building through the registered module, the
// filter mapper's search, the module loader, the file source and the clock.
#include <dshow.h>
#include <qedit.h>
#include <winreg.h>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "support/dshow_doubles.h"
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
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                         (void **)&m_graph));
        m_graph->QueryInterface(IID_IMediaControl, (void **)&m_control);
        m_graph->QueryInterface(IID_IMediaEventEx, (void **)&m_events);
        m_graph->QueryInterface(IID_IMediaSeeking, (void **)&m_seeking);
        m_graph->QueryInterface(IID_IMediaFilter, (void **)&m_mediaFilter);
    }
    void TearDown() override
    {
        m_control->Stop();
        for (IUnknown *p : std::initializer_list<IUnknown *>{m_control, m_events, m_seeking, m_mediaFilter})
            p->Release();
        EXPECT_EQ(0u, m_graph->Release());
    }
    // Adds filter, held by the fixture.
    template <class T> T *Add(T *filter, const wchar_t *name)
    {
        m_held.emplace_back(filter);
        EXPECT_TRUE(SUCCEEDED(m_graph->AddFilter(filter, name)));
        return filter;
    }
    // A source of count samples connected to a recording sink.
    CTestFilter *Chain(int count, const wchar_t *name)
    {
        CTestFilter *source = Add(CTestFilter::Source(), name);
        source->Out()->m_sampleCount = count;
        m_sinks.push_back(Add(CTestFilter::Sink(), (std::wstring(name) + L" sink").c_str()));
        EXPECT_EQ(S_OK, m_graph->ConnectDirect(source->Out(), m_sinks.back()->In(), nullptr));
        return source;
    }
    std::wstring FilterNames()
    {
        IEnumFilters *filters = nullptr;
        m_graph->EnumFilters(&filters);
        std::wstring names;
        FILTER_INFO info;
        for (IBaseFilter *f = nullptr; filters->Next(1, &f, nullptr) == S_OK; f->Release()) {
            f->QueryFilterInfo(&info);
            info.pGraph->Release();
            names += std::wstring(info.achName) + L";";
        }
        filters->Release();
        return names;
    }

    orvex::test::TempRegistry m_registry;
    IGraphBuilder *m_graph = nullptr;
    IMediaControl *m_control = nullptr;
    IMediaEventEx *m_events = nullptr;
    IMediaSeeking *m_seeking = nullptr;
    IMediaFilter *m_mediaFilter = nullptr;
    std::vector<ComPtr<IBaseFilter>> m_held;
    std::vector<CTestFilter *> m_sinks;
};

TEST_F(Graph, StateChangesGoDownstreamFirst)
{
    HRESULT hr = S_OK;
    // Added in an order that is neither upstream nor downstream.
    CTestFilter *converter = Add(new CTestFilter(&hr, 1, {{MEDIASUBTYPE_TestB}}, CLSID_TestConverter), L"Converter");
    CTestFilter *source = Add(CTestFilter::Source(), L"Source");
    CTestFilter *sink = Add(CTestFilter::Sink({MEDIASUBTYPE_TestB}), L"Sink");
    ASSERT_EQ(S_OK, m_graph->ConnectDirect(source->Out(), converter->In(), nullptr));
    ASSERT_EQ(S_OK, m_graph->ConnectDirect(converter->Out(), sink->In(), nullptr));
    std::string log;
    for (auto [filter, name] : {std::pair{source, "source"}, {converter, "converter"}, {sink, "sink"}}) {
        filter->m_log = &log;
        filter->m_logName = name;
    }
    ASSERT_EQ(S_OK, m_control->Run());
    ASSERT_EQ(S_OK, m_control->Pause());
    ASSERT_EQ(S_OK, m_control->Stop());
    EXPECT_EQ("sink:Pause converter:Pause source:Pause sink:Run converter:Run source:Run "
              "sink:Pause converter:Pause source:Pause sink:Stop converter:Stop source:Stop ",
              log);
    for (CTestFilter *f : {source, converter, sink})
        f->m_log = nullptr;
}

TEST_F(Graph, CompletesOnceEveryRendererHasFinished)
{
    LONG code = 0;
    EXPECT_EQ(VFW_E_WRONG_STATE, m_events->WaitForCompletion(INFINITE, &code)) << "a stopped graph never completes";
    ASSERT_EQ(S_OK, m_mediaFilter->SetSyncSource(nullptr)); // as fast as the filters go
    CTestFilter *quick = Chain(20, L"Quick");
    quick->Out()->m_streamId = 0x80000001;
    CTestFilter *idle = Chain(0, L"Idle"); // sends nothing until told
    ASSERT_EQ(S_OK, m_control->Run());
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(quick->Out()->m_deliveryEnded, 10000));
    EXPECT_EQ(E_ABORT, m_events->WaitForCompletion(0, &code)) << "one renderer has had no end of stream";
    IMediaEventSink *sink = nullptr;
    m_graph->QueryInterface(IID_IMediaEventSink, (void **)&sink);
    sink->Notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter *>(m_sinks[0])));
    sink->Release();
    EXPECT_EQ(E_ABORT, m_events->WaitForCompletion(0, &code)) << "a renderer that says it twice counts once";
    idle->Out()->DeliverEndOfStream();
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(10000, &code));
    EXPECT_EQ(EC_COMPLETE, code);
    std::vector<ReceivedSample> received = m_sinks[0]->In()->Received();
    ASSERT_EQ(20u, received.size());
    EXPECT_EQ("19 190000-200000 16 2147483649 110\n", Describe({received.back()}));
}

TEST_F(Graph, StopEndsARendererWaitingForItsTime)
{
    CTestFilter *late = Add(CTestFilter::Source(), L"Late");
    late->Out()->m_sampleCount = 1;
    late->Out()->m_timeOffset = 3600LL * UNITS; // due in an hour
    IBaseFilter *null = nullptr;
    ASSERT_EQ(S_OK,
              CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void **)&null));
    Add(null, L"Null")->Release(); // the fixture holds it
    ASSERT_EQ(S_OK, m_graph->Connect(late->Out(), FirstPin(null, PINDIR_INPUT)));
    ASSERT_EQ(S_OK, m_control->Run());
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(late->Out()->m_deliveryStarted, 10000));
    ASSERT_EQ(S_OK, m_control->Stop());
    EXPECT_EQ(VFW_E_WRONG_STATE, late->Out()->LastDeliverResult()) << "the renderer's wait ended";
}

TEST_F(Graph, SeeksGoToThePinsUpstreamOfTheRenderersAndRestartTheStream)
{
    ASSERT_EQ(S_OK, m_mediaFilter->SetSyncSource(nullptr));
    CTestFilter *source = Chain(10, L"Source");
    source->Out()->m_sampleDuration = UNITS;
    CTestFilter *other = Chain(20, L"Other");
    LONGLONG duration = 0, current = 3 * UNITS, stop = 8 * UNITS;
    ASSERT_EQ(S_OK, m_seeking->GetDuration(&duration));
    EXPECT_EQ(10 * UNITS, duration) << "the longer stream";
    ASSERT_EQ(S_OK,
              m_seeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_AbsolutePositioning));
    EXPECT_EQ("1 1 30000000 80000000", std::to_string(source->Out()->SeekCalls().size()) + " " +
                                           std::to_string(other->Out()->SeekCalls().size()) + " " +
                                           std::to_string(source->Out()->SeekCalls()[0].current) + " " +
                                           std::to_string(source->Out()->SeekCalls()[0].stop));
    ASSERT_EQ(S_OK, m_seeking->GetCurrentPosition(&current));
    EXPECT_EQ(3 * UNITS, current) << "a stopped graph stands at the seek position";

    ASSERT_EQ(S_OK, m_control->Run());
    LONG code = 0;
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(10000, &code));
    current = 7 * UNITS;
    ASSERT_EQ(S_OK, m_seeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, nullptr, 0));
    OAFilterState state;
    EXPECT_EQ(S_OK, m_control->GetState(0, &state));
    EXPECT_EQ(State_Running, state) << "running again after the seek";
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(10000, &code)) << "the second pass completes too";
    std::string firstBytes;
    for (const ReceivedSample &r : m_sinks[0]->In()->Received())
        firstBytes += std::to_string(r.firstByte);
    EXPECT_EQ("3456789789", firstBytes) << "from the first seek's position, then from the second";
}

TEST_F(Graph, EventsQueueInOrder)
{
    IMediaEventSink *sink = nullptr;
    m_graph->QueryInterface(IID_IMediaEventSink, (void **)&sink);
    OAEVENT handle = 0;
    ASSERT_EQ(S_OK, m_events->GetEventHandle(&handle));
    HANDLE event = reinterpret_cast<HANDLE>(handle);
    std::string seen;
    auto take = [&] {
        LONG code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        seen += WaitForSingleObject(event, 0) == WAIT_OBJECT_0 ? "set:" : "unset:";
        if (m_events->GetEvent(&code, &p1, &p2, 0) == S_OK)
            seen += std::to_string(code & 0xFFF) + "," + std::to_string(p1) + "," + std::to_string(p2);
        seen += " ";
    };
    take();
    sink->Notify(EC_USER + 1, 11, 12);
    sink->Notify(EC_USER + 2, 21, 22);
    take();
    take();
    take();
    ASSERT_EQ(S_OK, m_events->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY));
    sink->Notify(EC_USER, 0, 0);
    take();
    EXPECT_EQ("unset: set:1,11,12 set:2,21,22 unset: unset: ", seen);
    sink->Release();
}

TEST_F(Graph, BuildsThroughTheRegisteredModuleWhichUnloadsWhenUnused)
{
    CTestFilter *source = Add(CTestFilter::Source(), L"Source");
    EXPECT_EQ(VFW_E_CANNOT_RENDER, m_graph->Render(source->Out())) << "nothing registered";
    EXPECT_EQ(L"Source;", FilterNames()) << "a failed render leaves the graph as it was";

    ASSERT_EQ(S_OK, CallModule("DllRegisterServer"));
    orvex::graph::ModuleLoader &loader = orvex::graph::ModuleLoader::Instance();
    size_t loaded = loader.LoadedCount();
    ASSERT_EQ(S_OK, m_graph->Render(source->Out()));
    EXPECT_EQ(L"Source;Module Test Filter;", FilterNames());
    EXPECT_EQ(loaded + 1, loader.LoadedCount());
    IUnknown *object = nullptr;
    ASSERT_EQ(S_OK,
              CoCreateInstance(CLSID_ModuleTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void **)&object));
    EXPECT_EQ(loaded + 1, loader.LoadedCount()) << "loaded once for both classes";
    IBaseFilter *created = nullptr;
    ASSERT_EQ(S_OK, m_graph->FindFilterByName(L"Module Test Filter", &created));
    ASSERT_EQ(S_OK, m_graph->RemoveFilter(created));
    created->Release();
    CoFreeUnusedLibraries();
    EXPECT_EQ(loaded + 1, loader.LoadedCount()) << "an object keeps it loaded";
    object->Release();
    CoFreeUnusedLibraries();
    EXPECT_EQ(loaded, loader.LoadedCount());

    // Registrations that point nowhere.
    const std::pair<std::wstring, HRESULT> servers[] = {
        {L"/no/such/module.ax", CO_E_DLLNOTFOUND},
        {L"libc.so.6", CO_E_ERRORINDLL}, // no DllGetClassObject
        {kModule, CLASS_E_CLASSNOTAVAILABLE},
    };
    for (const auto &[path, expected] : servers) {
        WCHAR guid[CHARS_IN_GUID];
        StringFromGUID2(CLSID_Nowhere, guid, CHARS_IN_GUID);
        std::wstring key = L"CLSID\\" + std::wstring(guid) + L"\\InprocServer32";
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueW(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, path.c_str(), 0));
        object = reinterpret_cast<IUnknown *>(1);
        EXPECT_EQ(expected,
                  CoCreateInstance(CLSID_Nowhere, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void **)&object));
        EXPECT_EQ(nullptr, object);
    }
    CoFreeUnusedLibraries();
    ASSERT_EQ(S_OK, CallModule("DllUnregisterServer"));
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              CoCreateInstance(CLSID_ModuleTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void **)&object));
}

TEST(FilterMapper, SearchesByTypeWithWildcardsInMeritOrder)
{
    orvex::test::TempRegistry registry;
    IFilterMapper2 *mapper = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                     (void **)&mapper));
    auto add = [&](const wchar_t *name, DWORD merit, REGPINTYPES in, REGPINTYPES out) {
        static int n = 0;
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
        IEnumMoniker *monikers = nullptr;
        ASSERT_EQ(S_OK,
                  mapper->EnumMatchingFilters(&monikers, 0, s.exact, s.merit, TRUE, 1, in, nullptr, nullptr, FALSE,
                                              s.outMinor != nullptr, s.outMinor ? 1 : 0, out, nullptr, nullptr));
        std::wstring found;
        for (IMoniker *m = nullptr; monikers->Next(1, &m, nullptr) == S_OK; m->Release()) {
            IPropertyBag *bag = nullptr;
            m->BindToStorage(nullptr, nullptr, IID_IPropertyBag, (void **)&bag);
            VARIANT v;
            v.vt = VT_EMPTY;
            bag->Read(L"FriendlyName", &v, nullptr);
            found += std::wstring(v.bstrVal) + L";";
            VariantClear(&v);
            bag->Release();
        }
        monikers->Release();
        EXPECT_EQ(s.found, found) << s.merit;
    }
    mapper->Release();
}

TEST(FileSource, ReadsTheFileShortAtTheEnd)
{
    orvex::test::ScratchFolder folder;
    std::string path = folder.write("data.bin", {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'});
    IBaseFilter *filter = nullptr;
    ASSERT_EQ(S_OK,
              CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void **)&filter));
    IFileSourceFilter *source = nullptr;
    filter->QueryInterface(IID_IFileSourceFilter, (void **)&source);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), source->Load(L"/no/such/file", nullptr));
    ASSERT_EQ(S_OK, source->Load(std::wstring(path.begin(), path.end()).c_str(), nullptr));
    IPin *pin = nullptr;
    ASSERT_EQ(S_OK, filter->FindPin(L"Output", &pin));
    IAsyncReader *reader = nullptr;
    ASSERT_EQ(S_OK, pin->QueryInterface(IID_IAsyncReader, (void **)&reader));
    std::string reads;
    for (auto [position, length] : {std::pair<LONGLONG, LONG>{0, 4}, {8, 4}, {20, 4}, {-1, 4}, {0, -4}}) {
        char buf[4] = {};
        HRESULT hr = reader->SyncRead(position, length, reinterpret_cast<BYTE *>(buf));
        reads += (hr == S_OK           ? "ok:"
                  : hr == S_FALSE      ? "short:"
                  : hr == E_INVALIDARG ? "invalid:"
                                       : "?:") +
                 std::string(buf, strnlen(buf, 4)) + " ";
    }
    EXPECT_EQ("ok:0123 short:89 short: invalid: invalid: ", reads);

    reader->Release();
    pin->Release();
    source->Release();
    EXPECT_EQ(0u, filter->Release());
}

TEST(SystemClock, AdvisesSignalTheirEventOnceTheTimeHasCome)
{
    IReferenceClock *clock = nullptr;
    ASSERT_EQ(S_OK,
              CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock, (void **)&clock));
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    REFERENCE_TIME now = 0, later = 0;
    clock->GetTime(&now);
    DWORD_PTR single = 0, hour = 0;
    ASSERT_EQ(S_OK, clock->AdviseTime(now, 20 * 10000, reinterpret_cast<HEVENT>(event), &single));
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(event, 10000));
    clock->GetTime(&later);
    EXPECT_GE(later, now + 20 * 10000);
    EXPECT_EQ(S_FALSE, clock->Unadvise(single)) << "a single advise is gone once signaled";
    ASSERT_EQ(S_OK, clock->AdviseTime(later, 3600LL * UNITS, reinterpret_cast<HEVENT>(event), &hour));
    EXPECT_EQ(E_INVALIDARG, clock->AdviseTime(0x7FFFFFFFFFFFFFFF, 10, reinterpret_cast<HEVENT>(event), &single));
    EXPECT_EQ(0u, clock->Release()) << "the timer thread ends with the clock, an advise still pending";
    CloseHandle(event);
}

} // namespace

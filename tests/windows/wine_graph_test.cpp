// The registered module inside a DirectShow we did not write: Wine's filter
// graph, file source, sample grabber and null renderer, with our filters
// created from the registration that regsvr32 wrote.
#include <windows.h>

#include <dshow.h>
#include <gtest/gtest.h>
#include <initguid.h>
#include <qedit.h>
#include <wrl/client.h>

#include "H264DecodeFilter/IOrvexH264DecoderParameter2.h"
#include "H264DecodeFilter/OrvexH264DecodeFilterResource.h"
#include "common/OrvexGuids.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

// qedit.h of mingw-w64 lacks the class identifiers of these two filters.
DEFINE_GUID(CLSID_SampleGrabberFilter, 0xc1f400a0, 0x3f08, 0x11d3, 0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37);
DEFINE_GUID(CLSID_NullRendererFilter, 0xc1f400a4, 0x3f08, 0x11d3, 0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37);

namespace {

const std::string kMovies = std::string(ORVEX_TEST_DATA_DIR) + "/movies/";

// ffmpeg's decoding, written beside the programs by wine_references.
std::vector<BYTE> LoadBytes(const std::string &file)
{
    std::ifstream in("references/" + file, std::ios::binary);
    return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct ReferencePicture {
    std::vector<BYTE> yuv420p, bgr24;
    REFERENCE_TIME start = 0, stop = 0;
};

// The movie's pictures as ffmpeg's yuv420p and bgr24 with their times; empty
// when the frames do not divide into the pictures.
std::vector<ReferencePicture> LoadPictures(const std::string &movie)
{
    std::vector<ReferencePicture> pictures;
    std::ifstream times("references/" + movie + ".times");
    ReferencePicture p;
    while (times >> p.start >> p.stop)
        pictures.push_back(p);
    for (auto frame : {&ReferencePicture::yuv420p, &ReferencePicture::bgr24}) {
        const std::vector<BYTE> all = LoadBytes(movie + (frame == &ReferencePicture::bgr24 ? ".bgr24" : ".yuv420p"));
        if (pictures.empty() || all.size() % pictures.size()) return {};
        const size_t size = all.size() / pictures.size();
        for (size_t i = 0; i < pictures.size(); ++i)
            (pictures[i].*frame).assign(all.begin() + i * size, all.begin() + (i + 1) * size);
    }
    return pictures;
}

struct Picture {
    std::vector<BYTE> bytes;
    REFERENCE_TIME start = 0, stop = 0;
    HRESULT timeResult = E_FAIL;
};

// The IUnknown of an object the test itself owns: no counting.
template <class Interface, const IID &kIid> class Unowned : public Interface {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        *ppv = riid == IID_IUnknown || riid == kIid ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
};

// Keeps a copy of every sample the grabber sees, on the streaming thread,
// and signals each one.
class Collector : public Unowned<ISampleGrabberCB, IID_ISampleGrabberCB> {
public:
    STDMETHODIMP SampleCB(double, IMediaSample *sample) override
    {
        Picture p;
        BYTE *data = nullptr;
        sample->GetPointer(&data);
        p.bytes.assign(data, data + sample->GetActualDataLength());
        p.timeResult = sample->GetTime(&p.start, &p.stop);
        std::lock_guard<std::mutex> lock(m_lock);
        m_pictures.push_back(std::move(p));
        SetEvent(m_arrived.get());
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE *, LONG) override { return E_NOTIMPL; }

    // The samples come since the last call.
    std::vector<Picture> Take()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return std::move(m_pictures);
    }
    // False when no sample came within the time.
    bool WaitForSample() { return WaitForSingleObject(m_arrived.get(), 20000) == WAIT_OBJECT_0; }

private:
    std::mutex m_lock;
    std::vector<Picture> m_pictures;
    std::unique_ptr<void, decltype(&CloseHandle)> m_arrived{CreateEventW(nullptr, FALSE, FALSE, nullptr), &CloseHandle};
};

class WineGraphTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }
    void TearDown() override
    {
        m_control.Reset();
        m_graph.Reset();
        CoUninitialize();
    }

    ComPtr<IBaseFilter> Add(REFCLSID clsid, const wchar_t *name)
    {
        ComPtr<IBaseFilter> filter;
        EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter)));
        EXPECT_HRESULT_SUCCEEDED(filter ? m_graph->AddFilter(filter.Get(), name) : E_POINTER);
        return filter;
    }

    // The output pin outputIndex of from to the input pin of to.
    HRESULT Connect(IBaseFilter *from, IBaseFilter *to, int outputIndex = 0)
    {
        ComPtr<IPin> ends[2], pin;
        for (int side = 0; side < 2; ++side) {
            ComPtr<IEnumPins> pins;
            (side ? to : from)->EnumPins(&pins);
            PIN_DIRECTION direction;
            for (int skip = side ? 0 : outputIndex;
                 !ends[side] && pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK;)
                if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == (side ? PINDIR_INPUT : PINDIR_OUTPUT) &&
                    skip-- == 0)
                    ends[side] = pin;
        }
        return ends[0] && ends[1] ? m_graph->ConnectDirect(ends[0].Get(), ends[1].Get(), nullptr) : E_FAIL;
    }

    // A new graph: file source -> parser -> decode filter -> grabber taking
    // the picture subtype -> null renderer; for GUID_NULL the parser's sound
    // pin straight into the grabber, its video pin left unconnected.
    void BuildGraph(const std::string &movie, const GUID &subtype)
    {
        m_control.Reset();
        m_graph.Reset();
        m_collector.Take();
        ASSERT_HRESULT_SUCCEEDED(
            CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&m_graph)));
        ComPtr<IBaseFilter> source = Add(CLSID_AsyncReader, L"source");
        ComPtr<IFileSourceFilter> file;
        ASSERT_HRESULT_SUCCEEDED(source.As(&file));
        // The parser takes the byte stream untyped; Wine's source would
        // otherwise guess a subtype from the file's first bytes.
        AM_MEDIA_TYPE stream{}; // subtype GUID_NULL
        stream.majortype = MEDIATYPE_Stream;
        std::wstring path = L"Z:"; // the Linux path as Wine's drive Z: sees it
        for (char c : kMovies + movie)
            path += c == '/' ? L'\\' : wchar_t(c);
        ASSERT_HRESULT_SUCCEEDED(file->Load(path.c_str(), &stream));
        ComPtr<IBaseFilter> parser = Add(CLSID_OrvexMovFileParserFilter, L"parser");
        ASSERT_TRUE(parser);
        ASSERT_HRESULT_SUCCEEDED(Connect(source.Get(), parser.Get()));
        ComPtr<IBaseFilter> upstream = parser;
        const bool sound = subtype == GUID_NULL;
        if (!sound) {
            upstream = Add(CLSID_OrvexH264DecodeFilter11, L"decoder");
            ASSERT_TRUE(upstream);
            ComPtr<IOrvexH264DecoderParameter2> parameters;
            ASSERT_HRESULT_SUCCEEDED(upstream->QueryInterface(IID_IOrvexH264DecoderParameter2,
                                                              reinterpret_cast<void **>(parameters.GetAddressOf())));
            parameters->SetIYUVFlag(subtype == MEDIASUBTYPE_IYUV);
            ASSERT_HRESULT_SUCCEEDED(Connect(parser.Get(), upstream.Get()));
        }
        ComPtr<IBaseFilter> grabber = Add(CLSID_SampleGrabberFilter, L"grabber");
        ComPtr<ISampleGrabber> grab;
        ASSERT_HRESULT_SUCCEEDED(grabber.As(&grab));
        AM_MEDIA_TYPE type{};
        type.majortype = sound ? MEDIATYPE_Audio : MEDIATYPE_Video;
        type.subtype = subtype;
        ASSERT_HRESULT_SUCCEEDED(grab->SetMediaType(&type));
        ASSERT_HRESULT_SUCCEEDED(grab->SetCallback(&m_collector, 0));
        ComPtr<IBaseFilter> renderer = Add(CLSID_NullRendererFilter, L"renderer");
        ASSERT_HRESULT_SUCCEEDED(Connect(upstream.Get(), grabber.Get(), sound ? 1 : 0));
        ASSERT_HRESULT_SUCCEEDED(Connect(grabber.Get(), renderer.Get()));
        AM_MEDIA_TYPE connected{};
        ASSERT_HRESULT_SUCCEEDED(grab->GetConnectedMediaType(&connected));
        if (connected.formattype == FORMAT_VideoInfo)
            m_videoInfo = *reinterpret_cast<const VIDEOINFOHEADER *>(connected.pbFormat);
        CoTaskMemFree(connected.pbFormat);
        if (connected.pUnk) connected.pUnk->Release();
        // Without a clock the graph delivers as fast as the filters go.
        ComPtr<IMediaFilter> filter;
        ASSERT_HRESULT_SUCCEEDED(m_graph.As(&filter));
        ASSERT_HRESULT_SUCCEEDED(filter->SetSyncSource(nullptr));
        ASSERT_HRESULT_SUCCEEDED(m_graph.As(&m_control));
    }

    // Runs the graph to its end and stops it: the samples it delivered,
    // none when it did not complete in time.
    std::vector<Picture> RunToEnd()
    {
        ComPtr<IMediaEvent> events;
        LONG code = 0;
        const bool complete =
            SUCCEEDED(m_graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void **>(events.GetAddressOf()))) &&
            SUCCEEDED(m_control->Run()) && events->WaitForCompletion(60000, &code) == S_OK && code == EC_COMPLETE;
        m_control->Stop();
        EXPECT_TRUE(complete);
        return complete ? m_collector.Take() : std::vector<Picture>();
    }

    // The picture as ffmpeg writes it, without the stride padding: the
    // planes as yuv420p (Y, U, V), or packed RGB as bgr24 rows.
    std::vector<BYTE> AsFfmpeg(const Picture &p, bool yv12) const
    {
        const BITMAPINFOHEADER &bmi = m_videoInfo.bmiHeader;
        const size_t height = std::abs(bmi.biHeight), pixel = bmi.biBitCount / 8;
        std::vector<BYTE> out;
        const BYTE *y = p.bytes.data();
        if (pixel >= 3) {
            const size_t width = bmi.biWidth, stride = (width * pixel + 3) & ~size_t(3);
            if (p.bytes.size() < stride * height) return {};
            for (size_t i = 0; i < width * height; ++i)
                out.insert(out.end(), y + i / width * stride + i % width * pixel,
                           y + i / width * stride + i % width * pixel + 3);
            return out;
        }
        const size_t stride = bmi.biWidth, width = m_videoInfo.rcSource.right > 0 ? m_videoInfo.rcSource.right : stride;
        if (p.bytes.size() < stride * height * 3 / 2) return {};
        const BYTE *first = y + stride * height, *second = first + (stride / 2) * (height / 2);
        for (size_t r = 0; r < height; ++r)
            out.insert(out.end(), y + r * stride, y + r * stride + width);
        for (const BYTE *plane : {yv12 ? second : first, yv12 ? first : second})
            for (size_t r = 0; r < height / 2; ++r)
                out.insert(out.end(), plane + r * (stride / 2), plane + r * (stride / 2) + width / 2);
        return out;
    }

    ComPtr<IGraphBuilder> m_graph;
    ComPtr<IMediaControl> m_control;
    Collector m_collector;
    VIDEOINFOHEADER m_videoInfo{};
};

// Every movie of the test data through Wine's graph: in the four picture
// formats, each picture equal to ffmpeg's, with its times; then its sound
// pin straight into the grabber, the track's bytes in file order, one sample
// per packet of the index (PCM packets are cut differently by ffprobe, so
// only the bytes count there). The sound in ten graphs in turn: at the end
// of the stream Wine's renderer asks the parser's pin for its stop position
// while the graph may already be stopping the parser, and that must not
// deadlock. (A graph run again after its end completes at once under Wine.)
TEST_F(WineGraphTest, EveryMovieInEveryFormatAndItsSoundEqualFfmpeg)
{
    std::vector<std::string> movies;
    for (const auto &file : std::filesystem::directory_iterator(kMovies))
        if (file.path().extension() == ".mov") movies.push_back(file.path().filename().string());
    ASSERT_FALSE(movies.empty()) << kMovies;
    for (const std::string &movie : movies) {
        const std::vector<ReferencePicture> reference = LoadPictures(movie);
        ASSERT_FALSE(reference.empty()) << "no reference for " << movie;
        const GUID *const subtypes[] = {&MEDIASUBTYPE_YV12, &MEDIASUBTYPE_IYUV, &MEDIASUBTYPE_RGB24,
                                        &MEDIASUBTYPE_RGB32};
        for (size_t f = 0; f < 4; ++f) {
            const GUID *subtype = subtypes[f];
            SCOPED_TRACE(movie + " in " + std::string("YV12 IYUV RGB24RGB32").substr(5 * f, 5));
            BuildGraph(movie, *subtype);
            if (HasFatalFailure()) return;
            const std::vector<Picture> pictures = RunToEnd();
            ASSERT_EQ(reference.size(), pictures.size());
            const bool rgb = subtype == &MEDIASUBTYPE_RGB24 || subtype == &MEDIASUBTYPE_RGB32;
            for (size_t i = 0; i < pictures.size(); ++i) {
                EXPECT_TRUE((rgb ? reference[i].bgr24 : reference[i].yuv420p) ==
                            AsFfmpeg(pictures[i], subtype == &MEDIASUBTYPE_YV12))
                    << "picture " << i;
                EXPECT_EQ(reference[i].start, pictures[i].start) << "picture " << i;
                EXPECT_EQ(reference[i].stop, pictures[i].stop) << "picture " << i;
            }
        }
        const std::vector<BYTE> sound = LoadBytes(movie + ".soundbytes"), sizes = LoadBytes(movie + ".sound");
        for (int run = 0; run < 10 && !sound.empty(); ++run) {
            SCOPED_TRACE(movie + " sound, run " + std::to_string(run));
            BuildGraph(movie, GUID_NULL);
            if (HasFatalFailure()) return;
            std::vector<BYTE> bytes;
            std::string received;
            for (const Picture &p : RunToEnd()) {
                bytes.insert(bytes.end(), p.bytes.begin(), p.bytes.end());
                received += std::to_string(p.bytes.size()) + "\n";
            }
            ASSERT_TRUE(sound == bytes) << sound.size() << " bytes, " << bytes.size() << " received";
            if (movie.find("aac") != std::string::npos) {
                ASSERT_EQ(std::string(sizes.begin(), sizes.end()), received);
            }
        }
    }
}

// Random seeks into pictures through the graph's IMediaSeeking, flushing
// and not, the first on the stopped graph, then on a running or a paused
// one, each while the pictures of the one before may still be on their
// way. After each, the picture showing at the new position comes untimed
// (it began before it), then the next ones with times from the new start;
// once a flushing seek has returned, nothing of the old segment comes.
// Every seek ends and the graph stops.
TEST_F(WineGraphTest, RandomSeeksGiveTheRightPicturesAndTheGraphStops)
{
    const std::vector<ReferencePicture> reference = LoadPictures("baseline_sowt.mov");
    ASSERT_GT(reference.size(), 4u);
    BuildGraph("baseline_sowt.mov", MEDIASUBTYPE_YV12);
    if (HasFatalFailure()) return;
    ComPtr<IMediaSeeking> seeking;
    ASSERT_HRESULT_SUCCEEDED(m_graph.As(&seeking));
    std::mt19937 random(16);
    size_t k = reference.size();
    for (int n = 0; n < 800; ++n) {
        for (const size_t previous = k; k == previous;)
            k = random() % reference.size();
        const bool paused = random() % 2, flush = random() % 2;
        const size_t count = std::min<size_t>(3, reference.size() - k);
        SCOPED_TRACE(testing::Message() << "seek " << n << " to picture " << k << (n == 0 ? " stopped" : "")
                                        << (paused ? " paused" : " running") << (flush ? "" : " NoFlush"));
        if (n > 0) {
            ASSERT_HRESULT_SUCCEEDED(paused ? m_control->Pause() : m_control->Run());
        }
        m_collector.Take();
        REFERENCE_TIME seekTo = reference[k].start + 1;
        const DWORD flags = AM_SEEKING_AbsolutePositioning | (flush ? 0 : AM_SEEKING_NoFlush);
        ASSERT_HRESULT_SUCCEEDED(seeking->SetPositions(&seekTo, flags, nullptr, AM_SEEKING_NoPositioning));
        // Pictures of the old segment may have come before the flush began.
        std::vector<Picture> pictures = m_collector.Take();
        const size_t beforeReturn = pictures.size();
        ASSERT_HRESULT_SUCCEEDED(m_control->Run());
        size_t first = SIZE_MAX, scanned = 0;
        for (;;) {
            for (; first == SIZE_MAX && scanned < pictures.size(); ++scanned)
                if (pictures[scanned].timeResult == VFW_E_SAMPLE_TIME_NOT_SET &&
                    AsFfmpeg(pictures[scanned], true) == reference[k].yuv420p)
                    first = scanned;
            if (first != SIZE_MAX && pictures.size() >= first + count) break;
            ASSERT_TRUE(m_collector.WaitForSample()) << pictures.size() << " pictures";
            for (Picture &p : m_collector.Take())
                pictures.push_back(std::move(p));
        }
        if (flush) {
            EXPECT_LE(first, beforeReturn) << "a picture of the old segment after the flush";
        }
        for (size_t i = 1; i < count; ++i) {
            const Picture &p = pictures[first + i];
            EXPECT_TRUE(reference[k + i].yuv420p == AsFfmpeg(p, true)) << "picture " << k + i;
            EXPECT_EQ(reference[k + i].start - seekTo, p.start) << "picture " << k + i;
            EXPECT_EQ(reference[k + i].stop - seekTo, p.stop) << "picture " << k + i;
        }
        if (HasFailure()) return;
    }
    OAFilterState state = State_Running;
    EXPECT_TRUE(SUCCEEDED(m_control->Stop()) && m_control->GetState(0, &state) == S_OK && state == State_Stopped);
}

// The merit the mapper lists a filter at for an input type (the second
// DWORD of its filter data), 0 when it does not list it. Only MERIT_NORMAL
// can be asked for: a mapper skips the whole filter category above it, the
// category's own merit being MERIT_NORMAL.
DWORD ListedMerit(const GUID &major, const GUID &minor, const CLSID &filter)
{
    ComPtr<IFilterMapper2> mapper;
    GUID types[2] = {major, minor};
    ComPtr<IEnumMoniker> monikers;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mapper))) ||
        mapper->EnumMatchingFilters(&monikers, 0, FALSE, MERIT_NORMAL, TRUE, 1, types, nullptr, nullptr, FALSE, FALSE,
                                    0, nullptr, nullptr, nullptr) != S_OK)
        return 0;
    DWORD merit = 0;
    ComPtr<IMoniker> moniker;
    while (!merit && monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) continue;
        VARIANT clsid, data;
        VariantInit(&clsid);
        VariantInit(&data);
        CLSID listed{};
        if (SUCCEEDED(bag->Read(L"CLSID", &clsid, nullptr)) && clsid.vt == VT_BSTR &&
            SUCCEEDED(CLSIDFromString(clsid.bstrVal, &listed)) && listed == filter &&
            SUCCEEDED(bag->Read(L"FilterData", &data, nullptr)) && data.vt == (VT_ARRAY | VT_UI1) &&
            data.parray->rgsabound[0].cElements >= 8)
            std::memcpy(&merit, static_cast<const BYTE *>(data.parray->pvData) + 4, sizeof(merit));
        VariantClear(&clsid);
        VariantClear(&data);
    }
    return merit;
}

// Both filters at MERIT_NORMAL + 1. (Wine's GStreamer splitter registers
// higher, so intelligent connect prefers it for .mov; a host builds our
// graph explicitly, as the tests above do.)
TEST_F(WineGraphTest, MapperFindsBothFiltersAtTheirMerit)
{
    const GUID avc1 = {0x31637661, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    EXPECT_EQ(0x00600001u, ListedMerit(MEDIATYPE_Stream, GUID_NULL, CLSID_OrvexMovFileParserFilter));
    EXPECT_EQ(0x00600001u, ListedMerit(MEDIATYPE_Video, avc1, CLSID_OrvexH264DecodeFilter11));
    EXPECT_EQ(0u, ListedMerit(MEDIATYPE_Stream, GUID_NULL, CLSID_OrvexH264DecodeFilter11));
}

// A property frame's part: the page's site, which records status changes.
class PageSite : public Unowned<IPropertyPageSite, IID_IPropertyPageSite> {
public:
    STDMETHODIMP OnStatusChange(DWORD flags) override { return m_status |= flags, S_OK; }
    STDMETHODIMP GetLocaleID(LCID *locale) override { return *locale = LOCALE_USER_DEFAULT, S_OK; }
    STDMETHODIMP GetPageContainer(IUnknown **container) override { return *container = nullptr, E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG *) override { return S_FALSE; }
    DWORD m_status = 0;
};

// The decode filter's page in a window of the test (under Xvfb): it shows
// the filter's settings, a click marks it dirty, Apply hands the new
// setting to the filter.
class WinePropertyPageTest : public WineGraphTest {};

TEST_F(WinePropertyPageTest, PageShowsAndAppliesTheFiltersSettings)
{
    ComPtr<IBaseFilter> decoder;
    ASSERT_HRESULT_SUCCEEDED(
        CoCreateInstance(CLSID_OrvexH264DecodeFilter11, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&decoder)));
    ComPtr<IOrvexH264DecoderParameter2> parameters;
    ASSERT_HRESULT_SUCCEEDED(
        decoder->QueryInterface(IID_IOrvexH264DecoderParameter2, reinterpret_cast<void **>(parameters.GetAddressOf())));
    ASSERT_HRESULT_SUCCEEDED(parameters->SetDeblockingSkipMode(2));
    ASSERT_HRESULT_SUCCEEDED(parameters->SetOutputScalingMode(1));
    ComPtr<ISpecifyPropertyPages> specify;
    ASSERT_HRESULT_SUCCEEDED(decoder.As(&specify));
    CAUUID pages{};
    ASSERT_HRESULT_SUCCEEDED(specify->GetPages(&pages));
    ASSERT_EQ(1u, pages.cElems);
    const CLSID pageClass = pages.pElems[0];
    CoTaskMemFree(pages.pElems);
    ComPtr<IPropertyPage> page;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(pageClass, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&page)));
    PageSite site;
    ASSERT_HRESULT_SUCCEEDED(page->SetPageSite(&site));
    IUnknown *objects[] = {decoder.Get()};
    ASSERT_HRESULT_SUCCEEDED(page->SetObjects(1, objects));
    PROPPAGEINFO info{};
    ASSERT_HRESULT_SUCCEEDED(page->GetPageInfo(&info));
    EXPECT_STREQ(L"Decode Parameters", info.pszTitle);
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszDocString);
    CoTaskMemFree(info.pszHelpFile);

    std::unique_ptr<HWND__, decltype(&DestroyWindow)> frame(
        CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                        GetModuleHandleW(nullptr), nullptr),
        &DestroyWindow);
    ASSERT_TRUE(frame);
    RECT area{0, 0, info.size.cx, info.size.cy};
    ASSERT_HRESULT_SUCCEEDED(page->Activate(frame.get(), &area, FALSE));
    ASSERT_HRESULT_SUCCEEDED(page->Show(SW_SHOW));
    const HWND dialog = GetWindow(frame.get(), GW_CHILD);
    ASSERT_TRUE(dialog);
    // Each radio button's text and 1 when checked, then the page's and the filter's state.
    auto state = [&] {
        std::string text;
        for (int id : {IDC_DEBLOCKING_NOT_SKIP, IDC_DEBLOCKING_SKIP_ALL, IDC_DEBLOCKING_SKIP_NON_REF,
                       IDC_SCALING_ORIGINAL, IDC_SCALING_HALF, IDC_SCALING_QUARTER}) {
            char label[64] = "";
            GetDlgItemTextA(dialog, id, label, sizeof(label));
            text += std::string(label) + "=" + (IsDlgButtonChecked(dialog, id) == BST_CHECKED ? "1;" : "0;");
        }
        return text + " dirty " + std::to_string(page->IsPageDirty() == S_OK) + ", scaling " +
               std::to_string(parameters->GetOutputScalingMode()) + ", deblocking " +
               std::to_string(parameters->GetDeblockingSkipMode());
    };
    const std::string skipNonRef = "Not Skip=0;Skip All Pictures=0;Skip Non-Ref Pictures only=1;";
    EXPECT_EQ(state(), skipNonRef + "Original size=0;Half size=1;Quarter size=0; dirty 0, scaling 1, deblocking 2");
    SendMessageW(GetDlgItem(dialog, IDC_SCALING_QUARTER), BM_CLICK, 0, 0);
    EXPECT_EQ(state(), skipNonRef + "Original size=0;Half size=0;Quarter size=1; dirty 1, scaling 1, deblocking 2");
    EXPECT_TRUE(site.m_status & PROPPAGESTATUS_DIRTY);
    EXPECT_HRESULT_SUCCEEDED(page->Apply());
    EXPECT_EQ(state(), skipNonRef + "Original size=0;Half size=0;Quarter size=1; dirty 0, scaling 2, deblocking 2");

    EXPECT_HRESULT_SUCCEEDED(page->Deactivate());
    EXPECT_HRESULT_SUCCEEDED(page->SetObjects(0, nullptr));
    EXPECT_HRESULT_SUCCEEDED(page->SetPageSite(nullptr));
}

} // namespace

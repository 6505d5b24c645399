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
#include "common/OrvexGuids.h"

extern "C" {
#include <libavutil/md5.h>
}

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

// qedit.h of mingw-w64 lacks the class identifiers of these two filters.
DEFINE_GUID(CLSID_SampleGrabberFilter, 0xc1f400a0, 0x3f08, 0x11d3, 0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37);
DEFINE_GUID(CLSID_NullRendererFilter, 0xc1f400a4, 0x3f08, 0x11d3, 0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37);

namespace {

constexpr DWORD kMerit = 0x00600001;
constexpr LONG kCompletionTimeoutMs = 60000;

std::wstring Widen(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

// A Linux path as Wine's drive Z: sees it.
std::wstring MoviePath(const std::string &name)
{
    std::wstring path = L"Z:" + Widen(std::string(ORVEX_TEST_DATA_DIR) + "/movies/" + name);
    for (wchar_t &c : path)
        if (c == L'/') c = L'\\';
    return path;
}

struct Reference {
    std::vector<std::string> md5s;
    std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> times;
};

// ffmpeg's decoding, written beside the programs by wine-stage references.
Reference LoadReference(const std::string &movie)
{
    Reference r;
    std::ifstream md5s("references/" + movie + ".framemd5");
    std::string line;
    while (std::getline(md5s, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::string md5 = line.substr(line.rfind(',') + 1);
        md5.erase(0, md5.find_first_not_of(' '));
        r.md5s.push_back(md5);
    }
    std::ifstream times("references/" + movie + ".times");
    // The stream's time base comes after its packets.
    long long num = 1, den = 1;
    while (std::getline(times, line)) {
        long long pts = 0, duration = 0;
        if (line.find('/') != std::string::npos) {
            std::sscanf(line.c_str(), "%lld/%lld", &num, &den);
        } else if (std::sscanf(line.c_str(), "%lld,%lld", &pts, &duration) == 2) {
            r.times.emplace_back(pts, pts + duration);
        }
    }
    for (auto &[start, stop] : r.times) {
        start = 10000000LL * start * num / den;
        stop = 10000000LL * stop * num / den;
    }
    return r;
}

std::string Md5Hex(const std::vector<BYTE> &bytes)
{
    uint8_t digest[16];
    av_md5_sum(digest, bytes.data(), bytes.size());
    char hex[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return std::string(hex, 32);
}

struct Picture {
    std::vector<BYTE> bytes;
    REFERENCE_TIME start = 0, stop = 0;
    HRESULT timeResult = E_FAIL;
};

// Keeps a copy of every sample the grabber sees, on the streaming thread.
class Collector : public ISampleGrabberCB {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
            *ppv = static_cast<ISampleGrabberCB *>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample *sample) override
    {
        Picture p;
        BYTE *data = nullptr;
        sample->GetPointer(&data);
        p.bytes.assign(data, data + sample->GetActualDataLength());
        p.timeResult = sample->GetTime(&p.start, &p.stop);
        std::lock_guard<std::mutex> lock(m_lock);
        m_pictures.push_back(std::move(p));
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE *, LONG) override { return E_NOTIMPL; }

    std::vector<Picture> Pictures()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_pictures;
    }

private:
    std::mutex m_lock;
    std::vector<Picture> m_pictures;
};

class WineGraphTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }
    void TearDown() override
    {
        m_graph.Reset();
        CoUninitialize();
    }

    ComPtr<IBaseFilter> Add(REFCLSID clsid, const wchar_t *name)
    {
        ComPtr<IBaseFilter> filter;
        EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                                  reinterpret_cast<void **>(filter.GetAddressOf())));
        if (filter) {
            EXPECT_HRESULT_SUCCEEDED(m_graph->AddFilter(filter.Get(), name));
        }
        return filter;
    }

    static ComPtr<IPin> Pin(IBaseFilter *filter, PIN_DIRECTION direction, int skip = 0)
    {
        ComPtr<IEnumPins> pins;
        filter->EnumPins(&pins);
        ComPtr<IPin> pin;
        while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
            PIN_DIRECTION d;
            pin->QueryDirection(&d);
            if (d == direction && skip-- == 0) return pin;
        }
        return nullptr;
    }

    HRESULT Connect(IBaseFilter *from, IBaseFilter *to, int outputIndex = 0)
    {
        ComPtr<IPin> out = Pin(from, PINDIR_OUTPUT, outputIndex);
        ComPtr<IPin> in = Pin(to, PINDIR_INPUT);
        if (!out || !in) return E_FAIL;
        return m_graph->ConnectDirect(out.Get(), in.Get(), nullptr);
    }

    // File source -> parser -> decode filter -> grabber (subtype) -> null renderer.
    void BuildDecodeGraph(const std::wstring &path, const GUID &subtype, bool iyuv)
    {
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                                  reinterpret_cast<void **>(m_graph.GetAddressOf())));
        ComPtr<IBaseFilter> source = Add(CLSID_AsyncReader, L"source");
        ComPtr<IFileSourceFilter> file;
        ASSERT_HRESULT_SUCCEEDED(source.As(&file));
        // The parser takes the byte stream untyped; Wine's source would
        // otherwise guess a subtype from the file's first bytes.
        AM_MEDIA_TYPE stream{};
        stream.majortype = MEDIATYPE_Stream;
        stream.subtype = GUID_NULL;
        ASSERT_HRESULT_SUCCEEDED(file->Load(path.c_str(), &stream));
        ComPtr<IBaseFilter> parser = Add(CLSID_OrvexMovFileParserFilter, L"parser");
        ComPtr<IBaseFilter> decoder = Add(CLSID_OrvexH264DecodeFilter11, L"decoder");
        ASSERT_TRUE(parser && decoder);
        if (iyuv) {
            ComPtr<IOrvexH264DecoderParameter2> parameters;
            ASSERT_HRESULT_SUCCEEDED(decoder->QueryInterface(IID_IOrvexH264DecoderParameter2,
                                                             reinterpret_cast<void **>(parameters.GetAddressOf())));
            parameters->SetIYUVFlag(1);
        }
        ComPtr<IBaseFilter> grabber = Add(CLSID_SampleGrabberFilter, L"grabber");
        ComPtr<ISampleGrabber> grab;
        ASSERT_HRESULT_SUCCEEDED(grabber.As(&grab));
        AM_MEDIA_TYPE video{};
        video.majortype = MEDIATYPE_Video;
        video.subtype = subtype;
        ASSERT_HRESULT_SUCCEEDED(grab->SetMediaType(&video));
        ASSERT_HRESULT_SUCCEEDED(grab->SetCallback(&m_collector, 0));
        ComPtr<IBaseFilter> renderer = Add(CLSID_NullRendererFilter, L"renderer");

        ASSERT_HRESULT_SUCCEEDED(Connect(source.Get(), parser.Get()));
        ASSERT_HRESULT_SUCCEEDED(Connect(parser.Get(), decoder.Get()));
        ASSERT_HRESULT_SUCCEEDED(Connect(decoder.Get(), grabber.Get()));
        ASSERT_HRESULT_SUCCEEDED(Connect(grabber.Get(), renderer.Get()));
        AM_MEDIA_TYPE connected{};
        ASSERT_HRESULT_SUCCEEDED(grab->GetConnectedMediaType(&connected));
        m_videoInfo = *reinterpret_cast<const VIDEOINFOHEADER *>(connected.pbFormat);
        CoTaskMemFree(connected.pbFormat);
        if (connected.pUnk) connected.pUnk->Release();
    }

    // Runs the graph to its end, from seekTo (reference time) when given;
    // false when it does not complete in time.
    bool RunToCompletion(REFERENCE_TIME seekTo = -1)
    {
        if (seekTo >= 0) {
            ComPtr<IMediaSeeking> seeking;
            if (FAILED(m_graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void **>(seeking.GetAddressOf()))))
                return false;
            if (FAILED(
                    seeking->SetPositions(&seekTo, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning)))
                return false;
        }
        ComPtr<IMediaControl> control;
        ComPtr<IMediaEvent> events;
        if (FAILED(m_graph.As(&control)) ||
            FAILED(m_graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void **>(events.GetAddressOf()))))
            return false;
        // Without a clock the graph delivers as fast as the filters go.
        ComPtr<IMediaFilter> filter;
        if (SUCCEEDED(m_graph.As(&filter))) filter->SetSyncSource(nullptr);
        if (FAILED(control->Run())) return false;
        LONG code = 0;
        const HRESULT hr = events->WaitForCompletion(kCompletionTimeoutMs, &code);
        control->Stop();
        return hr == S_OK && code == EC_COMPLETE;
    }

    // The picture's planes as ffmpeg's yuv420p: Y, then U, then V, rows of
    // the display width without the stride padding.
    std::vector<BYTE> Yuv420p(const Picture &p, bool yv12) const
    {
        const BITMAPINFOHEADER &bmi = m_videoInfo.bmiHeader;
        const int stride = bmi.biWidth;
        const int width = m_videoInfo.rcSource.right > 0 ? m_videoInfo.rcSource.right : bmi.biWidth;
        const int height = std::abs(bmi.biHeight);
        std::vector<BYTE> out;
        const BYTE *y = p.bytes.data();
        const BYTE *first = y + stride * height;
        const BYTE *second = first + (stride / 2) * (height / 2);
        for (int r = 0; r < height; ++r)
            out.insert(out.end(), y + r * stride, y + r * stride + width);
        for (const BYTE *plane : {yv12 ? second : first, yv12 ? first : second})
            for (int r = 0; r < height / 2; ++r)
                out.insert(out.end(), plane + r * (stride / 2), plane + r * (stride / 2) + width / 2);
        return out;
    }

    ComPtr<IGraphBuilder> m_graph;
    Collector m_collector;
    VIDEOINFOHEADER m_videoInfo{};
};

struct PlanarCase {
    const char *movie;
    bool iyuv;
};

class WinePlanarTest : public WineGraphTest, public testing::WithParamInterface<PlanarCase> {};

TEST_P(WinePlanarTest, EveryPictureEqualsFfmpegWithItsTimes)
{
    const PlanarCase &c = GetParam();
    const Reference reference = LoadReference(c.movie);
    ASSERT_FALSE(reference.md5s.empty()) << "no reference for " << c.movie;
    BuildDecodeGraph(MoviePath(c.movie), c.iyuv ? MEDIASUBTYPE_IYUV : MEDIASUBTYPE_YV12, c.iyuv);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToCompletion());
    const std::vector<Picture> pictures = m_collector.Pictures();
    ASSERT_EQ(reference.md5s.size(), pictures.size());
    for (size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_EQ(reference.md5s[i], Md5Hex(Yuv420p(pictures[i], !c.iyuv))) << "picture " << i;
        ASSERT_LT(i, reference.times.size());
        EXPECT_EQ(reference.times[i].first, pictures[i].start) << "picture " << i;
        EXPECT_EQ(reference.times[i].second, pictures[i].stop) << "picture " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Movies, WinePlanarTest,
                         testing::Values(PlanarCase{"baseline_sowt.mov", false}, PlanarCase{"baseline_sowt.mov", true},
                                         PlanarCase{"main_aac_faststart.mov", false},
                                         PlanarCase{"odd_size_sowt_3000.mov", true},
                                         PlanarCase{"sowt_one_second_chunks.mov", false},
                                         PlanarCase{"video_only_faststart.mov", true}));

// Seeking through the graph's IMediaSeeking into the middle of a picture:
// that picture comes first, without a time (it would start before the new
// start), then the rest of the movie with times relative to the new start.
TEST_F(WineGraphTest, SeekStartsAtThePictureShowingAtTheNewPosition)
{
    const Reference reference = LoadReference("baseline_sowt.mov");
    ASSERT_GT(reference.md5s.size(), 4u);
    const size_t k = reference.md5s.size() / 2;
    const REFERENCE_TIME seekTo = reference.times[k].first + 1;
    BuildDecodeGraph(MoviePath("baseline_sowt.mov"), MEDIASUBTYPE_YV12, false);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToCompletion(seekTo));
    const std::vector<Picture> pictures = m_collector.Pictures();
    ASSERT_EQ(reference.md5s.size() - k, pictures.size());
    for (size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_EQ(reference.md5s[k + i], Md5Hex(Yuv420p(pictures[i], true))) << "picture " << i;
        if (i == 0) {
            EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, pictures[i].timeResult);
        } else {
            EXPECT_EQ(reference.times[k + i].first - seekTo, pictures[i].start) << "picture " << i;
        }
    }
}

// PSNR over the three colour bytes of each pixel against ffmpeg's bgr24.
double Psnr(const Picture &p, size_t stride, size_t pixelBytes, const BYTE *reference, size_t width, size_t height)
{
    double sum = 0;
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x)
            for (size_t c = 0; c < 3; ++c) {
                const double d = double(p.bytes[y * stride + x * pixelBytes + c]) - reference[(y * width + x) * 3 + c];
                sum += d * d;
            }
    const double mse = sum / double(width * height * 3);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

class WineRgbTest : public WineGraphTest, public testing::WithParamInterface<bool> {};

// 162 x 98: RGB24 rows are padded to 488 bytes; pictures are top-down.
TEST_P(WineRgbTest, PicturesMatchFfmpegsRgb)
{
    const bool rgb32 = GetParam();
    std::ifstream file("references/odd_size_sowt_3000.mov.bgr24", std::ios::binary);
    const std::vector<BYTE> reference((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const size_t width = 162, height = 98, pixelBytes = rgb32 ? 4 : 3, stride = rgb32 ? 648 : 488;
    const size_t frameBytes = width * height * 3;
    ASSERT_GT(reference.size(), 0u);
    BuildDecodeGraph(MoviePath("odd_size_sowt_3000.mov"), rgb32 ? MEDIASUBTYPE_RGB32 : MEDIASUBTYPE_RGB24, false);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RunToCompletion());
    EXPECT_EQ(-98, m_videoInfo.bmiHeader.biHeight);
    const std::vector<Picture> pictures = m_collector.Pictures();
    ASSERT_EQ(reference.size() / frameBytes, pictures.size());
    for (size_t i = 0; i < pictures.size(); ++i) {
        ASSERT_GE(pictures[i].bytes.size(), stride * height);
        EXPECT_GT(Psnr(pictures[i], stride, pixelBytes, reference.data() + i * frameBytes, width, height), 30.0)
            << "picture " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Rgb, WineRgbTest, testing::Values(false, true));

// The filters a mapper lists for an input type at MERIT_NORMAL or above,
// with the merit each was registered at (the second DWORD of its filter
// data). Merits above MERIT_NORMAL cannot be asked for directly: a mapper
// skips the whole filter category, whose own merit is MERIT_NORMAL.
std::map<std::wstring, DWORD> MatchingFilters(const GUID &major, const GUID &minor)
{
    std::map<std::wstring, DWORD> found;
    ComPtr<IFilterMapper2> mapper;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                reinterpret_cast<void **>(mapper.GetAddressOf()))))
        return found;
    GUID types[2] = {major, minor};
    ComPtr<IEnumMoniker> monikers;
    if (mapper->EnumMatchingFilters(&monikers, 0, FALSE, MERIT_NORMAL, TRUE, 1, types, nullptr, nullptr, FALSE, FALSE,
                                    0, nullptr, nullptr, nullptr) != S_OK)
        return found;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                          reinterpret_cast<void **>(bag.GetAddressOf()))))
            continue;
        VARIANT clsid, data;
        VariantInit(&clsid);
        VariantInit(&data);
        if (SUCCEEDED(bag->Read(L"CLSID", &clsid, nullptr)) && clsid.vt == VT_BSTR &&
            SUCCEEDED(bag->Read(L"FilterData", &data, nullptr)) && data.vt == (VT_ARRAY | VT_UI1) &&
            data.parray->rgsabound[0].cElements >= 8) {
            DWORD merit = 0;
            std::memcpy(&merit, static_cast<const BYTE *>(data.parray->pvData) + 4, sizeof(merit));
            found[clsid.bstrVal] = merit;
        }
        VariantClear(&clsid);
        VariantClear(&data);
    }
    return found;
}

std::wstring Text(const CLSID &clsid)
{
    wchar_t text[40];
    StringFromGUID2(clsid, text, 40);
    return text;
}

class WineRegistrationTest : public WineGraphTest {};

// Both filters at MERIT_NORMAL + 1. (Wine's GStreamer splitter registers
// higher, so intelligent connect prefers it for .mov; a host builds our
// graph explicitly, as the tests above do.)
TEST_F(WineRegistrationTest, MapperFindsBothFiltersAtTheirMerit)
{
    const GUID avc1 = {0x31637661, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    const auto parsers = MatchingFilters(MEDIATYPE_Stream, GUID_NULL);
    const auto decoders = MatchingFilters(MEDIATYPE_Video, avc1);
    ASSERT_EQ(1u, parsers.count(Text(CLSID_OrvexMovFileParserFilter)));
    EXPECT_EQ(kMerit, parsers.at(Text(CLSID_OrvexMovFileParserFilter)));
    ASSERT_EQ(1u, decoders.count(Text(CLSID_OrvexH264DecodeFilter11)));
    EXPECT_EQ(kMerit, decoders.at(Text(CLSID_OrvexH264DecodeFilter11)));
    EXPECT_EQ(0u, parsers.count(Text(CLSID_OrvexH264DecodeFilter11)));
}

} // namespace

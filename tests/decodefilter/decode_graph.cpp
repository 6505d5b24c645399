#include "decode_graph.h"

#include "MovFileParserFilter/MovParserMediaTypes.h"
#include "MovFileParserFilter/OrvexMovFileParserFilter.h"
#include "common/MyParameterSetStreamIds.h"
#include "MovFileParserFilter/MovieStreamLoader.h"
#include "support/ffmpeg_reference.h"
#include "support/annexb.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>

static HRESULT g_constructed = S_OK;
// An image description of the fixed 86 bytes, without extensions.
static const BYTE kBlankDescription[86] = {};

CPushSource::CPushSource(const PushStream &config)
    : CTestFilter(&g_constructed, 0, {{}}), m_config(config),
      m_description(kBlankDescription, sizeof(kBlankDescription))
{
    CMediaType type = VideoType(MEDIASUBTYPE_AVC1, config.width, config.height);
    reinterpret_cast<VIDEOINFOHEADER *>(type.Format())->bmiHeader.biCompression = MAKEFOURCC('a', 'v', 'c', '1');
    type.SetVariableSize();
    Out()->m_types = {type};
    Out()->m_seekable = false;
    Out()->m_minBuffers = config.buffers;
    Out()->m_bufferSize = 256 * 1024;
}

HRESULT CPushSource::PushParameterSets()
{
    HRESULT hr = S_OK;
    for (const auto &[unit, id] : {std::pair(&m_config.sps, kSequenceParameterSetStreamId),
                                   std::pair(&m_config.pps, kPictureParameterSetStreamId)}) {
        std::vector<BYTE> bytes(4 + unit->size());
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = i < 4 ? BYTE(unit->size() >> (24 - 8 * i)) : (*unit)[i - 4];
        if (SUCCEEDED(hr)) hr = Out()->Push(bytes, id);
    }
    return hr;
}

std::vector<ReferencePicture> ReferencePictures(const std::string &path, size_t width, size_t height)
{
    CMyMovieStreams streams;
    EXPECT_EQ(S_OK, LoadMovieStreams(std::wstring(path.begin(), path.end()).c_str(), &streams));
    const auto &frames =
        orvex::test::referenceFrames(path, "yuv420p", width * height + 2 * ((width + 1) / 2) * ((height + 1) / 2));
    const std::vector<MediaSampleRef> &index = streams.video->GetSampleIndex();
    std::vector<ReferencePicture> pictures;
    for (size_t i = 0; i < frames.size() && i < index.size(); ++i)
        pictures.push_back({orvex::test::md5Hex(frames[i]), index[i].start, index[i].stop, index[i].sync != 0});
    return pictures;
}

std::string Trace(CTestInputPin *sink, const std::vector<std::string> &md5s)
{
    const std::vector<std::string> events = sink->Events(); // before the pictures: none missing
    const std::vector<ReceivedSample> pictures = sink->Received();
    std::string text;
    size_t next = 0;
    for (const std::string &e : events) {
        if (e.rfind("segment ", 0) == 0) text += "seg " + e.substr(8, e.find(' ', 8) - 8) + " ";
        if (e == "eos") text += "eos ";
        if (e.rfind("sample ", 0) != 0 || next >= pictures.size()) continue;
        const ReceivedSample &p = pictures[next++];
        const auto it = std::find(md5s.begin(), md5s.end(), PictureMd5(p));
        text += (it == md5s.end() ? std::string("?") : std::to_string(it - md5s.begin())) + "@" +
                (p.Timed() ? std::to_string(p.start) + "-" + std::to_string(p.stop) : "-") + " ";
    }
    return text;
}

CMediaType VideoType(const GUID &subtype, LONG width, LONG height, WORD bitCount, RECT rect)
{
    VIDEOINFOHEADER vih{};
    vih.rcSource = vih.rcTarget = rect;
    vih.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 0, bitCount, 0, 0, 0, 0, 0, 0};
    CMediaType type(&MEDIATYPE_Video);
    type.SetSubtype(&subtype);
    type.SetFormatType(&FORMAT_VideoInfo);
    type.SetFormat(reinterpret_cast<BYTE *>(&vih), sizeof(vih));
    return type;
}

std::string MoviePath(const std::string &name)
{
    return std::string(ORVEX_TEST_DATA_DIR) + "/movies/" + name;
}

void DecodeGraphTest::BuildMovieInput(const std::string &path)
{
    HRESULT hr = S_OK;
    ComPtr<IBaseFilter> parser;
    COrvexMovFileParserFilter::CreateInstance(nullptr, &hr)->NonDelegatingQueryInterface(IID_IBaseFilter, &parser);
    ASSERT_EQ(S_OK, m_graph.AddFile(path, parser.Get()));
    ASSERT_EQ(S_OK, m_graph->ConnectDirect(FirstPin(parser.Get(), PINDIR_OUTPUT), m_decoder->GetPin(0), nullptr));
}

PushStream LoadPushStream(const std::string &relativePath, LONG width, LONG height)
{
    const orvex::test::H264Stream stream =
        orvex::test::parseAnnexB(orvex::test::readFileBytes(std::string(ORVEX_TEST_DATA_DIR) + "/" + relativePath));
    PushStream push;
    std::tie(push.sps, push.pps, push.width, push.height) = std::tie(stream.sps, stream.pps, width, height);
    for (const auto &unit : stream.accessUnits)
        push.samples.push_back(unit.sample);
    return push;
}

std::vector<BYTE> PicturePlanes(const ReceivedSample &picture, bool yv12)
{
    const auto &vih = *reinterpret_cast<const VIDEOINFOHEADER *>(picture.type.Format());
    const size_t stride = size_t(vih.bmiHeader.biWidth), rows = size_t(std::abs(vih.bmiHeader.biHeight));
    const size_t width = size_t(vih.rcTarget.right ? vih.rcTarget.right : LONG(stride));
    const size_t height = size_t(vih.rcTarget.bottom ? vih.rcTarget.bottom : LONG(rows));
    const BYTE *p = picture.bytes.data(), *first = p + stride * rows, *second = first + (stride / 2) * (rows / 2);
    std::vector<BYTE> planes;
    for (size_t y = 0; y < height; ++y)
        planes.insert(planes.end(), p + y * stride, p + y * stride + width);
    for (const BYTE *plane : {yv12 ? second : first, yv12 ? first : second})
        for (size_t y = 0; y < (height + 1) / 2; ++y)
            planes.insert(planes.end(), plane + y * (stride / 2), plane + y * (stride / 2) + (width + 1) / 2);
    return planes;
}

std::string PictureMd5(const ReceivedSample &picture, bool yv12)
{
    return orvex::test::md5Hex(PicturePlanes(picture, yv12));
}

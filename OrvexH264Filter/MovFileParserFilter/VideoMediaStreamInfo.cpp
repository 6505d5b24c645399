#include "MovFileParserFilter/VideoMediaStreamInfo.h"

#include "MovFileParserFilter/H264MediaStreamInfo.h"
#include "MovFileParserFilter/MySampleIndexWalk.h"
#include "MovFileParserFilter/OrvexCameraH264MediaStreamInfo.h"
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"
#include "MyQuickTimeAPIs/MyQTSampleTables.h"

#include <amvideo.h>
#include <fourcc.h>
#include <uuids.h>

#include <algorithm>
#include <new>

namespace {

// Big enough for an image description with its usual extensions; the copy grows if needed.
constexpr DWORD kImageDescriptionCopySize = 214;

} // namespace

CVideoMediaStreamInfo::CVideoMediaStreamInfo(const CMyQTMedia *media, ULONGLONG lastMediaByte)
{
    Init(media, lastMediaByte);
}

CVideoMediaStreamInfo::~CVideoMediaStreamInfo() = default;

void CVideoMediaStreamInfo::Init(const CMyQTMedia *media, ULONGLONG lastMediaByte)
{
    CQuickTimeMediaStreamInfo::Init(media, lastMediaByte);
    GetVideoMediaInfo(media, &m_mediaTimeScale, &m_mediaDuration, &m_sampleCount);
}

void CVideoMediaStreamInfo::BuildSampleIndex(const CMyQTMedia *media, ULONGLONG lastMediaByte)
{
    // Every entry is a sample of its own, so the sample count bounds the index.
    const LONG count = GetMediaSampleCount(media);
    if (ULONGLONG(count) > kMaxSampleIndexEntries) throw CMyQTException(CMyQTException::kBadTableEntry);
    ReserveEntries(ULONGLONG(count));
    WalkMediaSamples(media, lastMediaByte, 1, [this](const MediaSampleRef &entry) { AppendEntry(entry); });
}

void CVideoMediaStreamInfo::BuildMediaType(const CMyQTMedia *media)
{
    BuildVideoMediaType(media, FALSE);
}

void CVideoMediaStreamInfo::BuildVideoMediaType(const CMyQTMedia *media, BOOL temporalCompression)
{
    const LONG timeScale = ::GetMediaTimeScale(media);
    const LONG duration = ::GetMediaDuration(media);
    const LONG sampleCount = GetMediaSampleCount(media);

    CMyQTHandlePtr copy(NewHandle(kImageDescriptionCopySize));
    GetMediaSampleDescription(media, 1, copy.get());
    m_pImageDescription = std::make_unique<CMyImageDescription>(copy->GetData(), copy->GetSize());
    copy.reset();

    const DWORD format = m_pImageDescription->GetDataFormat();
    // The four characters in file order, read as a little-endian number.
    const DWORD fourcc = MAKEFOURCC(BYTE(format >> 24), BYTE(format >> 16), BYTE(format >> 8), BYTE(format));

    VIDEOINFOHEADER vih = {};
    // No media time, no bit rate: a zero duration would divide by zero.
    if (duration > 0) {
        unsigned __int128 bits = static_cast<unsigned __int128>(GetTotalBytes()) * 8 * ULONGLONG(timeScale);
        vih.dwBitRate = DWORD(static_cast<ULONGLONG>(bits / ULONGLONG(duration)));
    }
    vih.dwBitErrorRate = 0;
    // No samples, no frame duration.
    if (sampleCount > 0) vih.AvgTimePerFrame = (kReferenceTimeUnitsPerSecond * duration / timeScale) / sampleCount;
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = m_pImageDescription->GetWidth();
    vih.bmiHeader.biHeight = m_pImageDescription->GetHeight();
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = m_pImageDescription->GetDepth();
    vih.bmiHeader.biCompression = fourcc;

    const FOURCCMap subtype(fourcc);
    m_mediaType.SetType(&MEDIATYPE_Video);
    m_mediaType.SetSubtype(&subtype);
    m_mediaType.SetVariableSize();
    m_mediaType.SetTemporalCompression(temporalCompression);
    m_mediaType.SetFormatType(&FORMAT_VideoInfo);
    if (!m_mediaType.SetFormat(reinterpret_cast<BYTE *>(&vih), sizeof(vih))) throw std::bad_alloc();
}

const CMyAVCConfiguration *GetAVCConfiguration(const CVideoMediaStreamInfo *info)
{
    if (auto plain = dynamic_cast<const CH264MediaStreamInfo *>(info)) return plain->GetAVCConfiguration();
    if (auto camera = dynamic_cast<const COrvexCameraH264MediaStreamInfo *>(info)) return camera->GetAVCConfiguration();
    return nullptr;
}

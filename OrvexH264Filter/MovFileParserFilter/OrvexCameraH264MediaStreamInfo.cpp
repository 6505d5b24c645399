#include "MovFileParserFilter/OrvexCameraH264MediaStreamInfo.h"

#include "MyH264/MyAVCSampleEntry.h"
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MyQTMedia.h"
#include "MyQuickTimeAPIs/MyQTTable.h"

namespace {

constexpr DWORD kSttsEntrySize = 8;
constexpr DWORD kStssEntrySize = 4;
constexpr DWORD kStcoEntrySize = 4;

[[noreturn]] void Fail(CMyQTException::EExceptionType type)
{
    throw CMyQTException(type);
}

const BYTE *Require(const BYTE *atom, CMyQTException::EExceptionType missing)
{
    if (!atom) Fail(missing);
    return atom;
}

} // namespace

COrvexCameraH264MediaStreamInfo::COrvexCameraH264MediaStreamInfo(const CMyQTMedia *media, ULONGLONG lastMediaByte)
    : m_pAVCConfiguration(CreateAVCConfiguration(media))
{
    Init(media, lastMediaByte);
}

COrvexCameraH264MediaStreamInfo::~COrvexCameraH264MediaStreamInfo() = default;

void COrvexCameraH264MediaStreamInfo::BuildSampleIndex(const CMyQTMedia *media, ULONGLONG lastMediaByte)
{
    const LONG timeScale = ::GetMediaTimeScale(media);

    // A track without sync samples, or whose first two do not say a distance, has no gop.
    CMyQTTable stss(Require(media->GetSyncSamples(), CMyQTException::kBadTableEntry), kStssEntrySize);
    if (stss.GetCount() < 2 || stss.Get(1) <= stss.Get(0)) Fail(CMyQTException::kBadTableEntry);
    const DWORD gop = stss.Get(1) - stss.Get(0);

    CMyQTTable stts(Require(media->GetTimeToSample(), CMyQTException::kNoTimeToSample), kSttsEntrySize);
    const LONGLONG frameDuration = stts.Get(0, 1);
    if (frameDuration == 0) Fail(CMyQTException::kBadTableEntry);

    CMyQTSampleSizeTable sizes(Require(media->GetSampleSizes(), CMyQTException::kNoSampleSizes));
    CMyQTTable stco(Require(media->GetChunkOffsets(), CMyQTException::kNoChunkOffsets), kStcoEntrySize);
    const LONG count = sizes.GetCount();
    // One chunk and one table size a sample: both tables must reach the last sample.
    if (count > 0 && (sizes.GetCommonSize() != 0 || stco.GetCount() < count)) Fail(CMyQTException::kOutsideAtom);

    ReserveEntries(ULONGLONG(count));
    LONGLONG mediaTime = 0;
    for (LONG i = 0; i < count; ++i) {
        MediaSampleRef entry;
        entry.offset = stco.Get(i);
        entry.size = sizes.GetEntry(i);
        CheckSampleInMediaData(entry.offset, entry.size, lastMediaByte);
        entry.start = MediaTimeToReferenceTime(mediaTime, timeScale);
        entry.stop = MediaTimeToReferenceTime(mediaTime + frameDuration, timeScale);
        entry.sync = DWORD(i) % gop == 0 ? 1 : 0;
        entry.sampleCount = 1;
        AppendEntry(entry);
        mediaTime += frameDuration;
    }
}

void COrvexCameraH264MediaStreamInfo::BuildMediaType(const CMyQTMedia *media)
{
    BuildVideoMediaType(media, TRUE);
}

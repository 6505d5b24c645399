#include "MyQuickTimeAPIs/MyQTAPI.h"

#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MyQTSampleTables.h"
#include "common/MyTrace.h"

#include <algorithm>
#include <cstring>

namespace {

// 'mdhd' body (from 8): time scale at 12, duration at 16.
constexpr DWORD kMdhdTimeScale = 8 + 12;
constexpr DWORD kMdhdDuration = 8 + 16;
// 'hdlr' body (from 8): subtype at 8, manufacturer at 12, name at 24.
constexpr DWORD kHdlrSubtype = 8 + 8;
constexpr DWORD kHdlrManufacturer = 8 + 12;
constexpr DWORD kHdlrName = 8 + 24;
// 'tkhd' body (from 8): duration at 20.
constexpr DWORD kTkhdDuration = 8 + 20;
// 'elst' and 'dref': entry count at 12, entries from 16.
constexpr DWORD kTableCount = 12;
constexpr DWORD kTableEntries = 16;
constexpr DWORD kElstEntrySize = 12;
constexpr DWORD kDrefEntryHeader = 12;

const BYTE *RequireMediaHeader(const CMyQTMedia *media)
{
    if (!media || !media->GetMediaHeader()) throw CMyQTException(CMyQTException::kMissingAtom);
    return media->GetMediaHeader();
}

const BYTE *RequireDataReferences(const CMyQTMedia *media)
{
    if (!media) throw CMyQTException(CMyQTException::kMissingAtom);
    if (!media->GetDataReferences()) throw CMyQTException(CMyQTException::kNoDataReferences);
    return media->GetDataReferences();
}

} // namespace

LONG GetMovieTrackCount(const CMyQTMovie *movie)
{
    return movie->GetTrackCount();
}

CMyQTTrack *GetMovieIndTrack(const CMyQTMovie *movie, LONG index)
{
    if (index < 1 || index > movie->GetTrackCount()) throw CMyQTException(CMyQTException::kBadArgument);
    return movie->GetTrack(index - 1);
}

CMyQTMedia *GetTrackMedia(const CMyQTTrack *track)
{
    return track->GetMedia();
}

bool TrackHasEdits(const CMyQTTrack *track)
{
    // No edit list to apply: an 'edts' without an 'elst', or an 'elst' without entries.
    const BYTE *elst = track->GetEditList();
    if (!elst || MyQTAtomType(elst) != MyQTFourCC("elst")) return false;
    // A list too short to say what it holds cannot be shown to be the identity.
    if (!MyQTAtomHas(elst, kTableCount, 4)) return true;
    LONG count = LONG(MyQTReadBE32(elst + kTableCount));
    if (count == 0) return false;
    // A negative count is no list of several edits: entry 0 decides.
    if (count > 1) {
        MyTrace("Num of 'elst' entries are %ld \n", long(count));
        return true;
    }
    if (!MyQTAtomHas(elst, kTableEntries, kElstEntrySize)) return true;
    const BYTE *entry = elst + kTableEntries;
    DWORD trackDuration = MyQTReadBE32(entry);
    LONG mediaTime = LONG(MyQTReadBE32(entry + 4));
    DWORD mediaRate = MyQTReadBE32(entry + 8);
    const BYTE *tkhd = track->GetTrackHeader();
    bool headerKnown = tkhd && MyQTAtomHas(tkhd, kTkhdDuration, 4);
    if (headerKnown && trackDuration == MyQTReadBE32(tkhd + kTkhdDuration) && mediaTime == 0 && mediaRate == 0x00010000)
        return false;
    MyTrace("'elst' entr[0] \n");
    MyTrace("trackDuration %ld \n", long(LONG(trackDuration)));
    MyTrace("mediaTime     %ld \n", long(mediaTime));
    MyTrace("mediaRate     0x%08X \n", unsigned(mediaRate));
    return true;
}

void GetMediaHandlerDescription(const CMyQTMedia *media, DWORD *mediaType, BYTE *name, DWORD *manufacturer)
{
    if (!media || !media->GetHandler()) throw CMyQTException(CMyQTException::kMissingAtom);
    const BYTE *hdlr = media->GetHandler();
    if (mediaType) *mediaType = MyQTAtomReadBE32(hdlr, kHdlrSubtype);
    if (manufacturer) *manufacturer = MyQTAtomReadBE32(hdlr, kHdlrManufacturer);
    if (name) {
        // A length byte and that many characters; only what lies in the atom is copied.
        DWORD length = 0;
        if (MyQTAtomHas(hdlr, kHdlrName, 1))
            length = std::min<DWORD>(hdlr[kHdlrName], MyQTAtomSize(hdlr) - kHdlrName - 1);
        name[0] = BYTE(length);
        if (length) std::memcpy(name + 1, hdlr + kHdlrName + 1, length);
    }
}

LONG GetMediaTimeScale(const CMyQTMedia *media)
{
    LONG timeScale = LONG(MyQTAtomReadBE32(RequireMediaHeader(media), kMdhdTimeScale));
    if (timeScale < 1) throw CMyQTException(CMyQTException::kBadTimeScale);
    return timeScale;
}

LONG GetMediaDuration(const CMyQTMedia *media)
{
    LONG duration = LONG(MyQTAtomReadBE32(RequireMediaHeader(media), kMdhdDuration));
    if (duration < 0) throw CMyQTException(CMyQTException::kBadDuration);
    return duration;
}

void GetMediaDataRefCount(const CMyQTMedia *media, SHORT *count)
{
    // The 32-bit count is read by its low half.
    *count = SHORT(MyQTAtomReadBE16(RequireDataReferences(media), kTableCount + 2));
}

void GetMediaDataRef(const CMyQTMedia *media, SHORT index, CMyQTHandle **data, DWORD *type, LONG *attributes)
{
    const BYTE *dref = RequireDataReferences(media);
    SHORT count = 0;
    GetMediaDataRefCount(media, &count);
    if (index > count) throw CMyQTException(CMyQTException::kBadArgument);

    // Each entry is an atom with a version-and-flags word; it must lie in 'dref'.
    DWORD drefSize = MyQTAtomSize(dref);
    auto entryAt = [&](ULONGLONG offset) {
        if (offset + kDrefEntryHeader > drefSize) throw CMyQTException(CMyQTException::kOutsideAtom);
        DWORD size = MyQTReadBE32(dref + offset);
        // An entry shorter than its header still has the header's fields to
        // read (checked above); it just carries no data.
        if (offset + size > drefSize) throw CMyQTException(CMyQTException::kOutsideAtom);
        return DWORD(offset);
    };
    DWORD offset = entryAt(kTableEntries);
    for (SHORT k = 1; k < index; ++k)
        offset = entryAt(ULONGLONG(offset) + MyQTReadBE32(dref + offset));

    const BYTE *entry = dref + offset;
    DWORD entrySize = MyQTReadBE32(entry);
    if (type) *type = MyQTReadBE32(entry + 4);
    if (attributes) *attributes = LONG(MyQTReadBE32(entry + 8) & 0xFFFFFF);
    if (data) {
        *data = nullptr;
        const LONGLONG byteCount = LONGLONG(entrySize) - kDrefEntryHeader;
        if (byteCount > 0) {
            *data = NewHandle(DWORD(byteCount));
            std::memcpy((*data)->GetData(), entry + kDrefEntryHeader, byteCount);
        }
    }
}

bool MediaHasSampleTables(const CMyQTMedia *media)
{
    return media && media->GetSampleDescriptions() && media->GetSampleSizes() && media->GetSampleToChunk() &&
           media->GetChunkOffsets();
}

bool MediaHasCompositionTimes(const CMyQTMedia *media)
{
    return media && media->GetCompositionOffsets();
}

LONG GetVideoMediaInfo(const CMyQTMedia *media, LONG *timeScale, LONG *duration, LONG *sampleCount)
{
    DWORD mediaType = 0;
    GetMediaHandlerDescription(media, &mediaType, nullptr, nullptr);
    if (mediaType != MyQTFourCC("vide")) return kMyQTNotVideoMediaErr;
    LONG scale = GetMediaTimeScale(media);
    LONG length = GetMediaDuration(media);
    LONG count = GetMediaSampleCount(media);
    if (timeScale) *timeScale = scale;
    if (duration) *duration = length;
    if (sampleCount) *sampleCount = count;
    return 0;
}

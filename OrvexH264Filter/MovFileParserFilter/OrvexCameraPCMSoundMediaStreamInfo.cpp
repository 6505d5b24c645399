#include "MovFileParserFilter/OrvexCameraPCMSoundMediaStreamInfo.h"

#include "MovFileParserFilter/PCMSoundMediaStreamInfo.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTDescriptionLayouts.h"
#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MyQTMedia.h"
#include "MyQuickTimeAPIs/MyQTTable.h"

#include <cstddef>

namespace {

constexpr DWORD kStscEntrySize = 12;
constexpr DWORD kStcoEntrySize = 4;
// Description 1 in 'stsd': after the header, the version-and-flags word and the count.
constexpr DWORD kFirstDescription = 16;

[[noreturn]] void Fail(CMyQTException::EExceptionType type)
{
    throw CMyQTException(type);
}

const BYTE *Require(const BYTE *atom, CMyQTException::EExceptionType missing)
{
    if (!atom) Fail(missing);
    return atom;
}

DWORD RequireSize(ULONGLONG bytes)
{
    if (bytes > 0xFFFFFFFFULL) Fail(CMyQTException::kBadTableEntry);
    return DWORD(bytes);
}

} // namespace

COrvexCameraPCMSoundMediaStreamInfo::~COrvexCameraPCMSoundMediaStreamInfo() = default;

void COrvexCameraPCMSoundMediaStreamInfo::BuildSampleIndex(const CMyQTMedia *media, ULONGLONG lastMediaByte)
{
    // Sound description 1, read big-endian from 'stsd' itself.
    const BYTE *stsd = Require(media->GetSampleDescriptions(), CMyQTException::kNoSampleDescriptions);
    if (MyQTAtomReadBE32(stsd, kFirstDescription) < kMyQTSoundDescriptionV0Size) Fail(CMyQTException::kOutsideAtom);
    const DWORD rate = MyQTAtomReadBE16(stsd, kFirstDescription + DWORD(offsetof(MyQTSoundDescription, sampleRate)));
    const DWORD channels =
        MyQTAtomReadBE16(stsd, kFirstDescription + DWORD(offsetof(MyQTSoundDescription, numChannels)));
    const DWORD bits = MyQTAtomReadBE16(stsd, kFirstDescription + DWORD(offsetof(MyQTSoundDescription, sampleSize)));
    const ULONGLONG bytesPerFrame = ULONGLONG(channels) * bits / 8;
    if (rate == 0 || bytesPerFrame == 0) Fail(CMyQTException::kBadTableEntry);
    const DWORD bytesPerSecond = RequireSize(rate * bytesPerFrame);

    CMyQTTable stco(Require(media->GetChunkOffsets(), CMyQTException::kNoChunkOffsets), kStcoEntrySize);
    CMyQTTable stsc(Require(media->GetSampleToChunk(), CMyQTException::kNoSampleToChunk), kStscEntrySize);
    const LONG chunks = stco.GetCount();
    if (stsc.GetCount() < 1) Fail(CMyQTException::kBadTableEntry);
    // Whole seconds: the first entry's chunks hold one second of frames each.
    const DWORD framesPerChunk = stsc.Get(0, 1);
    // A second entry tells the shorter last chunk, and must be that chunk's.
    const bool lastApart = stsc.GetCount() != 1;
    if (lastApart && (chunks < 1 || stsc.Get(1, 0) != DWORD(chunks))) Fail(CMyQTException::kBadTableEntry);
    const LONG wholeSeconds = lastApart ? chunks - 1 : chunks;
    if (wholeSeconds > 0 && framesPerChunk != rate) Fail(CMyQTException::kBadTableEntry);

    ReserveEntries(ULONGLONG(chunks));
    for (LONG i = 0; i < wholeSeconds; ++i) {
        MediaSampleRef entry;
        entry.offset = stco.Get(i);
        entry.size = bytesPerSecond;
        CheckSampleInMediaData(entry.offset, entry.size, lastMediaByte);
        entry.start = kReferenceTimeUnitsPerSecond * i;
        entry.stop = kReferenceTimeUnitsPerSecond * (i + 1);
        entry.sync = 1;
        entry.sampleCount = framesPerChunk;
        AppendEntry(entry);
    }
    if (lastApart) {
        const DWORD frames = stsc.Get(1, 1);
        MediaSampleRef entry;
        entry.offset = stco.Get(wholeSeconds);
        entry.size = RequireSize(bytesPerFrame * frames);
        CheckSampleInMediaData(entry.offset, entry.size, lastMediaByte);
        entry.start = kReferenceTimeUnitsPerSecond * wholeSeconds;
        // The time of one frame is truncated before it is multiplied.
        entry.stop = entry.start + (kReferenceTimeUnitsPerSecond / rate) * LONGLONG(frames);
        entry.sync = 1;
        entry.sampleCount = frames;
        AppendEntry(entry);
    }
}

void COrvexCameraPCMSoundMediaStreamInfo::BuildMediaType(const CMyQTMedia *media)
{
    BuildPCMMediaType(media, &m_mediaType);
}

#include "MyQuickTimeAPIs/MyQTSampleTables.h"

#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"
#include "MyQuickTimeAPIs/MyQTTable.h"
#include "MyQuickTimeAPIs/MySoundDescription.h"

namespace {

constexpr DWORD kSttsEntrySize = 8;
constexpr DWORD kStssEntrySize = 4;
constexpr DWORD kStscEntrySize = 12;
constexpr DWORD kStcoEntrySize = 4;

[[noreturn]] void Fail(CMyQTException::EExceptionType type)
{
    throw CMyQTException(type);
}

// Where a sample lies: its chunk (1-based), its position in the chunk, the
// chunk's samples per chunk and its description index.
struct ChunkPlace {
    ULONGLONG chunk;
    ULONGLONG position;
    ULONGLONG samplesPerChunk;
    DWORD descriptionIndex;
};

ChunkPlace FindChunk(const CMyQTMedia *media, LONG index)
{
    if (!media->GetSampleToChunk()) Fail(CMyQTException::kNoSampleToChunk);
    if (!media->GetChunkOffsets()) Fail(CMyQTException::kNoChunkOffsets);
    CMyQTTable stsc(media->GetSampleToChunk(), kStscEntrySize);
    CMyQTTable stco(media->GetChunkOffsets(), kStcoEntrySize);

    // An entry applies from its first chunk up to the chunk before the next
    // entry's first chunk; products are 64-bit, chunk numbers and counts 32-bit.
    ULONGLONG first = stsc.Get(0, 0);
    ULONGLONG perChunk = stsc.Get(0, 1);
    DWORD description = stsc.Get(0, 2);
    ULONGLONG left = ULONGLONG(index);
    bool inRun = false;
    for (LONG e = 1; e < stsc.GetCount(); ++e) {
        ULONGLONG nextFirst = stsc.Get(e, 0);
        if (nextFirst < first) Fail(CMyQTException::kBadTableEntry);
        ULONGLONG run = (nextFirst - first) * perChunk;
        if (left < run) {
            inRun = true;
            break;
        }
        left -= run;
        first = nextFirst;
        perChunk = stsc.Get(e, 1);
        description = stsc.Get(e, 2);
    }
    if (!inRun) {
        // The last entry runs to the last chunk.
        LONGLONG chunks = LONGLONG(stco.GetCount()) - LONGLONG(first) + 1;
        if (chunks <= 0 || left >= ULONGLONG(chunks) * perChunk) Fail(CMyQTException::kSampleBeyondLastChunk);
    }
    if (perChunk == 0) Fail(CMyQTException::kBadTableEntry);
    return ChunkPlace{first + left / perChunk, left % perChunk, perChunk, description};
}

bool IsSoundMedia(const CMyQTMedia *media)
{
    DWORD mediaType = 0;
    GetMediaHandlerDescription(media, &mediaType, nullptr, nullptr);
    return mediaType == MyQTFourCC("soun");
}

// Bytes of one sound frame by the description with that index; a negative
// figure cannot be a size.
ULONGLONG SoundFrameSize(const CMyQTMedia *media, DWORD descriptionIndex)
{
    CMySoundDescription description(media, LONG(descriptionIndex));
    LONG bytes = description.GetBytesPerFrame();
    if (bytes < 0) Fail(CMyQTException::kBadTableEntry);
    return ULONGLONG(bytes);
}

const BYTE *RequireSampleSizes(const CMyQTMedia *media)
{
    if (!media) Fail(CMyQTException::kMissingAtom);
    if (!media->GetSampleSizes()) Fail(CMyQTException::kNoSampleSizes);
    return media->GetSampleSizes();
}

// Total size of count samples from index on, all in one chunk whose
// description is descriptionIndex.
ULONGLONG SumSampleSizes(const CMyQTMedia *media, LONGLONG index, LONGLONG count, DWORD descriptionIndex)
{
    CMyQTSampleSizeTable stsz(RequireSampleSizes(media));
    if (index < 0 || count < 0 || index + count > stsz.GetCount()) Fail(CMyQTException::kOutsideAtom);
    if (stsz.GetCommonSize() == 0) {
        ULONGLONG total = 0;
        for (LONGLONG i = 0; i < count; ++i)
            total += stsz.GetEntry(LONG(index + i));
        return total;
    }
    ULONGLONG each = stsz.GetCommonSize();
    if (each == 1 && count > 0 && IsSoundMedia(media)) each = SoundFrameSize(media, descriptionIndex);
    return each * ULONGLONG(count);
}

struct TimePlace {
    LONG index;
    LONG start;
    LONG duration;
};

// The sample holding media time `time` by 'stts'.
TimePlace FindSampleAtTime(const CMyQTMedia *media, LONG time)
{
    CMyQTTable stts(media->GetTimeToSample(), kSttsEntrySize);
    // Each entry skipped adds at most its time span to index and start, so
    // both stay at or below time.
    LONGLONG index = 0, start = 0, remaining = time;
    for (LONG e = 0; e < stts.GetCount(); ++e) {
        LONG count = LONG(stts.Get(e, 0));
        LONG duration = LONG(stts.Get(e, 1));
        if (count < 0 || duration <= 0) Fail(CMyQTException::kBadTableEntry);
        LONGLONG q = remaining / duration;
        if (count > q) {
            return TimePlace{LONG(index + q), LONG(start + duration * q), duration};
        }
        index += count;
        start += LONGLONG(count) * duration;
        remaining -= LONGLONG(count) * duration;
    }
    return TimePlace{LONG(index), LONG(start), 0};
}

bool IsSyncSample(const CMyQTMedia *media, LONG index)
{
    if (!media->GetSyncSamples()) return true;
    CMyQTTable stss(media->GetSyncSamples(), kStssEntrySize);
    for (LONG e = 0; e < stss.GetCount(); ++e)
        if (stss.Get(e) == DWORD(index) + 1) return true;
    return false;
}

DWORD RequireDword(ULONGLONG value)
{
    // Offsets and sizes of a file below 4 GiB fit in 32 bits.
    if (value > 0xFFFFFFFFULL) Fail(CMyQTException::kOutsideAtom);
    return DWORD(value);
}

} // namespace

LONG GetMediaSampleCount(const CMyQTMedia *media)
{
    return CMyQTSampleSizeTable(RequireSampleSizes(media)).GetCount();
}

DWORD GetMediaSampleSize(const CMyQTMedia *media, LONG index)
{
    CMyQTSampleSizeTable stsz(RequireSampleSizes(media));
    if (index < 0 || index >= stsz.GetCount()) Fail(CMyQTException::kOutsideAtom);
    if (stsz.GetCommonSize() == 0) return stsz.GetEntry(index);
    if (stsz.GetCommonSize() != 1 || !IsSoundMedia(media)) return stsz.GetCommonSize();
    return RequireDword(SoundFrameSize(media, FindChunk(media, index).descriptionIndex));
}

void GetMediaSampleReference(const CMyQTMedia *media, DWORD *dataOffset, DWORD *size, LONG time, LONG *sampleTime,
                             LONG *durationPerSample, CMyQTHandle *sampleDescription, LONG *sampleDescriptionIndex,
                             LONG maxNumberOfSamples, LONG *numberOfSamples, WORD *sampleFlags)
{
    if (maxNumberOfSamples != 0 && maxNumberOfSamples != 1) Fail(CMyQTException::kBadArgument);
    if (time < 0) Fail(CMyQTException::kBadArgument);
    if (!media) Fail(CMyQTException::kMissingAtom);
    if (time >= GetMediaDuration(media)) Fail(CMyQTException::kTimeBeyondDuration);
    if (!media->GetTimeToSample()) Fail(CMyQTException::kNoTimeToSample);

    TimePlace sample = FindSampleAtTime(media, time);
    ChunkPlace place = FindChunk(media, sample.index);
    LONGLONG count = maxNumberOfSamples == 1 ? 1 : LONGLONG(place.samplesPerChunk - place.position);

    ULONGLONG bytes = SumSampleSizes(media, sample.index, count, place.descriptionIndex);
    CMyQTTable stco(media->GetChunkOffsets(), kStcoEntrySize);
    if (place.chunk < 1 || place.chunk > ULONGLONG(stco.GetCount())) Fail(CMyQTException::kOutsideAtom);
    ULONGLONG offset =
        ULONGLONG(stco.Get(LONG(place.chunk - 1))) + SumSampleSizes(media, sample.index - LONGLONG(place.position),
                                                                    LONGLONG(place.position), place.descriptionIndex);

    DWORD offset32 = RequireDword(offset);
    DWORD bytes32 = RequireDword(bytes);
    if (sampleDescription) GetMediaSampleDescription(media, LONG(place.descriptionIndex), sampleDescription);
    WORD flags = IsSyncSample(media, sample.index) ? 0 : 1;

    if (dataOffset) *dataOffset = offset32;
    if (size) *size = bytes32;
    if (sampleTime) *sampleTime = sample.start;
    if (durationPerSample) *durationPerSample = sample.duration;
    if (sampleDescriptionIndex) *sampleDescriptionIndex = LONG(place.descriptionIndex);
    if (numberOfSamples) *numberOfSamples = LONG(count);
    if (sampleFlags) *sampleFlags = flags;
}

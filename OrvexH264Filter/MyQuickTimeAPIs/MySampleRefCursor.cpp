#include "MyQuickTimeAPIs/MySampleRefCursor.h"

#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"
#include "MyQuickTimeAPIs/MySoundDescription.h"

#include <algorithm>

namespace {

constexpr DWORD kSttsEntrySize = 8;
constexpr DWORD kStssEntrySize = 4;
constexpr DWORD kStscEntrySize = 12;
constexpr DWORD kStcoEntrySize = 4;

[[noreturn]] void Fail(CMyQTException::EExceptionType type)
{
    throw CMyQTException(type);
}

DWORD RequireDword(ULONGLONG value)
{
    // Offsets and sizes of a file below 4 GiB fit in 32 bits.
    if (value > 0xFFFFFFFFULL) Fail(CMyQTException::kOutsideAtom);
    return DWORD(value);
}

} // namespace

void CMySampleRefCursor::Lookup(LONG time, LONG maxNumberOfSamples, MySampleRef *ref, CMyQTHandle *sampleDescription)
{
    if (maxNumberOfSamples != 0 && maxNumberOfSamples != 1) Fail(CMyQTException::kBadArgument);
    if (time < 0) Fail(CMyQTException::kBadArgument);
    if (!m_media) Fail(CMyQTException::kMissingAtom);
    if (time >= MediaDuration()) Fail(CMyQTException::kTimeBeyondDuration);
    if (!m_media->GetTimeToSample()) Fail(CMyQTException::kNoTimeToSample);

    TimePlace sample = FindSampleAtTime(time);
    ChunkPlace place = FindChunk(sample.index);
    LONGLONG count = maxNumberOfSamples == 1 ? 1 : LONGLONG(place.samplesPerChunk - place.position);

    ULONGLONG bytes = SumSampleSizes(sample.index, count, place.descriptionIndex);
    if (place.chunk < 1 || place.chunk > ULONGLONG(m_stco->GetCount())) Fail(CMyQTException::kOutsideAtom);
    ULONGLONG offset = ULONGLONG(m_stco->Get(LONG(place.chunk - 1))) +
                       BytesBeforeInChunk(sample.index, LONGLONG(place.position), place.descriptionIndex);

    DWORD offset32 = RequireDword(offset);
    DWORD bytes32 = RequireDword(bytes);
    if (sampleDescription) GetMediaSampleDescription(m_media, LONG(place.descriptionIndex), sampleDescription);
    WORD flags = IsSyncSample(sample.index) ? 0 : 1;

    ref->dataOffset = offset32;
    ref->size = bytes32;
    ref->sampleTime = sample.start;
    ref->durationPerSample = sample.duration;
    ref->sampleDescriptionIndex = LONG(place.descriptionIndex);
    ref->numberOfSamples = LONG(count);
    ref->sampleFlags = flags;
}

DWORD CMySampleRefCursor::GetSampleSize(LONG index)
{
    const CMyQTSampleSizeTable &stsz = SampleSizes();
    if (index < 0 || index >= stsz.GetCount()) Fail(CMyQTException::kOutsideAtom);
    if (stsz.GetCommonSize() == 0) return stsz.GetEntry(index);
    if (stsz.GetCommonSize() != 1 || !IsSoundMedia()) return stsz.GetCommonSize();
    return RequireDword(SoundFrameSize(FindChunk(index).descriptionIndex));
}

LONG CMySampleRefCursor::MediaDuration()
{
    if (!m_duration) m_duration = GetMediaDuration(m_media);
    return *m_duration;
}

CMySampleRefCursor::TimePlace CMySampleRefCursor::FindSampleAtTime(LONG time)
{
    if (!m_stts) m_stts.emplace(m_media->GetTimeToSample(), kSttsEntrySize);
    if (time < m_lastTime) {
        m_sttsEntry = 0;
        m_sttsIndex = 0;
        m_sttsStart = 0;
    }
    m_lastTime = time;
    // Entries passed so far end at or before every time asked since, so a
    // later time starts where the last one stopped. Both sums stay at or
    // below the time: every sample lasts at least one unit.
    for (; m_sttsEntry < m_stts->GetCount(); ++m_sttsEntry) {
        LONG count = LONG(m_stts->Get(m_sttsEntry, 0));
        LONG duration = LONG(m_stts->Get(m_sttsEntry, 1));
        if (count < 0 || duration <= 0) Fail(CMyQTException::kBadTableEntry);
        LONGLONG q = (time - m_sttsStart) / duration;
        if (count > q) return TimePlace{LONG(m_sttsIndex + q), LONG(m_sttsStart + duration * q), duration};
        m_sttsIndex += count;
        m_sttsStart += LONGLONG(count) * duration;
    }
    return TimePlace{LONG(m_sttsIndex), LONG(m_sttsStart), 0};
}

CMySampleRefCursor::ChunkPlace CMySampleRefCursor::FindChunk(LONG index)
{
    if (!m_media->GetSampleToChunk()) Fail(CMyQTException::kNoSampleToChunk);
    if (!m_media->GetChunkOffsets()) Fail(CMyQTException::kNoChunkOffsets);
    if (!m_stsc) m_stsc.emplace(m_media->GetSampleToChunk(), kStscEntrySize);
    if (!m_stco) m_stco.emplace(m_media->GetChunkOffsets(), kStcoEntrySize);

    if (!m_stscStarted || index < m_lastIndex) {
        m_stscFirst = m_stsc->Get(0, 0);
        m_stscPerChunk = m_stsc->Get(0, 1);
        m_stscDescription = m_stsc->Get(0, 2);
        m_stscEntry = 0;
        m_stscConsumed = 0;
        m_stscStarted = true;
    }
    m_lastIndex = index;

    // An entry applies from its first chunk up to the chunk before the next
    // entry's first chunk. The runs passed so far hold samples before every
    // index asked since, so a later index goes on from the current entry.
    ULONGLONG left = ULONGLONG(index) - m_stscConsumed;
    bool inRun = false;
    for (LONG e = m_stscEntry + 1; e < m_stsc->GetCount(); ++e) {
        ULONGLONG nextFirst = m_stsc->Get(e, 0);
        if (nextFirst < m_stscFirst) Fail(CMyQTException::kBadTableEntry);
        ULONGLONG run = (nextFirst - m_stscFirst) * m_stscPerChunk;
        if (left < run) {
            inRun = true;
            break;
        }
        left -= run;
        m_stscConsumed += run;
        m_stscFirst = nextFirst;
        m_stscPerChunk = m_stsc->Get(e, 1);
        m_stscDescription = m_stsc->Get(e, 2);
        m_stscEntry = e;
    }
    if (!inRun) {
        // The last entry runs to the last chunk.
        LONGLONG chunks = LONGLONG(m_stco->GetCount()) - LONGLONG(m_stscFirst) + 1;
        if (chunks <= 0 || left >= ULONGLONG(chunks) * m_stscPerChunk) Fail(CMyQTException::kSampleBeyondLastChunk);
    }
    if (m_stscPerChunk == 0) Fail(CMyQTException::kBadTableEntry);
    return ChunkPlace{m_stscFirst + left / m_stscPerChunk, left % m_stscPerChunk, m_stscPerChunk, m_stscDescription};
}

const CMyQTSampleSizeTable &CMySampleRefCursor::SampleSizes()
{
    if (!m_stsz) {
        if (!m_media) Fail(CMyQTException::kMissingAtom);
        if (!m_media->GetSampleSizes()) Fail(CMyQTException::kNoSampleSizes);
        m_stsz.emplace(m_media->GetSampleSizes());
    }
    return *m_stsz;
}

bool CMySampleRefCursor::IsSoundMedia()
{
    if (!m_soundMedia) {
        DWORD mediaType = 0;
        GetMediaHandlerDescription(m_media, &mediaType, nullptr, nullptr);
        m_soundMedia = mediaType == MyQTFourCC("soun");
    }
    return *m_soundMedia;
}

// Bytes of one sound frame by the description with that index (1 outside a
// sound media); a negative figure cannot be a size.
ULONGLONG CMySampleRefCursor::SoundFrameSize(DWORD descriptionIndex)
{
    if (!IsSoundMedia()) return 1;
    if (descriptionIndex != m_frameSizeDescription || m_frameSizeDescription == 0) {
        CMySoundDescription description(m_media, LONG(descriptionIndex));
        LONG bytes = description.GetBytesPerFrame();
        if (bytes < 0) Fail(CMyQTException::kBadTableEntry);
        m_frameSize = ULONGLONG(bytes);
        m_frameSizeDescription = descriptionIndex;
    }
    return m_frameSize;
}

ULONGLONG CMySampleRefCursor::SumSampleSizes(LONGLONG index, LONGLONG count, DWORD descriptionIndex)
{
    const CMyQTSampleSizeTable &stsz = SampleSizes();
    if (index < 0 || count < 0 || index + count > stsz.GetCount()) Fail(CMyQTException::kOutsideAtom);
    if (stsz.GetCommonSize() == 0) {
        ULONGLONG total = 0;
        for (LONGLONG i = 0; i < count; ++i)
            total += stsz.GetEntry(LONG(index + i));
        return total;
    }
    // A common size of 1 in a sound media counts sound frames.
    ULONGLONG each = stsz.GetCommonSize();
    if (each == 1 && count > 0) each = SoundFrameSize(descriptionIndex);
    return each * ULONGLONG(count);
}

ULONGLONG CMySampleRefCursor::BytesBeforeInChunk(LONGLONG index, LONGLONG position, DWORD descriptionIndex)
{
    const CMyQTSampleSizeTable &stsz = SampleSizes();
    LONGLONG chunkStart = index - position;
    if (chunkStart < 0 || position < 0 || index > stsz.GetCount()) Fail(CMyQTException::kOutsideAtom);
    if (stsz.GetCommonSize() != 0) return SumSampleSizes(chunkStart, position, descriptionIndex);
    // A running sum over the chunk: the next sample of the same chunk adds
    // only the sizes between the last one and it.
    if (chunkStart != m_sumFrom || index < m_sumTo) {
        m_sumFrom = chunkStart;
        m_sumTo = chunkStart;
        m_sum = 0;
    }
    for (; m_sumTo < index; ++m_sumTo)
        m_sum += stsz.GetEntry(LONG(m_sumTo));
    return m_sum;
}

bool CMySampleRefCursor::IsSyncSample(LONG index)
{
    if (!m_media->GetSyncSamples()) return true;
    if (!m_syncLoaded) {
        // Sorted, so that a forward walk answers whatever order the file lists them in.
        // Only the entries the atom holds: a larger count is the file's claim.
        CMyQTTable stss(m_media->GetSyncSamples(), kStssEntrySize);
        m_syncNumbers.resize(size_t(stss.GetReadableCount()));
        for (LONG e = 0; e < stss.GetReadableCount(); ++e)
            m_syncNumbers[size_t(e)] = stss.Get(e);
        std::sort(m_syncNumbers.begin(), m_syncNumbers.end());
        m_syncMissing = stss.GetCount() > stss.GetReadableCount();
        m_syncLoaded = true;
    }
    DWORD number = DWORD(index) + 1;
    if (number < m_lastSyncNumber) m_syncPlace = 0;
    m_lastSyncNumber = number;
    while (m_syncPlace < m_syncNumbers.size() && m_syncNumbers[m_syncPlace] < number)
        ++m_syncPlace;
    if (m_syncPlace < m_syncNumbers.size() && m_syncNumbers[m_syncPlace] == number) return true;
    // The walk of the table would go on past the atom's end to look further.
    if (m_syncMissing) Fail(CMyQTException::kOutsideAtom);
    return false;
}

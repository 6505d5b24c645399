// The one walk over a media's sample tables ('stts', 'stsc', the sizes of
// 'stsz', 'stss'). Each walk keeps its place between lookups and moves
// forward with the time looked up, so looking up every sample of a media in
// time order costs time linear in the tables; a time smaller than the last one
// restarts the walks from their first entries. GetMediaSampleReference and
// GetMediaSampleSize are one lookup of a fresh cursor. Failures throw
// CMyQTException: a read beyond a table's entry count or its atom throws
// kOutsideAtom, an unusable entry (zero duration, chunks out of order)
// kBadTableEntry.
#pragma once

#include <windows.h>

#include "MyQuickTimeAPIs/MyQTHandle.h"
#include "MyQuickTimeAPIs/MyQTTable.h"

#include <optional>
#include <vector>

class CMyQTMedia;

// The outputs of one GetMediaSampleReference call.
struct MySampleRef {
    DWORD dataOffset = 0;
    DWORD size = 0;
    LONG sampleTime = 0;
    LONG durationPerSample = 0;
    LONG sampleDescriptionIndex = 0;
    LONG numberOfSamples = 0;
    WORD sampleFlags = 0;
};

class CMySampleRefCursor {
public:
    explicit CMySampleRefCursor(const CMyQTMedia *media) : m_media(media) {}
    // The sample holding media time `time` (maxNumberOfSamples 1), or it and
    // the rest of its chunk (0); sampleDescription, when not null, receives a
    // copy of its description. The answers and refusals of
    // GetMediaSampleReference.
    void Lookup(LONG time, LONG maxNumberOfSamples, MySampleRef *ref, CMyQTHandle *sampleDescription = nullptr);
    // Size in bytes of the sample with 0-based index, as GetMediaSampleSize.
    DWORD GetSampleSize(LONG index);

private:
    // The sample holding a media time, by 'stts'.
    struct TimePlace {
        LONG index;
        LONG start;
        LONG duration;
    };
    // Where a sample lies by 'stsc': its 1-based chunk, its position there.
    struct ChunkPlace {
        ULONGLONG chunk;
        ULONGLONG position;
        ULONGLONG samplesPerChunk;
        DWORD descriptionIndex;
    };

    LONG MediaDuration();
    TimePlace FindSampleAtTime(LONG time);
    ChunkPlace FindChunk(LONG index);
    const CMyQTSampleSizeTable &SampleSizes();
    bool IsSoundMedia();
    ULONGLONG SoundFrameSize(DWORD descriptionIndex);
    // Bytes of count samples from index on, in one chunk with that description.
    ULONGLONG SumSampleSizes(LONGLONG index, LONGLONG count, DWORD descriptionIndex);
    // Bytes of the samples of a chunk before index (position of them).
    ULONGLONG BytesBeforeInChunk(LONGLONG index, LONGLONG position, DWORD descriptionIndex);
    bool IsSyncSample(LONG index);

    const CMyQTMedia *m_media;
    std::optional<LONG> m_duration;

    // 'stts': entry m_sttsEntry starts at sample m_sttsIndex, media time m_sttsStart.
    std::optional<CMyQTTable> m_stts;
    LONG m_sttsEntry = 0;
    LONGLONG m_sttsIndex = 0;
    LONGLONG m_sttsStart = 0;
    LONG m_lastTime = 0;

    // 'stsc': entry m_stscEntry (first chunk, samples per chunk, description)
    // applies from sample m_stscConsumed on.
    std::optional<CMyQTTable> m_stsc;
    std::optional<CMyQTTable> m_stco;
    bool m_stscStarted = false;
    LONG m_stscEntry = 0;
    ULONGLONG m_stscFirst = 0;
    ULONGLONG m_stscPerChunk = 0;
    DWORD m_stscDescription = 0;
    ULONGLONG m_stscConsumed = 0;
    LONG m_lastIndex = 0;

    // 'stsz': the sum of the sizes of samples [m_sumFrom, m_sumTo).
    std::optional<CMyQTSampleSizeTable> m_stsz;
    LONGLONG m_sumFrom = -1;
    LONGLONG m_sumTo = -1;
    ULONGLONG m_sum = 0;
    std::optional<bool> m_soundMedia;
    DWORD m_frameSizeDescription = 0;
    ULONGLONG m_frameSize = 0;

    // 'stss': its sample numbers sorted, and the place of the last one asked.
    bool m_syncLoaded = false;
    bool m_syncMissing = false; // the count promises entries beyond the atom
    std::vector<DWORD> m_syncNumbers;
    size_t m_syncPlace = 0;
    DWORD m_lastSyncNumber = 0;
};

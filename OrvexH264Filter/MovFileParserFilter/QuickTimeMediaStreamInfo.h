// The base of every stream info: the flat, time-ordered sample index of one
// served track, its totals, the one media type its output pin offers, and the
// current position of the pin's delivery thread in the index.
//
// The index is built once while the movie is loaded and never changes after
// construction; only the current index moves, on the owning pin's delivery
// thread. The stream info takes no lock of its own.
#pragma once

#include "MovFileParserFilter/MediaSampleRef.h"

#include <mtype.h>

#include <atomic>
#include <vector>

class CMyQTMedia;

// No index holds more entries than this: a few tables in a small file can
// describe billions of samples, and an index that large is refused rather
// than allocated. 2^24 entries are 77 hours of 60 frames a second.
constexpr ULONGLONG kMaxSampleIndexEntries = 1ULL << 24;

constexpr ULONGLONG kMaxReservedIndexEntries = 1ULL << 20;

class CQuickTimeMediaStreamInfo {
public:
    virtual ~CQuickTimeMediaStreamInfo();
    CQuickTimeMediaStreamInfo(const CQuickTimeMediaStreamInfo &) = delete;
    CQuickTimeMediaStreamInfo &operator=(const CQuickTimeMediaStreamInfo &) = delete;

    // Builds the index, then the media type (which depends on the index's totals).
    virtual void Init(const CMyQTMedia *media, ULONGLONG lastMediaByte);
    virtual void BuildSampleIndex(const CMyQTMedia *media, ULONGLONG lastMediaByte) = 0;
    virtual void BuildMediaType(const CMyQTMedia *media) = 0;

    // Hands out the entry at the current index and moves on; false at the end.
    bool GetNextMediaSampleRef(MediaSampleRef *entry, DWORD *index);
    // False (and nothing changes) for an index at or past the end.
    bool SetCurrentIndex(DWORD index);
    // Start of the entry handed out last; 0 before the first, the duration after the last.
    LONGLONG GetCurrentTime() const;
    // The sync entry at or before the entry holding time, searching from
    // startIndex; a time outside every entry gives the last sync entry.
    bool FindSyncSampleRef(DWORD startIndex, LONGLONG time, DWORD *index, LONGLONG *syncStart) const;
    // The first sync entry at or after startIndex.
    bool FindNextSyncSampleRef(DWORD startIndex, DWORD *index, LONGLONG *syncStart) const;
    // Moves the current index to the sync entry FindSyncSampleRef(0, time) finds, if any.
    void SeekToTime(LONGLONG time);

    const std::vector<MediaSampleRef> &GetSampleIndex() const { return m_sampleIndex; }
    DWORD GetEntryCount() const { return DWORD(m_sampleIndex.size()); }
    ULONGLONG GetTotalBytes() const { return m_totalBytes; }
    DWORD GetLargestEntry() const { return m_largestEntry; }
    // Stop time of the last entry.
    LONGLONG GetDuration() const { return m_duration; }
    const CMediaType &GetMediaType() const { return m_mediaType; }
    DWORD GetCurrentIndex() const { return m_currentIndex.load(std::memory_order_relaxed); }

protected:
    CQuickTimeMediaStreamInfo() = default;

    // Room for count entries, at most kMaxReservedIndexEntries: a count read
    // from a file is a hint, not a promise, and the index grows beyond it.
    void ReserveEntries(ULONGLONG count);
    // Appends an entry and keeps the totals; throws CMyQTException
    // kBadTableEntry past kMaxSampleIndexEntries.
    void AppendEntry(const MediaSampleRef &entry);

    CMediaType m_mediaType;

private:
    std::vector<MediaSampleRef> m_sampleIndex;
    ULONGLONG m_totalBytes = 0;
    DWORD m_largestEntry = 0;
    LONGLONG m_duration = 0;
    // Moved by the delivery thread, read by seeking calls on the host's thread.
    std::atomic<DWORD> m_currentIndex{0};
};

// Writes "ChunkOffset Error  \n" and throws CMyQTException kChunkOffsetError
// when the bytes [offset, offset + size) end beyond the last media byte. The
// sum is 64-bit: a 32-bit one could wrap and let a sample past the check.
void CheckSampleInMediaData(ULONGLONG offset, DWORD size, ULONGLONG lastMediaByte);

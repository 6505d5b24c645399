#include "MovFileParserFilter/QuickTimeMediaStreamInfo.h"

#include "MyQuickTimeAPIs/MyQTException.h"
#include "common/MyTrace.h"

#include <algorithm>

CQuickTimeMediaStreamInfo::~CQuickTimeMediaStreamInfo() = default;

void CQuickTimeMediaStreamInfo::Init(const CMyQTMedia *media, ULONGLONG lastMediaByte)
{
    BuildSampleIndex(media, lastMediaByte);
    BuildMediaType(media);
}

bool CQuickTimeMediaStreamInfo::GetNextMediaSampleRef(MediaSampleRef *entry, DWORD *index)
{
    const DWORD current = m_currentIndex.load(std::memory_order_relaxed);
    if (current >= m_sampleIndex.size()) return false;
    *entry = m_sampleIndex[current];
    *index = current;
    m_currentIndex.store(current + 1, std::memory_order_relaxed);
    return true;
}

bool CQuickTimeMediaStreamInfo::SetCurrentIndex(DWORD index)
{
    if (index >= m_sampleIndex.size()) return false;
    m_currentIndex = index;
    return true;
}

LONGLONG CQuickTimeMediaStreamInfo::GetCurrentTime() const
{
    // One read: another thread may move the index between two.
    const DWORD current = m_currentIndex.load(std::memory_order_relaxed);
    if (current == 0) return 0;
    if (current >= m_sampleIndex.size()) return m_duration;
    return m_sampleIndex[current - 1].start;
}

bool CQuickTimeMediaStreamInfo::FindSyncSampleRef(DWORD startIndex, LONGLONG time, DWORD *index,
                                                  LONGLONG *syncStart) const
{
    bool found = false;
    DWORD syncIndex = 0;
    for (size_t i = startIndex; i < m_sampleIndex.size(); ++i) {
        const MediaSampleRef &entry = m_sampleIndex[i];
        if (entry.sync == 1) {
            found = true;
            syncIndex = DWORD(i);
        }
        if (entry.start <= time && time < entry.stop) break;
    }
    if (!found) return false;
    *index = syncIndex;
    *syncStart = m_sampleIndex[syncIndex].start;
    return true;
}

bool CQuickTimeMediaStreamInfo::FindNextSyncSampleRef(DWORD startIndex, DWORD *index, LONGLONG *syncStart) const
{
    for (size_t i = startIndex; i < m_sampleIndex.size(); ++i) {
        if (m_sampleIndex[i].sync == 1) {
            *index = DWORD(i);
            *syncStart = m_sampleIndex[i].start;
            return true;
        }
    }
    return false;
}

void CQuickTimeMediaStreamInfo::SeekToTime(LONGLONG time)
{
    DWORD index = 0;
    LONGLONG syncStart = 0;
    if (FindSyncSampleRef(0, time, &index, &syncStart)) m_currentIndex = index;
}

void CQuickTimeMediaStreamInfo::ReserveEntries(ULONGLONG count)
{
    m_sampleIndex.reserve(size_t(std::min(count, kMaxReservedIndexEntries)));
}

void CQuickTimeMediaStreamInfo::AppendEntry(const MediaSampleRef &entry)
{
    if (m_sampleIndex.size() >= kMaxSampleIndexEntries) throw CMyQTException(CMyQTException::kBadTableEntry);
    m_sampleIndex.push_back(entry);
    m_totalBytes += entry.size;
    m_largestEntry = std::max(m_largestEntry, entry.size);
    m_duration = entry.stop;
}

void CheckSampleInMediaData(ULONGLONG offset, DWORD size, ULONGLONG lastMediaByte)
{
    if (offset + size > lastMediaByte + 1) {
        MyTrace("ChunkOffset Error  \n");
        throw CMyQTException(CMyQTException::kChunkOffsetError);
    }
}

#include "MovFileParserFilter/SoundMediaStreamInfo.h"

#include "MovFileParserFilter/MySampleIndexWalk.h"
#include "MovFileParserFilter/MySampleRefCursor.h"
#include "MyQuickTimeAPIs/MyQTAPI.h"

CSoundMediaStreamInfo::~CSoundMediaStreamInfo() = default;

void CSoundMediaStreamInfo::BuildSampleIndex(const CMyQTMedia *media, ULONGLONG lastMediaByte)
{
    // About one entry a second.
    ReserveEntries(ULONGLONG(GetMediaDuration(media) / GetMediaTimeScale(media)));
    CMySampleRefCursor cursor(media);
    WalkMediaSamples(media, lastMediaByte, 0, cursor, [this](const MediaSampleRef &entry) { AppendEntry(entry); });
}

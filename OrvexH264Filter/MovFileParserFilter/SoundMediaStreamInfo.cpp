#include "MovFileParserFilter/SoundMediaStreamInfo.h"

#include "MovFileParserFilter/MySampleIndexWalk.h"
#include "MyQuickTimeAPIs/MyQTAPI.h"

CSoundMediaStreamInfo::~CSoundMediaStreamInfo() = default;

void CSoundMediaStreamInfo::BuildSampleIndex(const CMyQTMedia *media, ULONGLONG lastMediaByte)
{
    // About one entry a second.
    ReserveEntries(ULONGLONG(GetMediaDuration(media) / GetMediaTimeScale(media)));
    WalkMediaSamples(media, lastMediaByte, 0, [this](const MediaSampleRef &entry) { AppendEntry(entry); });
}

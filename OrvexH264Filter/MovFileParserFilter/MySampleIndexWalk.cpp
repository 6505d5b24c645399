#include "MovFileParserFilter/MySampleIndexWalk.h"

#include "MovFileParserFilter/QuickTimeMediaStreamInfo.h"
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MySampleRefCursor.h"

void WalkMediaSamples(const CMyQTMedia *media, ULONGLONG lastMediaByte, LONG maxNumberOfSamples,
                      const std::function<void(const MediaSampleRef &)> &append)
{
    const LONG timeScale = GetMediaTimeScale(media);
    const LONG duration = GetMediaDuration(media);
    // Times are 64-bit: a sample's start plus the span of a whole chunk can
    // pass 2^31, where a 32-bit time would wrap back into the media.
    CMySampleRefCursor cursor(media);
    LONGLONG t = 0;
    while (t < duration) {
        MySampleRef ref;
        try {
            cursor.Lookup(LONG(t), maxNumberOfSamples, &ref);
        } catch (const CMyQTException &) {
            break;
        }
        const LONGLONG samples = maxNumberOfSamples == 1 ? 1 : ref.numberOfSamples;
        const LONGLONG span = LONGLONG(ref.durationPerSample) * samples;
        if (span <= 0) break;
        const LONGLONG next = LONGLONG(ref.sampleTime) + span;
        CheckSampleInMediaData(ref.dataOffset, ref.size, lastMediaByte);
        MediaSampleRef entry;
        entry.start = MediaTimeToReferenceTime(ref.sampleTime, timeScale);
        entry.stop = MediaTimeToReferenceTime(next, timeScale);
        entry.size = ref.size;
        entry.offset = ref.dataOffset;
        entry.sync = 1 - (ref.sampleFlags & 1);
        entry.sampleCount = DWORD(samples);
        append(entry);
        t = next;
    }
}

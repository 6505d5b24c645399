#include "MyQuickTimeAPIs/MyQTSampleTables.h"

#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MyQTTable.h"
#include "MyQuickTimeAPIs/MySampleRefCursor.h"

LONG GetMediaSampleCount(const CMyQTMedia *media)
{
    if (!media) throw CMyQTException(CMyQTException::kMissingAtom);
    if (!media->GetSampleSizes()) throw CMyQTException(CMyQTException::kNoSampleSizes);
    return CMyQTSampleSizeTable(media->GetSampleSizes()).GetCount();
}

DWORD GetMediaSampleSize(const CMyQTMedia *media, LONG index)
{
    return CMySampleRefCursor(media).GetSampleSize(index);
}

void GetMediaSampleReference(const CMyQTMedia *media, DWORD *dataOffset, DWORD *size, LONG time, LONG *sampleTime,
                             LONG *durationPerSample, CMyQTHandle *sampleDescription, LONG *sampleDescriptionIndex,
                             LONG maxNumberOfSamples, LONG *numberOfSamples, WORD *sampleFlags)
{
    // A fresh cursor starts every walk from the first entry of its table.
    MySampleRef ref;
    CMySampleRefCursor(media).Lookup(time, maxNumberOfSamples, &ref, sampleDescription);
    if (dataOffset) *dataOffset = ref.dataOffset;
    if (size) *size = ref.size;
    if (sampleTime) *sampleTime = ref.sampleTime;
    if (durationPerSample) *durationPerSample = ref.durationPerSample;
    if (sampleDescriptionIndex) *sampleDescriptionIndex = ref.sampleDescriptionIndex;
    if (numberOfSamples) *numberOfSamples = ref.numberOfSamples;
    if (sampleFlags) *sampleFlags = ref.sampleFlags;
}

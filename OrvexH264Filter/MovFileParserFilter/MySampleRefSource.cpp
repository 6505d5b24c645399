#include "MovFileParserFilter/MySampleRefSource.h"

#include "MyQuickTimeAPIs/MyQTSampleTables.h"

void CMySampleRefPerCall::Lookup(LONG time, LONG maxNumberOfSamples, MySampleRef *ref)
{
    MySampleRef r;
    GetMediaSampleReference(m_media, &r.dataOffset, &r.size, time, &r.sampleTime, &r.durationPerSample, nullptr,
                            &r.sampleDescriptionIndex, maxNumberOfSamples, &r.numberOfSamples, &r.sampleFlags);
    *ref = r;
}

// Sample lookups over a media's sample tables ('stts', 'stss', 'stsc', 'stco',
// 'stsz'), in the manner of the QuickTime function GetMediaSampleReference.
// Every call starts again from the first entry of every table. Failures throw
// CMyQTException; a read beyond a table's entry count or its atom throws
// kOutsideAtom, an unusable entry (zero duration, chunks out of order) kBadTableEntry.
#pragma once

#include <windows.h>

#include "MyQuickTimeAPIs/MyQTHandle.h"
#include "MyQuickTimeAPIs/MyQTMedia.h"

// The 'stsz' sample count. Throws kNoSampleSizes, kBadSampleCount if negative.
LONG GetMediaSampleCount(const CMyQTMedia *media);

// Size in bytes of the sample with 0-based index. A sound media with common
// size 1 stores one sample per sound frame: the size is then the bytes per
// frame of the chunk's sound description.
DWORD GetMediaSampleSize(const CMyQTMedia *media, LONG index);

// The sample holding media time `time`. Outputs are optional (null).
//   dataOffset        file offset of the first returned sample
//   size              bytes of the returned samples together
//   sampleTime        media time at which the sample holding `time` starts
//   durationPerSample its duration from 'stts' (0 if 'stts' ends before it)
//   sampleDescription receives a copy of the sample's description
//   sampleDescriptionIndex  1-based, from 'stsc'
//   maxNumberOfSamples 1: just this sample; 0: it and the rest of its chunk
//   numberOfSamples   how many samples were returned
//   sampleFlags       0 for a sync sample, 1 otherwise
// Throws kBadArgument (time < 0, maxNumberOfSamples not 0 or 1), kBadDuration,
// kTimeBeyondDuration (time at or past the duration), kNoTimeToSample,
// kNoSampleToChunk, kNoChunkOffsets, kNoSampleSizes, kSampleBeyondLastChunk.
void GetMediaSampleReference(const CMyQTMedia *media, DWORD *dataOffset, DWORD *size, LONG time, LONG *sampleTime,
                             LONG *durationPerSample, CMyQTHandle *sampleDescription, LONG *sampleDescriptionIndex,
                             LONG maxNumberOfSamples, LONG *numberOfSamples, WORD *sampleFlags);

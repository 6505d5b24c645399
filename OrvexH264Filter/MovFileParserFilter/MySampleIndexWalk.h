// The walk that turns a media's sample tables into index entries on the
// plain path: from media time 0 to the media duration, one lookup at a time.
#pragma once

#include "MovFileParserFilter/MediaSampleRef.h"

#include <functional>

class CMyQTMedia;

// Looks up the sample at t with one cursor (maxNumberOfSamples 1: one sample
// an entry; 0: the sample and the rest of its chunk), appends its entry and
// goes on at the end of what it covered, while t is below the media
// duration. A lookup that throws CMyQTException ends the walk quietly, and so
// does one that returns a duration of 0 (the same samples would come back
// for ever). An entry whose bytes end beyond lastMediaByte writes
// "ChunkOffset Error  \n" and throws CMyQTException kChunkOffsetError.
// Every other exception passes to the caller.
void WalkMediaSamples(const CMyQTMedia *media, ULONGLONG lastMediaByte, LONG maxNumberOfSamples,
                      const std::function<void(const MediaSampleRef &)> &append);

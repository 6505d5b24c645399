// Copies of the sample descriptions of a media's 'stsd' atom, with their fixed
// fields converted to host byte order by the media type.
#pragma once

#include <windows.h>

#include "MyQuickTimeAPIs/MyQTHandle.h"
#include "MyQuickTimeAPIs/MyQTMedia.h"

// The 'stsd' entry count. Throws kNoSampleDescriptions, kBadSampleDescriptionCount if negative.
LONG GetMediaSampleDescriptionCount(const CMyQTMedia *media);

// Copies description index (1-based) into handle: its size becomes the
// entry's size and the bytes of the block beyond the entry read as zero, at
// least up to the end of the fixed part of the entry's kind. Fixed fields that
// lie inside the entry are converted to host order: the image description for
// 'vide', the sound description by its version for 'soun', the common head
// for 'text'; a field cut by the entry's end reads as zero; extension atoms
// stay big-endian.
// Throws kNoSampleDescriptions; kBadArgument for an index outside 1..count;
// kOutsideAtom for an entry whose size is below 8 or which runs past 'stsd';
// kUnsupportedDescription, after the copy, for another media type or a sound
// version outside 0..2.
void GetMediaSampleDescription(const CMyQTMedia *media, LONG index, CMyQTHandle *handle);

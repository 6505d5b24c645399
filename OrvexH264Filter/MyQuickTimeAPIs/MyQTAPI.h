// Questions about movie, tracks and media in the manner of the QuickTime
// programming interface. Failures throw CMyQTException (codes in
// MyQTException.h); nothing here catches. A null media (a track without
// 'mdia') and a media without the atom a question needs throw kMissingAtom.
#pragma once

#include <windows.h>

#include "MyQuickTimeAPIs/MyQTHandle.h"
#include "MyQuickTimeAPIs/MyQTMedia.h"
#include "MyQuickTimeAPIs/MyQTMovie.h"
#include "MyQuickTimeAPIs/MyQTTrack.h"

// Result of GetVideoMediaInfo for a media that is not video.
constexpr LONG kMyQTNotVideoMediaErr = -2008;

LONG GetMovieTrackCount(const CMyQTMovie *movie);
// The track at the 1-based index; an index outside 1..count throws kBadArgument.
CMyQTTrack *GetMovieIndTrack(const CMyQTMovie *movie, LONG index);
// The track's media, or null for a track without 'mdia'.
CMyQTMedia *GetTrackMedia(const CMyQTTrack *track);
// True if the track has an edit list other than the identity edit (one entry
// with the track's duration, media time 0 and rate 1.0). Traces what it finds.
bool TrackHasEdits(const CMyQTTrack *track);

// From 'hdlr'; each output is optional. mediaType: the component subtype
// ('vide', 'soun', ...). name: the component name with its length byte; the
// caller provides 256 bytes. A name running past the atom is cut, and its
// length byte says how much was copied.
void GetMediaHandlerDescription(const CMyQTMedia *media, DWORD *mediaType, BYTE *name, DWORD *manufacturer);
// From 'mdhd'. Throws kBadTimeScale if below 1.
LONG GetMediaTimeScale(const CMyQTMedia *media);
// From 'mdhd', in media time units. Throws kBadDuration if negative.
LONG GetMediaDuration(const CMyQTMedia *media);

// The 'dref' entry count (its low 16 bits, signed). Throws kNoDataReferences.
void GetMediaDataRefCount(const CMyQTMedia *media, SHORT *count);
// Data reference index (1-based; below 1 gives entry 1). Each output is
// optional. data: a new handle with the reference data after the entry's
// 12-byte header, or null if it has none; the caller disposes of it.
// attributes: the entry's flags (low 24 bits). Throws kNoDataReferences, and
// kBadArgument for an index beyond the count.
void GetMediaDataRef(const CMyQTMedia *media, SHORT index, CMyQTHandle **data, DWORD *type, LONG *attributes);

// True if 'stsd', 'stsz', 'stsc' and 'stco' are all present.
bool MediaHasSampleTables(const CMyQTMedia *media);
// True if 'ctts' (composition time offsets) is present.
bool MediaHasCompositionTimes(const CMyQTMedia *media);

// For a 'vide' media stores time scale, duration and sample count and returns
// 0; for any other media returns kMyQTNotVideoMediaErr and leaves them alone.
LONG GetVideoMediaInfo(const CMyQTMedia *media, LONG *timeScale, LONG *duration, LONG *sampleCount);

// Which tracks of a movie the parser serves: at most one H.264 video track
// and at most one sound track, each the first usable one of its kind, and
// whether the chosen sound is PCM or goes to AAC.
#pragma once

#include <windows.h>

class CMyQTMovie;
class CMyQTMedia;

// Writes a listing and a timing summary of every track, then chooses. S_OK
// with the video media and the sound media (or null), or E_INVALIDARG with
// both null when no video can be served. Exceptions of the reading layer pass
// to the caller (a track it cannot read fails the whole load), except those
// of the AAC check, which only make that sound unservable.
HRESULT selectStreams(const CMyQTMovie *movie, CMyQTMedia **videoMedia, CMyQTMedia **soundMedia);

// True when the sound media has exactly one description, at least as long
// as a sound description, of format 'raw ' or 'sowt'.
bool isSoundTrackPCM(const CMyQTMedia *media);

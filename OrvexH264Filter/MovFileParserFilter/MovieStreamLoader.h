// Loading a movie file into the stream infos the parser serves: the file
// size check, the movie atom and the media data extent, the stream
// selection, the camera-or-plain decision by the movie atom's layout, and the
// stream infos of the chosen tracks for that path. The parser filter runs
// this before it creates its output pins (one a stream info); the orvex
// command-line program runs it without pins. The movie model lives only
// inside the call.
#pragma once

#include "MovFileParserFilter/SoundMediaStreamInfo.h"
#include "MovFileParserFilter/VideoMediaStreamInfo.h"

#include <windows.h>

#include <memory>

// The pin names the streams are offered under.
inline constexpr wchar_t kPlainVideoPinName[] = L"Video(H.264) Out";
inline constexpr wchar_t kCameraVideoPinName[] = L"Video(Orvex H.264) Out";
inline constexpr wchar_t kPCMSoundPinName[] = L"Audio(PCM) Out";
inline constexpr wchar_t kAACSoundPinName[] = L"Audio(AAC) Out";

struct CMyMovieStreams {
    enum class ESoundKind { kNone, kPCM, kAAC };

    // True on the camera path (COrvexCameraH264MediaStreamInfo and
    // COrvexCameraPCMSoundMediaStreamInfo), false on the plain path
    // (CH264MediaStreamInfo, and CPCMSoundMediaStreamInfo or CAACSoundMediaStreamInfo).
    bool camera = false;
    // File offset of the last byte of 'mdat'.
    ULONGLONG lastMediaByte = 0;
    std::unique_ptr<CVideoMediaStreamInfo> video;
    // Null when the movie has no served sound.
    std::unique_ptr<CSoundMediaStreamInfo> sound;
    ESoundKind soundKind = ESoundKind::kNone;

    LPCWSTR GetVideoPinName() const { return camera ? kCameraVideoPinName : kPlainVideoPinName; }
    // Null without sound.
    LPCWSTR GetSoundPinName() const;
};

// Fills streams (emptied first) and returns S_OK, or returns a failure with
// streams empty: the system's error for a path that cannot be looked up (as
// an HRESULT), E_INVALIDARG for a file of 4 GiB or more, a file that is no
// servable movie, or any failure while the stream infos are built. Traces
// "Create Output Pins as QuickTimeMovie \n" on the plain path before the
// stream infos are made.
HRESULT LoadMovieStreams(LPCWSTR path, CMyMovieStreams *streams);

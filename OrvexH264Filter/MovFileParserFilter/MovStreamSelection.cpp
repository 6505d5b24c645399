#include "MovFileParserFilter/MovStreamSelection.h"

#include "MovFileParserFilter/MyAACDescription.h"
#include "MyH264/MyAVCSampleEntry.h"
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTDescriptionLayouts.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"
#include "MyQuickTimeAPIs/MyQTSampleTables.h"
#include "MyQuickTimeAPIs/MyQTStuffs.h"
#include "common/MyTrace.h"

#include <cstring>

namespace {

// Room for "'abcd'" and "0x%08X" with the terminator.
constexpr size_t kFourCCTextSize = 16;
// A PCM copy holds a version-1 sound description.
constexpr DWORD kPCMCopySize = kMyQTSoundDescriptionV1Size;

DWORD DataFormatOf(const CMyQTHandle *copy)
{
    if (GetHandleSize(copy) < kMyQTSampleDescriptionHeadSize) return 0;
    DWORD format;
    std::memcpy(&format, copy->GetData() + 4, sizeof(format));
    return format;
}

// Trace of what the track holds: its media type and its descriptions' formats.
void TraceTrackListing(const CMyQTMedia *media, DWORD mediaType)
{
    char text[kFourCCTextSize];
    FourCCToText(mediaType, text, sizeof(text));
    MyTrace("\nMediaType : %s \n", text);
    const LONG count = GetMediaSampleDescriptionCount(media);
    for (LONG i = 1; i <= count; ++i) {
        CMyQTHandlePtr copy(NewHandle(0));
        GetMediaSampleDescription(media, i, copy.get());
        FourCCToText(DataFormatOf(copy.get()), text, sizeof(text));
        MyTrace("sampleDesc(%ld) : %s \n", long(i), text);
    }
}

void TraceTimingSummary(const CMyQTMedia *media)
{
    const LONG timeScale = GetMediaTimeScale(media);
    const LONG duration = GetMediaDuration(media);
    const LONG frames = GetMediaSampleCount(media);
    const double seconds = double(duration) / timeScale;
    const double fps = frames / seconds;
    const double durationPerFrame = seconds / frames;
    MyTrace("mediaTimeScale   = %ld \n", long(timeScale));
    MyTrace("mediaDuration    = %ld \n", long(duration));
    MyTrace("seconds          = %f \n", seconds);
    MyTrace("frames           = %ld \n", long(frames));
    MyTrace("fps              = %f \n", fps);
    MyTrace("durationPerFrame = %f \n", durationPerFrame);
}

// True when the media's only data reference is its own file.
bool IsSelfReference(const CMyQTMedia *media)
{
    SHORT count = 0;
    GetMediaDataRefCount(media, &count);
    if (count != 1) {
        MyTrace("Media has %hd DataRefs \n", count);
        MyTrace("Not selfReference media \n");
        return false;
    }
    DWORD type = 0;
    LONG attributes = 0;
    GetMediaDataRef(media, 1, nullptr, &type, &attributes);
    if ((attributes & 1) && (type == MyQTFourCC("url ") || type == MyQTFourCC("alis"))) return true;
    MyTrace("Not selfReference media \n");
    return false;
}

// 'raw ' or 'sowt' in a description of at least the fixed sound fields.
bool IsPCMDescription(const CMyQTMedia *media)
{
    CMyQTHandlePtr copy(NewHandle(kPCMCopySize));
    GetMediaSampleDescription(media, 1, copy.get());
    const DWORD size = GetHandleSize(copy.get());
    if (size < kMyQTSoundDescriptionV0Size) {
        MyTrace("Size of SampleDescriptions %ld < sizeof(SoundDescription). \n", long(size));
        return false;
    }
    const DWORD format = DataFormatOf(copy.get());
    return format == MyQTFourCC("raw ") || format == MyQTFourCC("sowt");
}

bool IsAACDescription(const CMyQTMedia *media)
{
    try {
        CMyAACDescription description(media);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

HRESULT selectStreams(const CMyQTMovie *movie, CMyQTMedia **videoMedia, CMyQTMedia **soundMedia)
{
    *videoMedia = nullptr;
    *soundMedia = nullptr;
    CMyQTMedia *video = nullptr;
    CMyQTMedia *sound = nullptr;

    const LONG trackCount = GetMovieTrackCount(movie);
    for (LONG k = 1; k <= trackCount; ++k) {
        const CMyQTTrack *track = GetMovieIndTrack(movie, k);
        CMyQTMedia *media = GetTrackMedia(track);
        // A track without media, or media without 'hdlr' or 'mdhd', throws here.
        DWORD mediaType = 0;
        GetMediaHandlerDescription(media, &mediaType, nullptr, nullptr);
        TraceTrackListing(media, mediaType);
        TraceTimingSummary(media);

        if (!MediaHasSampleTables(media)) continue;
        const bool isVideo = mediaType == MyQTFourCC("vide");
        const bool isSound = mediaType == MyQTFourCC("soun");
        if (!isVideo && !isSound) continue;
        const LONG descriptions = GetMediaSampleDescriptionCount(media);
        if (descriptions != 1) {
            MyTrace("nSampleDescs isn't 1 but %ld \n", long(descriptions));
            continue;
        }
        if (!IsSelfReference(media)) continue;

        if (isSound && !sound) {
            if (!IsPCMDescription(media) && !IsAACDescription(media)) {
                MyTrace("Can't handle this sound media \n");
                continue;
            }
            if (!TrackHasEdits(track)) sound = media;
        } else if (isVideo && !video) {
            if (CheckAVCSampleEntry(media) && !TrackHasEdits(track)) video = media;
        }
    }

    if (!video) {
        MyTrace("Can't use OrvexMovParserFilter \n");
        return E_INVALIDARG;
    }
    *videoMedia = video;
    *soundMedia = sound;
    return S_OK;
}

bool isSoundTrackPCM(const CMyQTMedia *media)
{
    const LONG descriptions = GetMediaSampleDescriptionCount(media);
    if (descriptions != 1) {
        MyTrace("Sound Media has %ld SampleDescriptions. \n", long(descriptions));
        return false;
    }
    return IsPCMDescription(media);
}

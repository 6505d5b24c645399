#include "MovFileParserFilter/MovieStreamLoader.h"

#include "MovFileParserFilter/AACSoundMediaStreamInfo.h"
#include "MovFileParserFilter/H264MediaStreamInfo.h"
#include "MovFileParserFilter/MovStreamSelection.h"
#include "MovFileParserFilter/OrvexCameraH264MediaStreamInfo.h"
#include "MovFileParserFilter/OrvexCameraPCMSoundMediaStreamInfo.h"
#include "MovFileParserFilter/PCMSoundMediaStreamInfo.h"
#include "MyQuickTimeAPIs/MyQTCameraLayout.h"
#include "MyQuickTimeAPIs/MyQTFile.h"
#include "MyQuickTimeAPIs/MyQTMovie.h"
#include "MyQuickTimeAPIs/MyQTMovieLoader.h"
#include "common/MyTrace.h"

namespace {

HRESULT ResultOfLookupError(DWORD error)
{
    if (LONG(error) < 0) return HRESULT(error);
    return HRESULT(0x80070000u | (error & 0xFFFFu));
}

void CreatePlainStreamInfos(ULONGLONG lastMediaByte, const CMyQTMedia *video, const CMyQTMedia *sound,
                            CMyMovieStreams *streams)
{
    MyTrace("Create Output Pins as QuickTimeMovie \n");
    streams->video = std::make_unique<CH264MediaStreamInfo>(video, lastMediaByte);
    if (!sound) return;
    if (isSoundTrackPCM(sound)) {
        streams->sound = std::make_unique<CPCMSoundMediaStreamInfo>();
        streams->soundKind = CMyMovieStreams::ESoundKind::kPCM;
    } else {
        streams->sound = std::make_unique<CAACSoundMediaStreamInfo>();
        streams->soundKind = CMyMovieStreams::ESoundKind::kAAC;
    }
    streams->sound->BuildSampleIndex(sound, lastMediaByte);
    streams->sound->BuildMediaType(sound);
}

void CreateCameraStreamInfos(ULONGLONG lastMediaByte, const CMyQTMedia *video, const CMyQTMedia *sound,
                             CMyMovieStreams *streams)
{
    streams->video = std::make_unique<COrvexCameraH264MediaStreamInfo>(video, lastMediaByte);
    if (!sound) return;
    streams->sound = std::make_unique<COrvexCameraPCMSoundMediaStreamInfo>();
    streams->soundKind = CMyMovieStreams::ESoundKind::kPCM;
    streams->sound->BuildSampleIndex(sound, lastMediaByte);
    streams->sound->BuildMediaType(sound);
}

} // namespace

LPCWSTR CMyMovieStreams::GetSoundPinName() const
{
    switch (soundKind) {
    case ESoundKind::kPCM:
        return kPCMSoundPinName;
    case ESoundKind::kAAC:
        return kAACSoundPinName;
    case ESoundKind::kNone:
        break;
    }
    return nullptr;
}

HRESULT LoadMovieStreams(LPCWSTR path, CMyMovieStreams *streams)
{
    *streams = CMyMovieStreams();

    ULONGLONG fileSize = 0;
    const DWORD error = GetFileSizeByName(path, &fileSize);
    if (error != 0) return ResultOfLookupError(error);
    // Offsets in the tables are 32-bit: a larger file cannot be served.
    if (fileSize >> 32) {
        MyTrace("COrvexMovFileParserFilter::setSourceFile fileSize = %llu \n",
                static_cast<unsigned long long>(fileSize));
        return E_INVALIDARG;
    }

    // Whatever fails from here on (a refusal of the reading layer, a bare
    // code or text, an allocation) refuses the movie; the movie model and
    // everything made so far are freed on the way out.
    try {
        std::unique_ptr<CMyQTMovie> movie = LoadMovieAtom(path);
        ULONGLONG mdatOffset = 0, mdatSize = 0;
        FindMdatAtom(path, &mdatOffset, &mdatSize);
        const ULONGLONG lastMediaByte = GetLastMediaByte(mdatOffset, mdatSize);

        CMyQTMedia *video = nullptr;
        CMyQTMedia *sound = nullptr;
        const HRESULT hr = selectStreams(movie.get(), &video, &sound);
        if (FAILED(hr)) return hr;

        CMyMovieStreams loaded;
        loaded.camera = IsCameraMovieLayout(*movie);
        loaded.lastMediaByte = lastMediaByte;
        if (loaded.camera)
            CreateCameraStreamInfos(lastMediaByte, video, sound, &loaded);
        else
            CreatePlainStreamInfos(lastMediaByte, video, sound, &loaded);
        *streams = std::move(loaded);
        return S_OK;
    } catch (...) {
        return E_INVALIDARG;
    }
}

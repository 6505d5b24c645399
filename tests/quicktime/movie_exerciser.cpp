#include "movie_exerciser.h"

#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTCameraLayout.h"
#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"
#include "MyQuickTimeAPIs/MyQTSampleTables.h"
#include "MyQuickTimeAPIs/MyQTStuffs.h"
#include "MyQuickTimeAPIs/MyQTTable.h"
#include "MyQuickTimeAPIs/MySampleDescription.h"
#include "MyQuickTimeAPIs/MySoundDescription.h"

#include <cstring>
#include <memory>

namespace orvex::test {

namespace {

constexpr LONG kMaxLookups = 300; // per walk, so that a hostile table cannot make it long
constexpr LONG kMaxEntries = 8;   // descriptions and data references

// A refusal of the layer is expected: false, and the walk goes on.
template <typename F> bool ask(F &&question)
{
    try {
        question();
        return true;
    } catch (const CMyQTException &) {
    } catch (CMyQTException::EExceptionType) {
    } catch (const char *) {
    }
    return false;
}

// As the stream infos build their indexes: from time 0, sample after sample;
// then a few lookups at the edges.
void lookups(const CMyQTMedia *media, LONG maxSamples)
{
    LONG duration = 0;
    if (!ask([&] { duration = GetMediaDuration(media); })) return;
    LONGLONG t = 0;
    for (LONG n = 0; n < kMaxLookups && t < duration; ++n) {
        DWORD offset = 0, size = 0;
        LONG sampleTime = 0, per = 0, index = 0, count = 0;
        WORD flags = 0;
        CMyQTHandlePtr description(n == 0 ? NewHandle(0) : nullptr);
        if (!ask([&] {
                GetMediaSampleReference(media, &offset, &size, LONG(t), &sampleTime, &per, description.get(), &index,
                                        maxSamples, &count, &flags);
            }) ||
            per <= 0 || count <= 0 || LONGLONG(sampleTime) + LONGLONG(per) * count <= t)
            break;
        t = LONGLONG(sampleTime) + LONGLONG(per) * count;
    }
    for (LONG time : {LONG(-1), LONG(0), LONG(duration - 1), duration}) {
        ask([&] {
            GetMediaSampleReference(media, nullptr, nullptr, time, nullptr, nullptr, nullptr, nullptr, maxSamples,
                                    nullptr, nullptr);
        });
    }
}

void descriptions(const CMyQTMedia *media, DWORD mediaType)
{
    LONG count = 0;
    ask([&] { count = GetMediaSampleDescriptionCount(media); });
    for (LONG i = 0; i <= LONGLONG(count) + 1 && i <= kMaxEntries; ++i) {
        CMyQTHandlePtr copy(NewHandle(i == 1 ? 214 : 0));
        if (!ask([&] { GetMediaSampleDescription(media, i, copy.get()); })) continue;
        CMyImageDescription image(copy->GetData(), GetHandleSize(copy.get()));
        for (DWORD type : {MyQTFourCC("avcC"), MyQTFourCC("colr"), MyQTFourCC("gama"), MyQTFourCC("pasp")}) {
            if (const BYTE *extension = image.FindExtension(type)) {
                volatile BYTE sum = 0; // the extension lies inside the copy: read it whole
                for (DWORD k = 0; k < MyQTAtomSize(extension); ++k)
                    sum = BYTE(sum + extension[k]);
            }
        }
        if (mediaType == MyQTFourCC("soun")) {
            ask([&] {
                CMySoundDescription sound(media, i);
                sound.GetBytesPerFrame();
                sound.GetSampleRate();
            });
        }
    }
}

void exerciseMedia(const CMyQTMedia *media)
{
    DWORD mediaType = 0, manufacturer = 0;
    BYTE name[256];
    ask([&] { GetMediaHandlerDescription(media, &mediaType, name, &manufacturer); });
    LONG scale, duration, count;
    ask([&] { GetVideoMediaInfo(media, &scale, &duration, &count); });
    ask([&] { GetMediaTimeScale(media); });
    MediaHasSampleTables(media);
    MediaHasCompositionTimes(media);
    SHORT refs = 0;
    ask([&] { GetMediaDataRefCount(media, &refs); });
    for (SHORT i = 0; i <= refs && i <= kMaxEntries; ++i) {
        ask([&] {
            CMyQTHandle *data = nullptr;
            DWORD type;
            LONG attributes;
            GetMediaDataRef(media, i, &data, &type, &attributes);
            DisposeHandle(data);
        });
    }
    descriptions(media, mediaType);
    ask([&] {
        for (LONG i = 0, n = GetMediaSampleCount(media); i < n && i < kMaxLookups; ++i)
            ask([&] { GetMediaSampleSize(media, i); });
    });
    lookups(media, 1);
    lookups(media, 0);
    // Direct reads, as the camera stream infos do them.
    if (!media) return;
    for (const auto &table : {std::pair{media->GetTimeToSample(), 8}, std::pair{media->GetSyncSamples(), 4},
                              std::pair{media->GetSampleToChunk(), 12}, std::pair{media->GetChunkOffsets(), 4}}) {
        if (table.first)
            ask([&] {
                CMyQTTable reader(table.first, table.second);
                for (LONG i = 0; i <= reader.GetCount() && i < kMaxLookups; ++i)
                    reader.Get(i, table.second / 4 - 1);
            });
    }
    if (media->GetSampleSizes())
        ask([&] {
            CMyQTSampleSizeTable sizes(media->GetSampleSizes());
            for (LONG i = 0; i < sizes.GetCount() && i < kMaxLookups && !sizes.GetCommonSize(); ++i)
                sizes.GetEntry(i);
        });
}

} // namespace

void exerciseMovie(const CMyQTMovie &movie)
{
    ask([&] { IsCameraMovieLayout(movie); });
    for (LONG k = 1; k <= GetMovieTrackCount(&movie); ++k) {
        CMyQTTrack *track = GetMovieIndTrack(&movie, k);
        ask([&] { TrackHasEdits(track); });
        exerciseMedia(GetTrackMedia(track));
    }
    ask([&] { GetMovieIndTrack(&movie, GetMovieTrackCount(&movie) + 1); });
}

std::string loadAndExercise(const BYTE *bytes, size_t size)
{
    if (size > 0xFFFFFFFF) return "refused: too large";
    std::unique_ptr<CMyQTMovie> movie;
    try {
        auto buffer = std::make_unique<BYTE[]>(size ? size : 1);
        if (size) std::memcpy(buffer.get(), bytes, size);
        movie = std::make_unique<CMyQTMovie>(std::move(buffer), DWORD(size));
    } catch (const CMyQTException &e) {
        return "refused: CMyQTException " + std::to_string(int(e.GetType()));
    }
    exerciseMovie(*movie);
    return "loaded";
}

} // namespace orvex::test

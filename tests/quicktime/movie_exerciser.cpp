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

constexpr LONG kMaxLookups = 300;
constexpr LONG kMaxDescriptions = 8;
constexpr SHORT kMaxDataRefs = 8;

class Exerciser {
public:
    template <typename F> bool ask(F &&question)
    {
        try {
            question();
            ++m_report.answered;
            return true;
        } catch (const CMyQTException &) {
        } catch (CMyQTException::EExceptionType) {
        } catch (const char *) {
        }
        ++m_report.refused;
        return false;
    }

    void track(CMyQTTrack *track);
    const ExerciseReport &report() const { return m_report; }

private:
    void media(const CMyQTMedia *media);
    void descriptions(const CMyQTMedia *media, DWORD mediaType);
    void lookups(const CMyQTMedia *media, LONG maxSamples);
    void tables(const CMyQTMedia *media);

    ExerciseReport m_report;
};

void Exerciser::track(CMyQTTrack *track)
{
    ask([&] { TrackHasEdits(track); });
    media(GetTrackMedia(track));
}

void Exerciser::media(const CMyQTMedia *media)
{
    DWORD mediaType = 0, manufacturer = 0;
    BYTE name[256];
    ask([&] { GetMediaHandlerDescription(media, &mediaType, name, &manufacturer); });
    char text[16];
    FourCCToText(mediaType, text, sizeof(text));
    ask([&] { GetMediaTimeScale(media); });
    ask([&] { GetMediaDuration(media); });
    ask([&] { GetMediaSampleCount(media); });
    ask([&] {
        LONG scale, duration, count;
        GetVideoMediaInfo(media, &scale, &duration, &count);
    });
    MediaHasSampleTables(media);
    MediaHasCompositionTimes(media);

    SHORT refs = 0;
    ask([&] { GetMediaDataRefCount(media, &refs); });
    for (SHORT i = 0; i <= refs && i <= kMaxDataRefs; ++i) {
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
        LONG count = GetMediaSampleCount(media);
        for (LONG i = 0; i < count && i < kMaxLookups; ++i)
            ask([&] { GetMediaSampleSize(media, i); });
    });
    lookups(media, 1);
    lookups(media, 0);
    tables(media);
}

void Exerciser::descriptions(const CMyQTMedia *media, DWORD mediaType)
{
    LONG count = 0;
    ask([&] { count = GetMediaSampleDescriptionCount(media); });
    for (LONG i = 0; i <= LONGLONG(count) + 1 && i <= kMaxDescriptions; ++i) {
        CMyQTHandlePtr copy(NewHandle(i == 1 ? 214 : 0));
        if (!ask([&] { GetMediaSampleDescription(media, i, copy.get()); })) continue;
        char text[16];
        DWORD format = 0;
        if (GetHandleSize(copy.get()) >= 8) std::memcpy(&format, copy->GetData() + 4, 4);
        FourCCToText(format, text, sizeof(text));
        CMyImageDescription image(copy->GetData(), GetHandleSize(copy.get()));
        image.GetWidth();
        for (DWORD type : {MyQTFourCC("avcC"), MyQTFourCC("colr"), MyQTFourCC("gama"), MyQTFourCC("pasp")}) {
            if (const BYTE *extension = image.FindExtension(type)) {
                // The extension lies inside the copy: read it whole.
                DWORD size = MyQTAtomSize(extension);
                volatile BYTE sum = 0;
                for (DWORD k = 0; k < size; ++k)
                    sum = BYTE(sum + extension[k]);
            }
        }
        if (mediaType == MyQTFourCC("soun")) {
            ask([&] {
                CMySoundDescription sound(media, i);
                sound.GetBytesPerFrame();
                sound.GetSampleRate();
                sound.GetNumberOfChannels();
            });
        }
    }
}

// As the stream infos build their indexes: from time 0, sample after sample.
void Exerciser::lookups(const CMyQTMedia *media, LONG maxSamples)
{
    LONG duration = 0;
    if (!ask([&] { duration = GetMediaDuration(media); })) return;
    LONGLONG t = 0;
    for (LONG n = 0; n < kMaxLookups && t < duration; ++n) {
        DWORD offset = 0, size = 0;
        LONG sampleTime = 0, per = 0, index = 0, count = 0;
        WORD flags = 0;
        CMyQTHandlePtr description(n == 0 ? NewHandle(0) : nullptr);
        bool answered = ask([&] {
            GetMediaSampleReference(media, &offset, &size, LONG(t), &sampleTime, &per, description.get(), &index,
                                    maxSamples, &count, &flags);
        });
        if (!answered || per <= 0 || count <= 0) break;
        LONGLONG next = LONGLONG(sampleTime) + LONGLONG(per) * count;
        if (next <= t) break;
        t = next;
    }
    // A few lookups at the edges.
    for (LONG time : {LONG(-1), LONG(0), LONG(duration - 1), duration}) {
        ask([&] {
            GetMediaSampleReference(media, nullptr, nullptr, time, nullptr, nullptr, nullptr, nullptr, maxSamples,
                                    nullptr, nullptr);
        });
    }
}

// Direct reads, as the camera stream infos do them.
void Exerciser::tables(const CMyQTMedia *media)
{
    if (!media) return;
    struct Table {
        const BYTE *atom;
        DWORD entrySize;
    };
    for (const Table &table : {Table{media->GetTimeToSample(), 8}, Table{media->GetSyncSamples(), 4},
                               Table{media->GetSampleToChunk(), 12}, Table{media->GetChunkOffsets(), 4}}) {
        if (!table.atom) continue;
        ask([&] {
            CMyQTTable reader(table.atom, table.entrySize);
            for (LONG i = 0; i < reader.GetCount() && i < kMaxLookups; ++i)
                reader.Get(i, table.entrySize / 4 - 1);
            reader.Get(reader.GetCount());
        });
    }
    if (media->GetSampleSizes()) {
        ask([&] {
            CMyQTSampleSizeTable sizes(media->GetSampleSizes());
            for (LONG i = 0; i < sizes.GetCount() && i < kMaxLookups; ++i)
                if (sizes.GetCommonSize() == 0) sizes.GetEntry(i);
        });
    }
}

} // namespace

ExerciseReport exerciseMovie(const CMyQTMovie &movie)
{
    Exerciser exerciser;
    exerciser.ask([&] { IsCameraMovieLayout(movie); });
    for (LONG k = 1; k <= GetMovieTrackCount(&movie); ++k)
        exerciser.track(GetMovieIndTrack(&movie, k));
    exerciser.ask([&] { GetMovieIndTrack(&movie, GetMovieTrackCount(&movie) + 1); });
    return exerciser.report();
}

std::string loadAndExercise(const BYTE *bytes, size_t size, ExerciseReport *report)
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
    ExerciseReport result = exerciseMovie(*movie);
    if (report) *report = result;
    return "loaded";
}

} // namespace orvex::test

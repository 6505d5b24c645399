// The movie model over a loaded movie atom, its atom iteration, and the
// movie, track and media questions.
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "qt_test_util.h"
#include "support/debug_capture.h"

#include <gtest/gtest.h>

namespace orvex::test {
namespace {

// The types of the children an iteration visits.
std::vector<std::string> childTypes(const Bytes &parent)
{
    std::vector<std::string> types;
    CMyQTAtomIterator it(parent.data());
    while (const BYTE *child = it.Next())
        types.emplace_back(reinterpret_cast<const char *>(child + 4), 4);
    return types;
}

TEST(AtomIterator, VisitsTheWellFormedChildrenInOrder)
{
    Atom parent("moov", std::vector<Atom>{Atom("aaaa"), Atom("bbbb", Bytes(5, 0)), Atom("cccc")});
    EXPECT_EQ(childTypes(parent.bytes()), (std::vector<std::string>{"aaaa", "bbbb", "cccc"}));
}

TEST(AtomIterator, StopsAtAChildBelow8Bytes)
{
    for (uint32_t size : {0u, 1u, 7u}) {
        Atom parent("moov", std::vector<Atom>{Atom("aaaa"), Atom("bbbb").setSize(size), Atom("cccc")});
        EXPECT_EQ(childTypes(parent.bytes()), (std::vector<std::string>{"aaaa"})) << size;
    }
}

TEST(AtomIterator, StopsAtAChildRunningPastItsParent)
{
    Atom parent("moov", std::vector<Atom>{Atom("aaaa"), Atom("bbbb").setSize(9), Atom("cccc")});
    parent.setSize(8 + 8 + 8); // 'cccc' now lies outside the parent, 'bbbb' runs past it
    EXPECT_EQ(childTypes(parent.bytes()), (std::vector<std::string>{"aaaa"}));
    Atom huge("moov", std::vector<Atom>{Atom("aaaa").setSize(0xFFFFFFFF)});
    EXPECT_TRUE(childTypes(huge.bytes()).empty());
}

TEST(AtomIterator, StopsAtAPartialHeaderAndFromOutsideTheBody)
{
    Atom parent("moov", std::vector<Atom>{Atom("aaaa")});
    parent.appendTail(Bytes{0, 0, 0, 9});
    EXPECT_EQ(childTypes(parent.bytes()), (std::vector<std::string>{"aaaa"}));
    Bytes bytes = parent.bytes();
    CMyQTAtomIterator before(bytes.data() + 8, bytes.data()); // a first child before the parent's body
    EXPECT_EQ(before.Next(), nullptr);
}

TEST(AtomReads, AreBoundedByTheAtomsSize)
{
    Bytes atom = Atom("test", Bytes{1, 2, 3, 4}).bytes();
    EXPECT_EQ(MyQTAtomReadBE32(atom.data(), 8), 0x01020304u);
    EXPECT_EQ(MyQTAtomReadBE16(atom.data(), 10), 0x0304u);
    EXPECT_QT_ERROR(MyQTAtomReadBE32(atom.data(), 9), kOutsideAtom);
    EXPECT_QT_ERROR(MyQTAtomRead8(atom.data(), 12), kOutsideAtom);
    EXPECT_QT_ERROR(MyQTAtomReadBE32(atom.data(), 0xFFFFFFFE), kOutsideAtom);
}

TEST(Model, TracksAreNumberedInFileOrder)
{
    std::vector<qt::TrackAtoms> tracks(3);
    for (uint32_t i = 0; i < 3; ++i)
        tracks[i].trackId = 10 + i;
    auto movie = movieFrom(movieAtomWith(tracks));
    ASSERT_EQ(GetMovieTrackCount(movie.get()), 3);
    for (LONG i = 1; i <= 3; ++i) {
        const BYTE *tkhd = GetMovieIndTrack(movie.get(), i)->GetTrackHeader();
        ASSERT_NE(tkhd, nullptr);
        EXPECT_EQ(MyQTReadBE32(tkhd + 8 + 12), DWORD(9 + i));
    }
    EXPECT_NE(movie->GetMovieHeader(), nullptr);
    EXPECT_QT_ERROR(GetMovieIndTrack(movie.get(), 0), kBadArgument);
    EXPECT_QT_ERROR(GetMovieIndTrack(movie.get(), 4), kBadArgument);
}

TEST(Model, ATrackWithoutMediaHasNoneAndItsQuestionsFailCleanly)
{
    Atom moov("moov", std::vector<Atom>{qt::mvhd(600, 0), Atom("trak", std::vector<Atom>{qt::tkhd(1, 0)})});
    auto movie = movieFrom(moov);
    CMyQTMedia *media = GetTrackMedia(GetMovieIndTrack(movie.get(), 1));
    EXPECT_EQ(media, nullptr);
    DWORD type;
    SHORT count;
    EXPECT_QT_ERROR(GetMediaHandlerDescription(media, &type, nullptr, nullptr), kMissingAtom);
    EXPECT_QT_ERROR(GetMediaTimeScale(media), kMissingAtom);
    EXPECT_QT_ERROR(GetMediaDuration(media), kMissingAtom);
    EXPECT_QT_ERROR(GetMediaDataRefCount(media, &count), kMissingAtom);
    EXPECT_FALSE(MediaHasSampleTables(media));
    EXPECT_FALSE(MediaHasCompositionTimes(media));
}

TEST(Model, AMediaWithoutHeaderOrHandlerFailsCleanly)
{
    Atom moov = movieAtomWith({qt::TrackAtoms{}});
    Atom *mdia = moov.find("trak/mdia");
    mdia->find("mdhd")->setType("xxxx");
    mdia->find("hdlr")->setType("yyyy");
    auto movie = movieFrom(moov);
    CMyQTMedia *media = GetTrackMedia(GetMovieIndTrack(movie.get(), 1));
    ASSERT_NE(media, nullptr);
    DWORD type;
    EXPECT_QT_ERROR(GetMediaHandlerDescription(media, &type, nullptr, nullptr), kMissingAtom);
    EXPECT_QT_ERROR(GetMediaTimeScale(media), kMissingAtom);
    EXPECT_QT_ERROR(GetMediaDuration(media), kMissingAtom);
    LONG a, b, c;
    EXPECT_QT_ERROR(GetVideoMediaInfo(media, &a, &b, &c), kMissingAtom);
}

TEST(Model, AMediaWithoutMinfHasNoTables)
{
    Atom moov = movieAtomWith({qt::TrackAtoms{}});
    moov.find("trak/mdia/minf")->setType("xinf");
    auto movie = movieFrom(moov);
    CMyQTMedia *media = GetTrackMedia(GetMovieIndTrack(movie.get(), 1));
    ASSERT_NE(media, nullptr);
    EXPECT_EQ(media->GetSampleDescriptions(), nullptr);
    EXPECT_EQ(media->GetDataReferences(), nullptr);
    EXPECT_FALSE(MediaHasSampleTables(media));
}

TEST(Model, RecordsEveryTableAndTheLastOfEachKind)
{
    qt::TrackAtoms track;
    track.tables = {qt::stts({{1, 1}}), qt::stss({1}),      qt::stsc({{1, 1, 1}}), qt::stsz({5}),
                    qt::stco({0}),      qt::ctts({{1, 0}}), qt::stco({7})};
    auto movie = movieFrom(movieAtomWith({track}));
    CMyQTMedia *media = GetTrackMedia(GetMovieIndTrack(movie.get(), 1));
    EXPECT_TRUE(MediaHasSampleTables(media));
    EXPECT_TRUE(MediaHasCompositionTimes(media));
    for (const BYTE *atom :
         {media->GetTimeToSample(), media->GetSyncSamples(), media->GetSampleToChunk(), media->GetSampleSizes(),
          media->GetChunkOffsets(), media->GetCompositionOffsets(), media->GetSampleDescriptions(),
          media->GetDataReferences(), media->GetMediaHeader(), media->GetHandler()})
        EXPECT_NE(atom, nullptr);
    EXPECT_EQ(MyQTReadBE32(media->GetChunkOffsets() + 16), 7u);
    EXPECT_EQ(media->GetTrack(), GetMovieIndTrack(movie.get(), 1));
    EXPECT_EQ(media->GetTrack()->GetMovie(), movie.get());
}

TEST(Model, ALaterMdiaReplacesTheEarlierMedia)
{
    Atom moov = movieAtomWith({qt::TrackAtoms{}});
    Atom *trak = moov.find("trak");
    trak->add(Atom("mdia", std::vector<Atom>{qt::mdhd(1000, 5), qt::hdlr("mhlr", "soun")}));
    auto movie = movieFrom(moov);
    CMyQTMedia *media = GetTrackMedia(GetMovieIndTrack(movie.get(), 1));
    EXPECT_EQ(GetMediaTimeScale(media), 1000);
    EXPECT_FALSE(MediaHasSampleTables(media));
}

TEST(Model, MissingSampleTablesAreNotedOneByOne)
{
    for (const char *missing : {"stsd", "stsz", "stsc", "stco"}) {
        qt::TrackAtoms track;
        track.tables = {qt::stsz({5}), qt::stsc({{1, 1, 1}}), qt::stco({0})};
        Atom moov = movieAtomWith({track});
        moov.find(std::string("trak/mdia/minf/stbl/") + missing)->setType("zzzz");
        auto movie = movieFrom(moov);
        EXPECT_FALSE(MediaHasSampleTables(GetTrackMedia(GetMovieIndTrack(movie.get(), 1)))) << missing;
    }
}

// Edit lists.
struct EditCase {
    const char *name;
    std::vector<qt::EditEntry> entries;
    bool hasEdits;
    std::vector<std::string> trace;
};

class TrackEdits : public ::testing::TestWithParam<EditCase> {};

TEST_P(TrackEdits, AreTheIdentityOrNot)
{
    qt::TrackAtoms track;
    track.trackDuration = 1200;
    track.edits = GetParam().entries;
    Atom moov = movieAtomWith({track});
    if (GetParam().entries.empty()) moov.find("trak")->add(qt::edts({})); // an 'elst' without entries
    auto movie = movieFrom(moov);
    DebugCapture capture;
    EXPECT_EQ(TrackHasEdits(GetMovieIndTrack(movie.get(), 1)), GetParam().hasEdits);
    EXPECT_EQ(capture.messages(), GetParam().trace);
}

INSTANTIATE_TEST_SUITE_P(
    EditLists, TrackEdits,
    ::testing::Values(
        EditCase{"Identity", {{1200, 0, 0x10000}}, false, {}},
        EditCase{"MediaTimeMinusOne",
                 {{1200, -1, 0x10000}},
                 true,
                 {"'elst' entr[0] \n", "trackDuration 1200 \n", "mediaTime     -1 \n", "mediaRate     0x00010000 \n"}},
        EditCase{"DoubleRate",
                 {{1200, 0, 0x20000}},
                 true,
                 {"'elst' entr[0] \n", "trackDuration 1200 \n", "mediaTime     0 \n", "mediaRate     0x00020000 \n"}},
        EditCase{"ShorterThanTheTrack",
                 {{600, 0, 0x10000}},
                 true,
                 {"'elst' entr[0] \n", "trackDuration 600 \n", "mediaTime     0 \n", "mediaRate     0x00010000 \n"}},
        EditCase{"TwoEntries", {{600, 0, 0x10000}, {600, 600, 0x10000}}, true, {"Num of 'elst' entries are 2 \n"}},
        // An empty edit list has nothing to apply.
        EditCase{"NoEntries", {}, false, {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TrackEditsOddities, AnEdtsWithoutElstHasNoEdits)
{
    Atom moov = movieAtomWith({qt::TrackAtoms{}});
    moov.find("trak")->add(Atom("edts", std::vector<Atom>{Atom("xlst", Bytes(16, 0))}));
    auto movie = movieFrom(moov);
    EXPECT_FALSE(TrackHasEdits(GetMovieIndTrack(movie.get(), 1)));
    Atom empty = movieAtomWith({qt::TrackAtoms{}});
    empty.find("trak")->add(Atom("edts"));
    movie = movieFrom(empty);
    EXPECT_FALSE(TrackHasEdits(GetMovieIndTrack(movie.get(), 1)));
}

TEST(TrackEditsOddities, UnreadableEditListsCountAsEdits)
{
    DebugCapture capture;
    // An entry count whose entry is not in the atom.
    Atom moov = movieAtomWith({qt::TrackAtoms{}});
    moov.find("trak")->add(Atom("edts", std::vector<Atom>{Atom("elst", ByteWriter().be32(0).be32(1).data())}));
    auto movie = movieFrom(moov);
    EXPECT_TRUE(TrackHasEdits(GetMovieIndTrack(movie.get(), 1)));
    // No count at all.
    Atom shortList = movieAtomWith({qt::TrackAtoms{}});
    shortList.find("trak")->add(Atom("edts", std::vector<Atom>{Atom("elst", Bytes(2, 0))}));
    movie = movieFrom(shortList);
    EXPECT_TRUE(TrackHasEdits(GetMovieIndTrack(movie.get(), 1)));
    // A negative count without an entry 0 to compare.
    Atom negative = movieAtomWith({qt::TrackAtoms{}});
    negative.find("trak")->add(
        Atom("edts", std::vector<Atom>{Atom("elst", ByteWriter().be32(0).be32(0xFFFFFFFF).data())}));
    movie = movieFrom(negative);
    EXPECT_TRUE(TrackHasEdits(GetMovieIndTrack(movie.get(), 1)));
    EXPECT_EQ(capture.messages(), std::vector<std::string>{});
}

TEST(TrackEditsOddities, NegativeCountComparesEntry0)
{
    for (int32_t mediaTime : {0, 1}) {
        qt::TrackAtoms track;
        track.trackDuration = 1200;
        track.edits = {{1200, mediaTime, 0x10000}};
        Atom moov = movieAtomWith({track});
        moov.find("trak/edts/elst")->body()[4] = 0x80; // count 0x80000001
        auto movie = movieFrom(moov);
        DebugCapture capture;
        EXPECT_EQ(TrackHasEdits(GetMovieIndTrack(movie.get(), 1)), mediaTime != 0);
        EXPECT_EQ(capture.count("'elst' entr[0] \n"), mediaTime != 0 ? 1u : 0u);
    }
}

TEST(TrackEditsOddities, WithoutATrackHeaderAnEditCannotBeTheIdentity)
{
    qt::TrackAtoms track;
    track.trackDuration = 1200;
    track.edits = {{1200, 0, 0x10000}};
    Atom moov = movieAtomWith({track});
    moov.find("trak/tkhd")->setType("xkhd");
    auto movie = movieFrom(moov);
    DebugCapture capture;
    EXPECT_TRUE(TrackHasEdits(GetMovieIndTrack(movie.get(), 1)));
    EXPECT_EQ(capture.count("'elst' entr[0] \n"), 1u);
}

// Handler, header and data references.
CMyQTMedia *firstMedia(const std::unique_ptr<CMyQTMovie> &movie)
{
    return GetTrackMedia(GetMovieIndTrack(movie.get(), 1));
}

TEST(MediaHandler, GivesTypeNameAndManufacturer)
{
    Atom moov = movieAtomWith({qt::TrackAtoms{}});
    *moov.find("trak/mdia/hdlr") = qt::hdlr("mhlr", "soun", "Sound Handler", "orvx");
    auto movie = movieFrom(moov);
    DWORD type = 0, manufacturer = 0;
    BYTE name[256];
    GetMediaHandlerDescription(firstMedia(movie), &type, name, &manufacturer);
    EXPECT_EQ(type, MyQTFourCC("soun"));
    EXPECT_EQ(manufacturer, MyQTFourCC("orvx"));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(name + 1), name[0]), "Sound Handler");
    GetMediaHandlerDescription(firstMedia(movie), nullptr, nullptr, nullptr); // all outputs optional
}

TEST(MediaHandler, ANameRunningPastTheAtomIsCut)
{
    Atom moov = movieAtomWith({qt::TrackAtoms{}});
    Atom *hdlr = moov.find("trak/mdia/hdlr");
    *hdlr = qt::hdlr("mhlr", "vide", "Video");
    hdlr->body()[24] = 200; // the length byte claims 200 characters
    auto movie = movieFrom(moov);
    BYTE name[256];
    GetMediaHandlerDescription(firstMedia(movie), nullptr, name, nullptr);
    EXPECT_EQ(name[0], 5);
    // Without room for the name at all, the name is empty.
    hdlr->body().resize(24);
    movie = movieFrom(moov);
    DWORD type = 0;
    GetMediaHandlerDescription(firstMedia(movie), &type, name, nullptr);
    EXPECT_EQ(name[0], 0);
    EXPECT_EQ(type, MyQTFourCC("vide"));
    // Too short for the subtype: that question fails.
    hdlr->body().resize(10);
    movie = movieFrom(moov);
    EXPECT_QT_ERROR(GetMediaHandlerDescription(firstMedia(movie), &type, nullptr, nullptr), kOutsideAtom);
}

TEST(MediaHeader, TimeScaleAndDurationAreChecked)
{
    struct Case {
        int32_t scale, duration;
        std::string scaleOutcome, durationOutcome;
    };
    const std::string ok = "ok";
    for (const Case &c :
         {Case{600, 1200, ok, ok}, Case{0, 5, qtError(CMyQTException::kBadTimeScale), ok},
          Case{-5, 5, qtError(CMyQTException::kBadTimeScale), ok},
          Case{1, int32_t(0x80000000), ok, qtError(CMyQTException::kBadDuration)}, Case{1, 0, ok, ok}}) {
        qt::TrackAtoms track;
        track.timeScale = c.scale;
        track.duration = c.duration;
        auto movie = movieFrom(movieAtomWith({track}));
        EXPECT_OUTCOME(GetMediaTimeScale(firstMedia(movie)), c.scaleOutcome);
        EXPECT_OUTCOME(GetMediaDuration(firstMedia(movie)), c.durationOutcome);
    }
    qt::TrackAtoms track;
    track.timeScale = 30000;
    track.duration = 300300;
    auto movie = movieFrom(movieAtomWith({track}));
    EXPECT_EQ(GetMediaTimeScale(firstMedia(movie)), 30000);
    EXPECT_EQ(GetMediaDuration(firstMedia(movie)), 300300);
}

TEST(MediaHeader, AShortHeaderFailsCleanly)
{
    Atom moov = movieAtomWith({qt::TrackAtoms{}});
    moov.find("trak/mdia/mdhd")->body().resize(14);
    auto movie = movieFrom(moov);
    EXPECT_QT_ERROR(GetMediaTimeScale(firstMedia(movie)), kOutsideAtom);
    EXPECT_QT_ERROR(GetMediaDuration(firstMedia(movie)), kOutsideAtom);
}

Atom movieWithDref(Atom dref)
{
    Atom moov = movieAtomWith({qt::TrackAtoms{}});
    *moov.find("trak/mdia/minf/dinf/dref") = std::move(dref);
    return moov;
}

TEST(DataReferences, CountAndEntries)
{
    Atom moov = movieWithDref(
        qt::dref({qt::dataReference("url ", 0x00000001), qt::dataReference("alis", 0xFF000000, Bytes{9, 8, 7})}));
    auto movie = movieFrom(moov);
    CMyQTMedia *media = firstMedia(movie);
    SHORT count = 0;
    GetMediaDataRefCount(media, &count);
    EXPECT_EQ(count, 2);

    CMyQTHandle *data = reinterpret_cast<CMyQTHandle *>(1);
    DWORD type = 0;
    LONG attributes = -1;
    GetMediaDataRef(media, 1, &data, &type, &attributes);
    EXPECT_EQ(type, MyQTFourCC("url "));
    EXPECT_EQ(attributes, 1);
    EXPECT_EQ(data, nullptr); // an entry of 12 bytes has no data

    GetMediaDataRef(media, 2, &data, &type, &attributes);
    EXPECT_EQ(type, MyQTFourCC("alis"));
    EXPECT_EQ(attributes, 0); // only the low 24 bits of the word
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(Bytes(data->GetData(), data->GetData() + GetHandleSize(data)), (Bytes{9, 8, 7}));
    DisposeHandle(data);

    GetMediaDataRef(media, 0, nullptr, &type, nullptr); // below 1: entry 1
    EXPECT_EQ(type, MyQTFourCC("url "));
    EXPECT_QT_ERROR(GetMediaDataRef(media, 3, nullptr, &type, nullptr), kBadArgument);
}

TEST(DataReferences, TheCountIsReadByItsLow16Bits)
{
    Atom dref = qt::dref({qt::dataReference("url ", 1)});
    dref.body()[4] = 0x00;
    dref.body()[5] = 0x07; // count 0x00070001
    auto movie = movieFrom(movieWithDref(dref));
    SHORT count = 0;
    GetMediaDataRefCount(firstMedia(movie), &count);
    EXPECT_EQ(count, 1);
}

TEST(DataReferences, MissingOrMalformedOnesFailCleanly)
{
    Atom moov = movieAtomWith({qt::TrackAtoms{}});
    moov.find("trak/mdia/minf/dinf/dref")->setType("xref");
    auto movie = movieFrom(moov);
    SHORT count;
    EXPECT_QT_ERROR(GetMediaDataRefCount(firstMedia(movie), &count), kNoDataReferences);
    EXPECT_QT_ERROR(GetMediaDataRef(firstMedia(movie), 1, nullptr, nullptr, nullptr), kNoDataReferences);

    // The count claims two entries, the atom holds one.
    Atom one = qt::dref({qt::dataReference("url ", 1)});
    one.body()[7] = 2;
    movie = movieFrom(movieWithDref(one));
    DWORD type;
    GetMediaDataRef(firstMedia(movie), 1, nullptr, &type, nullptr);
    EXPECT_QT_ERROR(GetMediaDataRef(firstMedia(movie), 2, nullptr, &type, nullptr), kOutsideAtom);

    // Entries below 12 bytes still have their header in the 'dref', and no
    // data; an entry running past the 'dref' is refused.
    for (uint32_t size : {0u, 8u, 11u, 100u}) {
        Atom bad = qt::dref({qt::dataReference("url ", 1)});
        bad.children()[0].setSize(size);
        movie = movieFrom(movieWithDref(bad));
        if (size == 100) {
            EXPECT_QT_ERROR(GetMediaDataRef(firstMedia(movie), 1, nullptr, &type, nullptr), kOutsideAtom);
            continue;
        }
        CMyQTHandle *data = reinterpret_cast<CMyQTHandle *>(1);
        LONG attributes = 0;
        GetMediaDataRef(firstMedia(movie), 1, &data, &type, &attributes);
        EXPECT_EQ(data, nullptr) << size;
        EXPECT_EQ(type, MyQTFourCC("url ")) << size;
        EXPECT_EQ(attributes, 1) << size;
    }
    // A 'dref' too short for its count.
    movie = movieFrom(movieWithDref(Atom("dref", Bytes(4, 0))));
    EXPECT_QT_ERROR(GetMediaDataRefCount(firstMedia(movie), &count), kOutsideAtom);
}

TEST(VideoMediaInfo, AnswersOnlyForVideo)
{
    qt::TrackAtoms video;
    video.timeScale = 30000;
    video.duration = 300300;
    video.tables = {qt::stszCommon(10, 300)};
    qt::TrackAtoms sound = video;
    sound.mediaType = "soun";
    auto movie = movieFrom(movieAtomWith({video, sound}));
    LONG scale = -1, duration = -1, count = -1;
    EXPECT_EQ(GetVideoMediaInfo(GetTrackMedia(GetMovieIndTrack(movie.get(), 2)), &scale, &duration, &count),
              kMyQTNotVideoMediaErr);
    EXPECT_EQ(scale, -1);
    EXPECT_EQ(GetVideoMediaInfo(GetTrackMedia(GetMovieIndTrack(movie.get(), 1)), &scale, &duration, &count), 0);
    EXPECT_EQ(scale, 30000);
    EXPECT_EQ(duration, 300300);
    EXPECT_EQ(count, 300);
}

TEST(Handles, GrowKeepingTheirContentsAndShrinkKeepingTheirBlock)
{
    CMyQTHandlePtr handle(NewHandle(4));
    EXPECT_EQ(GetHandleSize(handle.get()), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(handle->GetData()[i], 0);
    handle->GetData()[0] = 7;
    SetHandleSize(handle.get(), 100);
    EXPECT_EQ(handle->GetCapacity(), 100u);
    EXPECT_EQ(handle->GetData()[0], 7);
    BYTE *block = handle->GetData();
    SetHandleSize(handle.get(), 2);
    EXPECT_EQ(GetHandleSize(handle.get()), 2u);
    EXPECT_EQ(handle->GetData(), block);
    EXPECT_EQ(handle->GetCapacity(), 100u);
    CMyQTHandlePtr empty(NewHandle(0));
    EXPECT_EQ(GetHandleSize(empty.get()), 0u);
    EXPECT_NE(empty->GetData(), nullptr);
    DisposeHandle(nullptr);
}

} // namespace
} // namespace orvex::test

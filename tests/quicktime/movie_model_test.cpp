// The movie model over a loaded movie atom, its atom iteration, and the
// movie, track and media questions. Each row damages the movie atom of one
// track and gives every answer about that track as one line of text.
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "support/debug_capture.h"
#include "support/qt_movie.h"

#include <gtest/gtest.h>

#include <sstream>

namespace orvex::test {
namespace {

std::string fourcc(DWORD code)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
        text += char(code >> shift);
    return text;
}

// The answer of a question, or its refusal as "E<code>".
std::string ask(const std::function<std::string()> &question)
{
    std::string answer;
    const std::string how = outcome([&] { answer = question(); }, true);
    return how == "ok" ? answer : how;
}

// Every answer about track 1, with the trace lines the questions write.
std::string trackSummary(const CMyQTMovie *movie)
{
    const CMyQTTrack *track = GetMovieIndTrack(movie, 1);
    const CMyQTMedia *media = GetTrackMedia(track);
    DebugCapture capture;
    std::ostringstream out;
    out << "edits=" << ask([&] { return std::to_string(TrackHasEdits(track)); });
    out << " handler=" << ask([&] {
        DWORD type = 0, manufacturer = 0;
        BYTE name[256];
        GetMediaHandlerDescription(media, &type, name, &manufacturer);
        return fourcc(type) + "/" + fourcc(manufacturer) + "/" +
               std::string(reinterpret_cast<char *>(name + 1), name[0]);
    });
    out << " scale=" << ask([&] { return std::to_string(GetMediaTimeScale(media)); });
    out << " duration=" << ask([&] { return std::to_string(GetMediaDuration(media)); });
    out << " video=" << ask([&] {
        LONG scale = -1, duration = -1, count = -1;
        LONG result = GetVideoMediaInfo(media, &scale, &duration, &count);
        return std::to_string(result) + ":" + std::to_string(scale) + "/" + std::to_string(duration) + "/" +
               std::to_string(count);
    });
    out << " tables=" << MediaHasSampleTables(media) << " ctts=" << MediaHasCompositionTimes(media);
    SHORT refs = 0;
    out << " refs=" << ask([&] { return GetMediaDataRefCount(media, &refs), std::to_string(refs); });
    for (SHORT i = 1; i <= refs + 1; ++i) {
        out << " [" << ask([&] {
            CMyQTHandle *const unset = reinterpret_cast<CMyQTHandle *>(1);
            CMyQTHandle *data = unset;
            DWORD type = 0;
            LONG attributes = -1;
            GetMediaDataRef(media, i, &data, &type, &attributes);
            CMyQTHandlePtr owned(data == unset ? nullptr : data);
            std::string text = fourcc(type) + " a" + std::to_string(attributes) + (data == unset ? " unset" : "");
            for (DWORD k = 0; owned && k < GetHandleSize(data); ++k)
                (text += " ") += std::to_string(data->GetData()[k]);
            return text;
        }) << "]";
    }
    for (const std::string &line : capture.messages())
        out << " {" << line.substr(0, line.size() - 2) << "}";
    return out.str();
}

qt::TrackAtoms baseTrack()
{
    qt::TrackAtoms track;
    track.duration = 1200;
    track.trackDuration = 1200;
    track.tables = qt::tables("stsz =10 #300; stsc 1 1 1; stco 0");
    return track;
}

Atom &at(Atom &moov, const std::string &path)
{
    return *moov.find("trak/" + path);
}
void edit(Atom &moov, std::vector<uint32_t> entries)
{
    moov.find("trak")->add(qt::edts(std::move(entries)));
}

struct Row {
    const char *name;
    std::function<void(Atom &)> damage;
    std::string expected;
};

class TrackQuestions : public ::testing::TestWithParam<Row> {};

TEST_P(TrackQuestions, Answer)
{
    Atom moov = movieAtomWith({baseTrack()});
    GetParam().damage(moov);
    auto movie = movieFrom(moov);
    EXPECT_EQ(trackSummary(movie.get()), GetParam().expected);
}

const std::string kHandler = " handler=vide/appl/MediaHandler scale=600 duration=1200 video=0:600/1200/300";
const std::string kRefs = " tables=1 ctts=0 refs=1 [url  a1] [E24]";

INSTANTIATE_TEST_SUITE_P(
    Rows, TrackQuestions,
    ::testing::Values(
        Row{"Untouched", [](Atom &) {}, "edits=0" + kHandler + kRefs},
        Row{"NoMedia", [](Atom &m) { m.find("trak")->children().erase(m.find("trak")->children().begin() + 1, m.find("trak")->children().end()); },
            "edits=0 handler=E27 scale=E27 duration=E27 video=E27 tables=0 ctts=0 refs=E27 [E27]"},
        Row{"NoHeaderNorHandler",
            [](Atom &m) {
                at(m, "mdia/mdhd").setType("xxxx");
                at(m, "mdia/hdlr").setType("yyyy");
            },
            "edits=0 handler=E27 scale=E27 duration=E27 video=E27" + kRefs},
        Row{"NoMinf", [](Atom &m) { at(m, "mdia/minf").setType("xinf"); },
            "edits=0 handler=vide/appl/MediaHandler scale=600 duration=1200 video=E15 tables=0 ctts=0 refs=E9 [E9]"},
        // The last table of a kind counts; 'ctts' is noted.
        Row{"LaterTables",
            [](Atom &m) {
                for (Atom &table : qt::tables("ctts 1 0; stsz =10 #5"))
                    at(m, "mdia/minf/stbl").add(table);
            },
            "edits=0 handler=vide/appl/MediaHandler scale=600 duration=1200 video=0:600/1200/5 tables=1 ctts=1 refs=1 "
            "[url  a1] [E24]"},
        Row{"LaterMdia",
            [](Atom &m) {
                m.find("trak")->add(Atom("mdia", std::vector<Atom>{qt::mdhd(1000, 5), qt::hdlr("mhlr", "soun")}));
            },
            "edits=0 handler=soun/appl/ scale=1000 duration=5 video=-2008:-1/-1/-1 tables=0 ctts=0 refs=E9 [E9]"},
        Row{"NoStsd", [](Atom &m) { at(m, "mdia/minf/stbl/stsd").setType("zzzz"); },
            "edits=0" + kHandler + " tables=0 ctts=0 refs=1 [url  a1] [E24]"},
        Row{"NoStsz", [](Atom &m) { at(m, "mdia/minf/stbl/stsz").setType("zzzz"); },
            "edits=0 handler=vide/appl/MediaHandler scale=600 duration=1200 video=E15 tables=0 ctts=0 refs=1 [url  a1] "
            "[E24]"},
        Row{"NoStsc", [](Atom &m) { at(m, "mdia/minf/stbl/stsc").setType("zzzz"); },
            "edits=0" + kHandler + " tables=0 ctts=0 refs=1 [url  a1] [E24]"},
        Row{"NoStco", [](Atom &m) { at(m, "mdia/minf/stbl/stco").setType("zzzz"); },
            "edits=0" + kHandler + " tables=0 ctts=0 refs=1 [url  a1] [E24]"},
        // Edit lists: only the identity edit is none.
        Row{"IdentityEdit", [](Atom &m) { edit(m, {1200, 0, 0x10000}); }, "edits=0" + kHandler + kRefs},
        Row{"EditMediaTimeMinusOne", [](Atom &m) { edit(m, {1200, 0xFFFFFFFF, 0x10000}); },
            "edits=1" + kHandler + kRefs +
                " {'elst' entr[0]} {trackDuration 1200} {mediaTime     -1} {mediaRate     0x00010000}"},
        Row{"EditDoubleRate", [](Atom &m) { edit(m, {1200, 0, 0x20000}); },
            "edits=1" + kHandler + kRefs +
                " {'elst' entr[0]} {trackDuration 1200} {mediaTime     0} {mediaRate     0x00020000}"},
        Row{"EditShorterThanTheTrack", [](Atom &m) { edit(m, {600, 0, 0x10000}); },
            "edits=1" + kHandler + kRefs +
                " {'elst' entr[0]} {trackDuration 600} {mediaTime     0} {mediaRate     0x00010000}"},
        Row{"TwoEdits", [](Atom &m) { edit(m, {600, 0, 0x10000, 600, 600, 0x10000}); },
            "edits=1" + kHandler + kRefs + " {Num of 'elst' entries are 2}"},
        Row{"EmptyEditList", [](Atom &m) { edit(m, {}); }, "edits=0" + kHandler + kRefs},
        Row{"EdtsWithoutElst",
            [](Atom &m) { m.find("trak")->add(Atom("edts", std::vector<Atom>{Atom("xlst", Bytes(16, 0))})); },
            "edits=0" + kHandler + kRefs},
        // Unreadable edit lists count as edits.
        Row{"ElstEntryMissing",
            [](Atom &m) {
                m.find("trak")->add(Atom("edts", std::vector<Atom>{Atom("elst", ByteWriter().be32(0).be32(1).data())}));
            },
            "edits=1" + kHandler + kRefs},
        Row{"ElstWithoutCount",
            [](Atom &m) { m.find("trak")->add(Atom("edts", std::vector<Atom>{Atom("elst", Bytes(2, 0))})); },
            "edits=1" + kHandler + kRefs},
        Row{"NegativeElstCountWithoutEntry",
            [](Atom &m) {
                m.find("trak")->add(
                    Atom("edts", std::vector<Atom>{Atom("elst", ByteWriter().be32(0).be32(0xFFFFFFFF).data())}));
            },
            "edits=1" + kHandler + kRefs},
        // A negative count compares entry 0.
        Row{"NegativeElstCountIdentity",
            [](Atom &m) {
                edit(m, {1200, 0, 0x10000});
                at(m, "edts/elst").body()[4] = 0x80;
            },
            "edits=0" + kHandler + kRefs},
        Row{"NegativeElstCountMediaTimeOne",
            [](Atom &m) {
                edit(m, {1200, 1, 0x10000});
                at(m, "edts/elst").body()[4] = 0x80;
            },
            "edits=1" + kHandler + kRefs +
                " {'elst' entr[0]} {trackDuration 1200} {mediaTime     1} {mediaRate     0x00010000}"},
        Row{"EditWithoutTrackHeader",
            [](Atom &m) {
                edit(m, {1200, 0, 0x10000});
                at(m, "tkhd").setType("xkhd");
            },
            "edits=1" + kHandler + kRefs +
                " {'elst' entr[0]} {trackDuration 1200} {mediaTime     0} {mediaRate     0x00010000}"},
        // Handler names: cut at the atom's end; none without room; no subtype refused.
        Row{"HandlerNameAndManufacturer",
            [](Atom &m) { at(m, "mdia/hdlr") = qt::hdlr("mhlr", "soun", "Sound Handler", "orvx"); },
            "edits=0 handler=soun/orvx/Sound Handler scale=600 duration=1200 video=-2008:-1/-1/-1 tables=1 ctts=0 "
            "refs=1 [url  a1] [E24]"},
        Row{"HandlerNameTooLong", [](Atom &m) { at(m, "mdia/hdlr").body()[24] = 200; },
            "edits=0" + kHandler + kRefs},
        Row{"HandlerWithoutName", [](Atom &m) { at(m, "mdia/hdlr").body().resize(24); },
            "edits=0 handler=vide/appl/ scale=600 duration=1200 video=0:600/1200/300" + kRefs},
        Row{"HandlerWithoutSubtype", [](Atom &m) { at(m, "mdia/hdlr").body().resize(10); },
            "edits=0 handler=E28 scale=600 duration=1200 video=E28" + kRefs},
        Row{"ZeroTimeScale", [](Atom &m) { at(m, "mdia/mdhd") = qt::mdhd(0, 5); },
            "edits=0 handler=vide/appl/MediaHandler scale=E16 duration=5 video=E16" + kRefs},
        Row{"NegativeTimeScale", [](Atom &m) { at(m, "mdia/mdhd") = qt::mdhd(-5, 5); },
            "edits=0 handler=vide/appl/MediaHandler scale=E16 duration=5 video=E16" + kRefs},
        Row{"NegativeDuration", [](Atom &m) { at(m, "mdia/mdhd") = qt::mdhd(30000, int32_t(0x80000000)); },
            "edits=0 handler=vide/appl/MediaHandler scale=30000 duration=E17 video=E17" + kRefs},
        Row{"ShortMediaHeader", [](Atom &m) { at(m, "mdia/mdhd").body().resize(14); },
            "edits=0 handler=vide/appl/MediaHandler scale=E28 duration=E28 video=E28" + kRefs},
        // Data references: flags in the low 24 bits, data after 12 bytes.
        Row{"TwoDataReferences",
            [](Atom &m) {
                at(m, "mdia/minf/dinf/dref") = qt::dref(
                    {qt::dataReference("url ", 0x00000001), qt::dataReference("alis", 0xFF000000, Bytes{9, 8, 7})});
            },
            "edits=0" + kHandler + " tables=1 ctts=0 refs=2 [url  a1] [alis a0 9 8 7] [E24]"},
        Row{"DataReferenceCountLow16Bits", [](Atom &m) { at(m, "mdia/minf/dinf/dref").body()[5] = 7; },
            "edits=0" + kHandler + kRefs},
        Row{"DataReferenceOvercounted", [](Atom &m) { at(m, "mdia/minf/dinf/dref").body()[7] = 2; },
            "edits=0" + kHandler + " tables=1 ctts=0 refs=2 [url  a1] [E28] [E24]"},
        Row{"NoDataReferences", [](Atom &m) { at(m, "mdia/minf/dinf/dref").setType("xref"); },
            "edits=0" + kHandler + " tables=1 ctts=0 refs=E9 [E9]"},
        Row{"DataReferencesCut", [](Atom &m) { at(m, "mdia/minf/dinf/dref") = Atom("dref", Bytes(4, 0)); },
            "edits=0" + kHandler + " tables=1 ctts=0 refs=E28 [E28]"},
        // Entries below 12 bytes keep their header and have no data; past the 'dref': refused.
        Row{"DataReferenceOf0Bytes", [](Atom &m) { at(m, "mdia/minf/dinf/dref").children()[0].setSize(0); },
            "edits=0" + kHandler + kRefs},
        Row{"DataReferenceOf11Bytes", [](Atom &m) { at(m, "mdia/minf/dinf/dref").children()[0].setSize(11); },
            "edits=0" + kHandler + kRefs},
        Row{"DataReferencePastTheDref", [](Atom &m) { at(m, "mdia/minf/dinf/dref").children()[0].setSize(100); },
            "edits=0" + kHandler + " tables=1 ctts=0 refs=1 [E28] [E24]"}),
    [](const auto &info) { return std::string(info.param.name); });

// The types of the children an iteration visits.
std::string childTypes(const Atom &parent, size_t skip = 0)
{
    const Bytes bytes = parent.bytes();
    std::string types;
    CMyQTAtomIterator it =
        skip ? CMyQTAtomIterator(bytes.data() + skip, bytes.data()) : CMyQTAtomIterator(bytes.data());
    while (const BYTE *child = it.Next())
        types += std::string(reinterpret_cast<const char *>(child + 4), 4) + " ";
    return types;
}

TEST(AtomIterator, VisitsTheWellFormedChildrenInOrder)
{
    auto moov = [](std::vector<Atom> children) { return Atom("moov", std::move(children)); };
    EXPECT_EQ(childTypes(moov({Atom("aaaa"), Atom("bbbb", Bytes(5, 0)), Atom("cccc")})), "aaaa bbbb cccc ");
    for (uint32_t size : {0u, 1u, 7u, 9u})
        EXPECT_EQ(childTypes(moov({Atom("aaaa"), Atom("bbbb").setSize(size), Atom("cccc")}).setSize(24)), "aaaa ")
            << size;
    EXPECT_EQ(childTypes(moov({Atom("aaaa").setSize(0xFFFFFFFF)})), "");
    EXPECT_EQ(childTypes(moov({Atom("aaaa"), Atom::raw(Bytes{0, 0, 0, 9})})), "aaaa ");
    EXPECT_EQ(childTypes(moov({Atom("aaaa")}), 8), ""); // a first child before the parent's body
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
    std::string ids;
    for (LONG i = 1; i <= GetMovieTrackCount(movie.get()); ++i)
        ids += std::to_string(MyQTReadBE32(GetMovieIndTrack(movie.get(), i)->GetTrackHeader() + 20)) + " ";
    EXPECT_EQ(ids, "10 11 12 ");
    EXPECT_EQ(mediaOf(movie, 2)->GetTrack()->GetMovie(), movie.get());
    EXPECT_QT_ERROR(GetMovieIndTrack(movie.get(), 0), kBadArgument);
    EXPECT_QT_ERROR(GetMovieIndTrack(movie.get(), 4), kBadArgument);
}

TEST(Handles, GrowKeepingTheirContentsAndShrinkKeepingTheirBlock)
{
    CMyQTHandlePtr handle(NewHandle(4));
    EXPECT_EQ(Bytes(handle->GetData(), handle->GetData() + 4), Bytes(4, 0));
    handle->GetData()[0] = 7;
    SetHandleSize(handle.get(), 100);
    EXPECT_EQ(handle->GetData()[0], 7);
    BYTE *block = handle->GetData();
    SetHandleSize(handle.get(), 2);
    EXPECT_EQ(GetHandleSize(handle.get()), 2u);
    EXPECT_EQ(handle->GetData(), block);
    EXPECT_EQ(handle->GetCapacity(), 100u);
    CMyQTHandlePtr empty(NewHandle(0));
    EXPECT_NE(empty->GetData(), nullptr);
    DisposeHandle(nullptr);
}

} // namespace
} // namespace orvex::test

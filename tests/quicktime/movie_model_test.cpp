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

// Every answer about track 1, with the trace lines the questions write.
std::string trackSummary(const CMyQTMovie *movie)
{
    const CMyQTTrack *track = GetMovieIndTrack(movie, 1);
    const CMyQTMedia *media = GetTrackMedia(track);
    DebugCapture capture;
    std::ostringstream out;
    out << "edits=" << answerOf([&] { return std::to_string(TrackHasEdits(track)); });
    out << " handler=" << answerOf([&] {
        DWORD type = 0, manufacturer = 0;
        BYTE name[256];
        GetMediaHandlerDescription(media, &type, name, &manufacturer);
        return fourccText(type) + "/" + fourccText(manufacturer) + "/" +
               std::string(reinterpret_cast<char *>(name + 1), name[0]);
    });
    out << " scale=" << answerOf([&] { return std::to_string(GetMediaTimeScale(media)); });
    out << " duration=" << answerOf([&] { return std::to_string(GetMediaDuration(media)); });
    out << " video=" << answerOf([&] {
        LONG scale = -1, duration = -1, count = -1;
        LONG result = GetVideoMediaInfo(media, &scale, &duration, &count);
        return std::to_string(result) + ":" + std::to_string(scale) + "/" + std::to_string(duration) + "/" +
               std::to_string(count);
    });
    out << " tables=" << MediaHasSampleTables(media) << " ctts=" << MediaHasCompositionTimes(media);
    SHORT refs = 0;
    out << " refs=" << answerOf([&] { return GetMediaDataRefCount(media, &refs), std::to_string(refs); });
    for (SHORT i = 1; i <= refs + 1; ++i) {
        out << " [" << answerOf([&] {
            CMyQTHandle *const unset = reinterpret_cast<CMyQTHandle *>(1);
            CMyQTHandle *data = unset;
            DWORD type = 0;
            LONG attributes = -1;
            GetMediaDataRef(media, i, &data, &type, &attributes);
            CMyQTHandlePtr owned(data == unset ? nullptr : data);
            std::string text = fourccText(type) + " a" + std::to_string(attributes) + (data == unset ? " unset" : "");
            for (DWORD k = 0; owned && k < GetHandleSize(data); ++k)
                (text += " ") += std::to_string(data->GetData()[k]);
            return text;
        }) << "]";
    }
    for (const std::string &line : capture.messages())
        out << " {" << line.substr(0, line.size() - 2) << "}";
    return out.str();
}

// A row: the changes (Atom::edit) to the movie atom of that track, with
// those 'elst' words, and every answer about the track.
struct Row {
    const char *name;
    std::string changes;
    std::string expected;
    std::vector<uint32_t> edits = {};
};

class TrackQuestions : public ::testing::TestWithParam<Row> {};

TEST_P(TrackQuestions, Answer)
{
    const qt::TrackAtoms track{.duration = 1200,
                               .trackDuration = 1200,
                               .edits = GetParam().edits,
                               .tables = qt::tables("stsz =10 #300; stsc 1 1 1; stco 0")};
    auto movie = movieFrom(movieAtomWith({track}).edit(GetParam().changes));
    EXPECT_EQ(trackSummary(movie.get()), GetParam().expected);
}

const std::string kHandler = " handler=vide/appl/MediaHandler scale=600 duration=1200 video=0:600/1200/300";
const std::string kRefs = " tables=1 ctts=0 refs=1 [url  a1] [E24]";
const std::string kAnswers = kHandler + kRefs;
std::string traced(int duration, int time, int rate)
{
    return " {'elst' entr[0]} {trackDuration " + std::to_string(duration) + "} {mediaTime     " + std::to_string(time) +
           "} {mediaRate     0x000" + std::to_string(rate) + "0000}";
}
const std::string kDref = "trak/mdia/minf/dinf/dref";

INSTANTIATE_TEST_SUITE_P(
    Rows, TrackQuestions,
    ::testing::Values(
        Row{"Untouched", "", "edits=0" + kAnswers},
        Row{"NoMedia", "trak/mdia drop",
            "edits=0 handler=E27 scale=E27 duration=E27 video=E27 tables=0 ctts=0 refs=E27 [E27]"},
        Row{"NoMinf", "trak/mdia/minf type xinf",
            "edits=0 handler=vide/appl/MediaHandler scale=600 duration=1200 video=E15 tables=0 ctts=0 refs=E9 [E9]"},
        // The last table of a kind counts; 'ctts' is noted.
        Row{"NoStsz", "trak/mdia/minf/stbl/stsz type zzzz",
            "edits=0 handler=vide/appl/MediaHandler scale=600 duration=1200 video=E15 tables=0 ctts=0 refs=1 [url  a1] "
            "[E24]"},
        // Edit lists: only the identity edit is none; unreadable ones count as edits.
        Row{"IdentityEdit", "", "edits=0" + kAnswers, {1200, 0, 0x10000}},
        Row{"EditMediaTimeMinusOne", "", "edits=1" + kAnswers + traced(1200, -1, 1), {1200, 0xFFFFFFFF, 0x10000}},
        Row{"NegativeElstCountWithoutEntry",
            "trak/edts/elst cut 8; trak/edts/elst word 4 -1",
            "edits=1" + kAnswers,
            {1200, 0, 0x10000}},
        // A negative count compares entry 0.
        Row{"NegativeElstCountIdentity", "trak/edts/elst byte 4 128", "edits=0" + kAnswers, {1200, 0, 0x10000}},
        Row{"NegativeElstCountMediaTimeOne",
            "trak/edts/elst byte 4 128",
            "edits=1" + kAnswers + traced(1200, 1, 1),
            {1200, 1, 0x10000}},
        Row{"HandlerWithoutSubtype", "trak/mdia/hdlr cut 10",
            "edits=0 handler=E28 scale=600 duration=1200 video=E28" + kRefs},
        Row{"ZeroTimeScale", "trak/mdia/mdhd word 12 0",
            "edits=0 handler=vide/appl/MediaHandler scale=E16 duration=1200 video=E16" + kRefs},
        Row{"NegativeDuration", "trak/mdia/mdhd word 16 2147483648",
            "edits=0 handler=vide/appl/MediaHandler scale=600 duration=E17 video=E17" + kRefs},
        Row{"ShortMediaHeader", "trak/mdia/mdhd cut 14",
            "edits=0 handler=vide/appl/MediaHandler scale=E28 duration=E28 video=E28" + kRefs},
        Row{"DataReferenceOvercounted", kDref + " byte 7 2",
            "edits=0" + kHandler + " tables=1 ctts=0 refs=2 [url  a1] [E28] [E24]"},
        Row{"NoDataReferences", kDref + " type xref", "edits=0" + kHandler + " tables=1 ctts=0 refs=E9 [E9]"},
        // Entries below 12 bytes keep their header and have no data; past the 'dref': refused.
        Row{"DataReferenceOf0Bytes", kDref + "/* size 0", "edits=0" + kAnswers},
        Row{"DataReferenceOf11Bytes", kDref + "/* size 11", "edits=0" + kAnswers},
        Row{"DataReferencePastTheDref", kDref + "/* size 100",
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

} // namespace
} // namespace orvex::test

// Sample lookups: time to sample, sample to chunk, sizes, offsets and sync
// flags, and the refusals of tables that cannot be used. Each row is a media
// and the answers to a list of questions, as one line of text.
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTSampleTables.h"
#include "MyQuickTimeAPIs/MyQTTable.h"
#include "support/qt_movie.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace orvex::test {
namespace {

// Sample i has size 100 + i; chunk c starts at 1000 * c.
Atom sizes(uint32_t n, uint32_t first = 100)
{
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < n; ++i)
        out.push_back(first + i);
    return qt::stsz(out);
}
Atom chunks(uint32_t n)
{
    std::vector<uint32_t> out;
    for (uint32_t c = 1; c <= n; ++c)
        out.push_back(1000 * c);
    return qt::stco(out);
}
// One sample a chunk, n samples of duration d.
std::vector<Atom> plain(uint32_t n, uint32_t d = 1)
{
    return {qt::stts({{n, d}}), qt::stsc({{1, 1, 1}}), sizes(n), chunks(n)};
}
Atom renamed(Atom atom, const char *type)
{
    return atom.setType(type);
}
// The entry count (at body offset 4, or 8 for 'stsz') one larger.
Atom overcounted(Atom atom)
{
    ++atom.body()[atom.type() == "stsz" ? 11 : 7];
    return atom;
}
Atom soundStsd(uint16_t channels = 2)
{
    return qt::stsd({qt::soundDescriptionV0("sowt", channels, 16, 48000)});
}
const std::vector<Atom> kFrames{qt::stts({{10, 1}}), qt::stsc({{1, 5, 1}}), qt::stszCommon(1, 10), chunks(2)};

// A refusal as "E<code>" or "bare<code>".
std::string shortOutcome(const std::function<void()> &call)
{
    std::string how = outcome(call);
    if (how.rfind("CMyQTException ", 0) == 0) return "E" + how.substr(15);
    if (how.rfind("bare code ", 0) == 0) return "bare" + how.substr(10);
    return how;
}

// Answers to questions, blank-separated: "T" or "T/M" a lookup at time T with
// maxNumberOfSamples M (1 unless given) as "offset+size@sampleTime/duration
// dDESCRIPTION nCOUNT fFLAGS"; "dT" the data format of the description copy
// of that lookup; "sI" the size of sample I; "c" the sample count.
std::string answers(const CMyQTMedia *media, const std::string &questions)
{
    std::istringstream in(questions);
    std::string q, out;
    while (in >> q) {
        std::string answer;
        std::string how = shortOutcome([&] {
            if (q == "c") {
                answer = std::to_string(GetMediaSampleCount(media));
            } else if (q[0] == 's') {
                answer = std::to_string(GetMediaSampleSize(media, std::stoi(q.substr(1))));
            } else if (q[0] == 'd') {
                CMyQTHandlePtr copy(NewHandle(0));
                GetMediaSampleReference(media, nullptr, nullptr, std::stoi(q.substr(1)), nullptr, nullptr, copy.get(),
                                        nullptr, 1, nullptr, nullptr);
                DWORD format = 0; // in host order
                std::memcpy(&format, copy->GetData() + 4, 4);
                for (int shift = 24; shift >= 0; shift -= 8)
                    answer += char(format >> shift);
            } else {
                const size_t slash = q.find('/');
                DWORD offset = 0, size = 0;
                LONG sampleTime = -1, duration = -1, description = -1, count = -1;
                WORD flags = 0xFFFF;
                GetMediaSampleReference(media, &offset, &size, std::stoi(q), &sampleTime, &duration, nullptr,
                                        &description, slash == std::string::npos ? 1 : std::stoi(q.substr(slash + 1)),
                                        &count, &flags);
                std::ostringstream text;
                text << offset << "+" << size << "@" << sampleTime << "/" << duration << " d" << description << " n"
                     << count << " f" << flags;
                answer = text.str();
            }
        });
        out += (out.empty() ? "" : " | ") + (how == "ok" ? answer : how);
    }
    return out;
}

struct Row {
    const char *name;
    std::vector<Atom> tables;
    int32_t duration;
    const char *questions;
    std::string expected;
    std::string type = "vide";
    Atom descriptions = qt::stsd({qt::imageDescription("avc1", 16, 16)});
};

class SampleTables : public ::testing::TestWithParam<Row> {};

TEST_P(SampleTables, Answer)
{
    const Row &row = GetParam();
    qt::TrackAtoms track;
    track.mediaType = row.type;
    track.duration = row.duration;
    track.sampleDescriptions = row.descriptions;
    track.tables = row.tables;
    auto movie = movieFrom(movieAtomWith({track}));
    EXPECT_EQ(answers(mediaOf(movie), row.questions), row.expected);
}

// 'stsc' (1, 4, 1), (3, 2, 1) over 4 chunks: samples 0-3 in chunk 1, 4-7 in
// chunk 2, 8-9 in chunk 3, 10-11 in chunk 4. One time unit a sample.
const std::vector<Atom> kChunked{qt::stts({{13, 1}}), qt::stsc({{1, 4, 1}, {3, 2, 1}}), sizes(13), chunks(4)};

INSTANTIATE_TEST_SUITE_P(
    Rows, SampleTables,
    ::testing::Values(
        Row{"TimeToSample", plain(3, 1001), 3003, "2002 2003 0 1000",
            "3000+102@2002/1001 d1 n1 f0 | 3000+102@2002/1001 d1 n1 f0 | 1000+100@0/1001 d1 n1 f0 | 1000+100@0/1001 "
            "d1 n1 f0"},
        // Sample 2 + 30 / 50 = 2 in the second entry.
        Row{"AcrossSttsEntries",
            {qt::stts({{2, 100}, {3, 50}}), qt::stsc({{1, 1, 1}}), sizes(5), chunks(5)},
            350,
            "230 349",
            "3000+102@200/50 d1 n1 f0 | 5000+104@300/50 d1 n1 f0"},
        // The header's duration is longer than 'stts' covers.
        Row{"PastTheLastSttsEntry",
            {qt::stts({{2, 100}}), qt::stsc({{1, 1, 1}}), sizes(3), chunks(3)},
            1000,
            "500",
            "3000+102@200/0 d1 n1 f0"},
        Row{"EmptyStts",
            {qt::stts({}), qt::stsc({{1, 1, 1}}), sizes(1), chunks(1)},
            1000,
            "999",
            "1000+100@0/0 d1 n1 f0"},
        Row{"SampleToChunk", kChunked, 13, "0 3 4 7 8 9 10 11 12",
            "1000+100@0/1 d1 n1 f0 | 1303+103@3/1 d1 n1 f0 | 2000+104@4/1 d1 n1 f0 | 2315+107@7/1 d1 n1 f0 | "
            "3000+108@8/1 d1 n1 f0 | 3108+109@9/1 d1 n1 f0 | 4000+110@10/1 d1 n1 f0 | 4110+111@11/1 d1 n1 f0 | E20"},
        Row{"RestOfTheChunk", kChunked, 13, "5/0 5/1 6 8/0",
            "2104+318@5/1 d1 n3 f0 | 2104+105@5/1 d1 n1 f0 | 2209+106@6/1 d1 n1 f0 | 3000+217@8/1 d1 n2 f0"},
        Row{"Arguments", kChunked, 13, "13 -1 0/2 0/-1", "E21 | E24 | E24 | E24"},
        Row{"NegativeDuration", {qt::stts({{1, 1}})}, int32_t(0x80000001), "0", "E17"},
        Row{"DescriptionIndex",
            {qt::stts({{4, 1}}), qt::stsc({{1, 2, 1}, {2, 2, 2}}), sizes(4), chunks(2)},
            4,
            "1 2 d3",
            "1100+101@1/1 d1 n1 f0 | 2000+102@2/1 d2 n1 f0 | jpeg",
            "vide",
            qt::stsd({qt::imageDescription("avc1", 16, 16), qt::imageDescription("jpeg", 32, 32)})},
        Row{"EntryWithoutChunks",
            {qt::stts({{2, 1}}), qt::stsc({{1, 5, 1}, {1, 2, 1}}), sizes(2), chunks(1)},
            2,
            "1",
            "1100+101@1/1 d1 n1 f0"},
        Row{"ZeroSamplesPerChunk",
            {qt::stts({{2, 1}}), qt::stsc({{1, 0, 1}, {2, 2, 1}}), sizes(2), chunks(2)},
            2,
            "0",
            "2000+100@0/1 d1 n1 f0"},
        Row{"LastEntryWithoutSamples", {qt::stts({{2, 1}}), qt::stsc({{1, 0, 1}}), sizes(2), chunks(2)}, 2, "0", "E20"},
        Row{"NoStss", plain(40), 40, "0 30", "1000+100@0/1 d1 n1 f0 | 31000+130@30/1 d1 n1 f0"},
        Row{"Stss",
            {qt::stts({{40, 1}}), qt::stss({1, 31}), qt::stsc({{1, 1, 1}}), sizes(40), chunks(40)},
            40,
            "0 29 30 31",
            "1000+100@0/1 d1 n1 f0 | 30000+129@29/1 d1 n1 f1 | 31000+130@30/1 d1 n1 f0 | 32000+131@31/1 d1 n1 f1"},
        Row{"EmptyStss",
            {qt::stts({{4, 1}}), qt::stss({}), qt::stsc({{1, 1, 1}}), sizes(4), chunks(4)},
            4,
            "0",
            "1000+100@0/1 d1 n1 f1"},
        // A common size of 1 counts sound frames in a sound media only.
        Row{"SoundFrames", kFrames, 10, "s0 s9 7/0", "4 | 4 | 2008+12@7/1 d1 n3 f0", "soun", soundStsd()},
        Row{"VideoCommonSizeOne", kFrames, 10, "s3 7/0", "1 | 2002+3@7/1 d1 n3 f0"},
        Row{"SoundVersion1", kFrames, 10, "s0", "6", "soun",
            qt::stsd({qt::soundDescriptionV1("sowt", 2, 16, 48000, 6)})},
        Row{"SoundCommonSizeThree",
            {qt::stts({{10, 1}}), qt::stsc({{1, 5, 1}}), qt::stszCommon(3, 10), chunks(2)},
            10,
            "s0",
            "3",
            "soun",
            soundStsd()},
        Row{"SoundVersion2", kFrames, 10, "s0 0", "bare26 | bare26", "soun",
            qt::stsd({qt::soundDescriptionV2("lpcm", 2, 16, 48000.0)})},
        Row{"SoundVersion3", kFrames, 10, "s0", "E23", "soun", qt::stsd({[] {
                Atom v3 = qt::soundDescriptionV0("sowt", 2, 16, 48000);
                v3.body()[9] = 3;
                return v3;
            }()})},
        Row{"SoundDescriptionMissing",
            {qt::stts({{10, 1}}), qt::stsc({{1, 5, 2}}), qt::stszCommon(1, 10), chunks(2)},
            10,
            "s0",
            "E24",
            "soun",
            soundStsd()},
        Row{"SoundBeyondTheLastChunk",
            {qt::stts({{10, 1}}), qt::stsc({{1, 5, 1}}), qt::stszCommon(1, 10), chunks(1)},
            10,
            "s9",
            "E20",
            "soun",
            soundStsd()},
        // 65535 channels read as -1: no size.
        Row{"SoundNegativeFrameSize", kFrames, 10, "s0", "E29", "soun", soundStsd(0xFFFF)},
        Row{"SizeIndexes", plain(3), 3, "s2 s3 s-1", "102 | E28 | E28"},
        Row{"CommonSizeIndexes",
            {qt::stts({{3, 1}}), qt::stsc({{1, 1, 1}}), qt::stszCommon(9, 3), chunks(3)},
            3,
            "s2 s3",
            "9 | E28"},
        Row{"SampleCount", {sizes(7)}, 0, "c", "7"},
        Row{"LargestSampleCount", {qt::stszCommon(4, 0x7FFFFFFF)}, 0, "c", "2147483647"},
        Row{"NegativeSampleCount", {qt::stszCommon(4, 0x80000000)}, 0, "c", "E19"},
        // The count is the file's; only reading the missing size is refused.
        Row{"OvercountedStsz", {overcounted(sizes(2))}, 0, "c s1 s2", "3 | 101 | E28"},
        Row{"NoStsz", {}, 0, "c", "E15"},
        Row{"NoStts", {renamed(qt::stts({{3, 1}}), "none"), qt::stsc({{1, 1, 1}}), sizes(3), chunks(3)}, 3, "1", "E11"},
        Row{"NoStsc", {qt::stts({{3, 1}}), renamed(qt::stsc({{1, 1, 1}}), "none"), sizes(3), chunks(3)}, 3, "1", "E13"},
        Row{"NoStco", {qt::stts({{3, 1}}), qt::stsc({{1, 1, 1}}), sizes(3), renamed(chunks(3), "none")}, 3, "1", "E14"},
        Row{"NoStszLookup",
            {qt::stts({{3, 1}}), qt::stsc({{1, 1, 1}}), renamed(sizes(3), "none"), chunks(3)},
            3,
            "1",
            "E15"},
        // Only an unusable entry the walk reaches matters.
        Row{"ZeroSampleDuration", {qt::stts({{2, 0}}), qt::stsc({{1, 1, 1}}), sizes(2), chunks(2)}, 10, "0", "E29"},
        Row{"LaterZeroSampleDuration",
            {qt::stts({{2, 5}, {1, 0}}), qt::stsc({{1, 1, 1}}), sizes(3), chunks(3)},
            20,
            "9 10",
            "2000+101@5/5 d1 n1 f0 | E29"},
        Row{"NegativeSampleDuration",
            {qt::stts({{2, 0x80000000}}), qt::stsc({{1, 1, 1}}), sizes(2), chunks(2)},
            10,
            "0",
            "E29"},
        Row{"NegativeSttsCount",
            {qt::stts({{0xFFFFFFFF, 1}}), qt::stsc({{1, 1, 1}}), sizes(2), chunks(2)},
            10,
            "0",
            "E29"},
        Row{"ChunkRunsBackwards",
            {qt::stts({{4, 1}}), qt::stsc({{3, 1, 1}, {1, 1, 1}}), sizes(4), chunks(4)},
            4,
            "0",
            "E29"},
        Row{"BeyondTheStszCount",
            {qt::stts({{4, 1}}), qt::stsc({{1, 1, 1}}), sizes(2), chunks(4)},
            4,
            "1 2",
            "2000+101@1/1 d1 n1 f0 | E28"},
        // A chunk beyond the 'stco' count, reached inside an earlier run.
        Row{"BeyondTheStcoCount",
            {qt::stts({{6, 1}}), qt::stsc({{1, 1, 1}, {5, 1, 1}}), sizes(6), chunks(2)},
            6,
            "1 2",
            "2000+101@1/1 d1 n1 f0 | E28"},
        Row{"ChunkZero", {qt::stts({{2, 1}}), qt::stsc({{0, 1, 1}}), sizes(2), chunks(2)}, 2, "0", "E28"},
        Row{"EmptyStsc", {qt::stts({{2, 1}}), qt::stsc({}), sizes(2), chunks(2)}, 2, "0", "E28"},
        // Entry counts one larger than their atoms hold: only a lookup that
        // reads the missing entry is refused.
        Row{"OvercountedStts",
            {overcounted(qt::stts({{3, 1}})), qt::stsc({{1, 1, 1}}), sizes(3), chunks(3)},
            3,
            "0 1",
            "1000+100@0/1 d1 n1 f0 | 2000+101@1/1 d1 n1 f0"},
        Row{"OvercountedStsc",
            {qt::stts({{3, 1}}), overcounted(qt::stsc({{1, 1, 1}})), sizes(3), chunks(3)},
            3,
            "0 1",
            "E28 | E28"},
        Row{"OvercountedStco",
            {qt::stts({{3, 1}}), qt::stsc({{1, 1, 1}}), sizes(3), overcounted(chunks(3))},
            3,
            "0 1",
            "1000+100@0/1 d1 n1 f0 | 2000+101@1/1 d1 n1 f0"},
        Row{"OvercountedStss",
            {qt::stts({{3, 1}}), overcounted(qt::stss({1})), qt::stsc({{1, 1, 1}}), sizes(3), chunks(3)},
            3,
            "0 1",
            "1000+100@0/1 d1 n1 f0 | E28"},
        // 4 billion samples a chunk: a common size's run is computed, not summed.
        Row{"HugeChunk",
            {qt::stts({{0x7FFFFFFF, 1}}), qt::stsc({{1, 0xFFFFFFFF, 1}}), qt::stszCommon(4, 0x7FFFFFFF), qt::stco({8})},
            0x7FFFFFFF,
            "0/0 5",
            "E28 | 28+4@5/1 d1 n1 f0"},
        // Offsets and sizes past 32 bits; the sums are 64-bit before they are checked.
        Row{"OffsetBeyond4GiB",
            {qt::stts({{3, 1}}), qt::stsc({{1, 3, 1}}), qt::stsz({0x10, 0x10, 0x10}), qt::stco({0xFFFFFFE8})},
            3,
            "1 2",
            "4294967288+16@1/1 d1 n1 f0 | E28"},
        Row{"CommonSizesBeyond4GiB",
            {qt::stts({{3, 1}}), qt::stsc({{1, 3, 1}}), qt::stszCommon(0x80000000, 3), qt::stco({0})},
            3,
            "0 0/0",
            "0+2147483648@0/1 d1 n1 f0 | E28"},
        Row{"ListedSizesBeyond4GiB",
            {qt::stts({{3, 1}}), qt::stsc({{1, 3, 1}}), qt::stsz({0x80000000, 0x80000000, 0x80000000}), qt::stco({0})},
            3,
            "0/0",
            "E28"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Tables, ReadersCheckEveryRead)
{
    Bytes stco = qt::stco({5, 6, 7}).bytes();
    CMyQTTable table(stco.data(), 4);
    EXPECT_EQ(table.Get(2), 7u);
    EXPECT_QT_ERROR(table.Get(3), kOutsideAtom);
    EXPECT_QT_ERROR(table.Get(-1), kOutsideAtom);
    EXPECT_QT_ERROR(table.Get(0, 1), kOutsideAtom); // a field beyond the entry
    // A count beyond the atom, or a negative one, is the file's; reads stay inside.
    stco[15] = 4;
    CMyQTTable overlong(stco.data(), 4);
    EXPECT_EQ(overlong.GetCount() * 10 + overlong.GetReadableCount(), 43);
    EXPECT_QT_ERROR(overlong.Get(3), kOutsideAtom);
    stco[12] = 0x80;
    EXPECT_QT_ERROR(CMyQTTable(stco.data(), 4).Get(0), kOutsideAtom);
    Bytes tiny = Atom("stco", Bytes(2, 0)).bytes();
    EXPECT_QT_ERROR(CMyQTTable(tiny.data(), 4), kOutsideAtom);
}

} // namespace
} // namespace orvex::test

// Sample lookups: time to sample, sample to chunk, sizes, offsets and sync
// flags, and the refusals of tables that cannot be used.
#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTSampleTables.h"
#include "MyQuickTimeAPIs/MyQTTable.h"
#include "qt_test_util.h"

#include <gtest/gtest.h>

#include <cstring>

namespace orvex::test {
namespace {

struct Lookup {
    DWORD offset = 0, size = 0;
    LONG sampleTime = -1, duration = -1, descriptionIndex = -1, count = -1;
    WORD flags = 0xFFFF;
};

class TableMedia {
public:
    explicit TableMedia(std::vector<Atom> tables, int32_t duration = 1000, std::string type = "vide",
                        Atom descriptions = qt::stsd({qt::imageDescription("avc1", 16, 16)}))
    {
        qt::TrackAtoms track;
        track.mediaType = std::move(type);
        track.timeScale = 600;
        track.duration = duration;
        track.sampleDescriptions = std::move(descriptions);
        track.tables = std::move(tables);
        m_movie = movieFrom(movieAtomWith({track}));
        m_media = GetTrackMedia(GetMovieIndTrack(m_movie.get(), 1));
    }
    const CMyQTMedia *media() const { return m_media; }

    Lookup at(LONG time, LONG maxSamples = 1) const
    {
        Lookup r;
        GetMediaSampleReference(m_media, &r.offset, &r.size, time, &r.sampleTime, &r.duration, nullptr,
                                &r.descriptionIndex, maxSamples, &r.count, &r.flags);
        return r;
    }
    std::string outcomeAt(LONG time, LONG maxSamples = 1) const
    {
        return outcome([&] { at(time, maxSamples); });
    }

private:
    std::unique_ptr<CMyQTMovie> m_movie;
    const CMyQTMedia *m_media;
};

// Sample i has size 100 + i; chunk c starts at 1000 * c.
std::vector<uint32_t> sizes(uint32_t n)
{
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < n; ++i)
        out.push_back(100 + i);
    return out;
}
std::vector<uint32_t> chunkOffsets(uint32_t n)
{
    std::vector<uint32_t> out;
    for (uint32_t c = 1; c <= n; ++c)
        out.push_back(1000 * c);
    return out;
}

TEST(TimeToSample, FindsTheSampleHoldingATime)
{
    TableMedia m({qt::stts({{3, 1001}}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes(3)), qt::stco(chunkOffsets(3))}, 3003);
    Lookup a = m.at(2002);
    EXPECT_EQ(a.sampleTime, 2002);
    EXPECT_EQ(a.duration, 1001);
    EXPECT_EQ(a.size, 102u);
    EXPECT_EQ(a.offset, 3000u);
    Lookup b = m.at(2003);
    EXPECT_EQ(b.sampleTime, 2002);
    EXPECT_EQ(b.offset, 3000u);
    EXPECT_EQ(m.at(0).sampleTime, 0);
    EXPECT_EQ(m.at(1000).sampleTime, 0);
}

TEST(TimeToSample, WalksAcrossEntries)
{
    TableMedia m({qt::stts({{2, 100}, {3, 50}}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes(5)), qt::stco(chunkOffsets(5))},
                 350);
    Lookup a = m.at(230);
    EXPECT_EQ(a.sampleTime, 200); // index 2 + 30 / 50 = 2
    EXPECT_EQ(a.duration, 50);
    EXPECT_EQ(a.offset, 3000u);
    EXPECT_EQ(m.at(349).sampleTime, 300);
    EXPECT_EQ(m.at(349).offset, 5000u);
}

TEST(TimeToSample, PastTheLastEntryTheDurationIsZero)
{
    // The header's duration is longer than 'stts' covers: the sample after
    // the covered ones is returned with duration 0.
    TableMedia m({qt::stts({{2, 100}}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes(3)), qt::stco(chunkOffsets(3))}, 1000);
    Lookup a = m.at(500);
    EXPECT_EQ(a.sampleTime, 200);
    EXPECT_EQ(a.duration, 0);
    EXPECT_EQ(a.offset, 3000u);
    // An empty table gives sample 0.
    TableMedia empty({qt::stts({}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes(1)), qt::stco(chunkOffsets(1))}, 1000);
    EXPECT_EQ(empty.at(999).sampleTime, 0);
    EXPECT_EQ(empty.at(999).duration, 0);
}

// 'stsc' (1, 4, 1), (3, 2, 1) over 4 chunks: samples 0-3 in chunk 1, 4-7 in
// chunk 2, 8-9 in chunk 3, 10-11 in chunk 4. One time unit per sample.
TableMedia chunkedMedia(uint32_t samples = 13)
{
    return TableMedia({qt::stts({{samples, 1}}), qt::stsc({{1, 4, 1}, {3, 2, 1}}), qt::stsz(sizes(samples)),
                       qt::stco(chunkOffsets(4))},
                      static_cast<int32_t>(samples));
}

TEST(SampleToChunk, PlacesSamplesInTheirChunks)
{
    TableMedia m = chunkedMedia();
    struct Expect {
        LONG sample;
        DWORD chunk;
        DWORD offsetInChunk;
    };
    for (const Expect &e :
         {Expect{0, 1, 0}, Expect{3, 1, 100 + 101 + 102}, Expect{4, 2, 0}, Expect{7, 2, 104 + 105 + 106},
          Expect{8, 3, 0}, Expect{9, 3, 108}, Expect{10, 4, 0}, Expect{11, 4, 110}}) {
        Lookup r = m.at(e.sample);
        EXPECT_EQ(r.offset, 1000 * e.chunk + e.offsetInChunk) << e.sample;
        EXPECT_EQ(r.size, 100u + DWORD(e.sample)) << e.sample;
        EXPECT_EQ(r.count, 1) << e.sample;
        EXPECT_EQ(r.descriptionIndex, 1);
    }
    EXPECT_EQ(m.outcomeAt(12), qtError(CMyQTException::kSampleBeyondLastChunk));
}

TEST(SampleToChunk, MaxZeroReturnsTheRestOfTheChunk)
{
    TableMedia m = chunkedMedia();
    Lookup all = m.at(5, 0);
    EXPECT_EQ(all.count, 3); // samples 5, 6, 7
    EXPECT_EQ(all.size, 105u + 106u + 107u);
    EXPECT_EQ(all.offset, 2000u + 104u);
    Lookup one = m.at(5, 1);
    EXPECT_EQ(one.count, 1);
    EXPECT_EQ(one.size, 105u);
    Lookup six = m.at(6, 1);
    EXPECT_EQ(six.offset, 2000u + 104u + 105u);
    EXPECT_EQ(m.at(8, 0).count, 2);
}

TEST(SampleToChunk, DescriptionIndexComesFromTheEntry)
{
    Atom descriptions = qt::stsd({qt::imageDescription("avc1", 16, 16), qt::imageDescription("jpeg", 32, 32)});
    TableMedia m({qt::stts({{4, 1}}), qt::stsc({{1, 2, 1}, {2, 2, 2}}), qt::stsz(sizes(4)), qt::stco(chunkOffsets(2))},
                 4, "vide", descriptions);
    EXPECT_EQ(m.at(1).descriptionIndex, 1);
    EXPECT_EQ(m.at(2).descriptionIndex, 2);
    CMyQTHandlePtr copy(NewHandle(0));
    GetMediaSampleReference(m.media(), nullptr, nullptr, 3, nullptr, nullptr, copy.get(), nullptr, 1, nullptr, nullptr);
    ASSERT_GE(GetHandleSize(copy.get()), 8u);
    DWORD format;
    std::memcpy(&format, copy->GetData() + 4, 4);
    EXPECT_EQ(format, MyQTFourCC("jpeg"));
}

TEST(SampleToChunk, AnEntryWithoutChunksIsPassedOver)
{
    TableMedia m({qt::stts({{2, 1}}), qt::stsc({{1, 5, 1}, {1, 2, 1}}), qt::stsz(sizes(2)), qt::stco(chunkOffsets(1))},
                 2);
    EXPECT_EQ(m.at(1).offset, 1000u + 100u);
    // Zero samples per chunk: its chunks hold nothing.
    TableMedia zero(
        {qt::stts({{2, 1}}), qt::stsc({{1, 0, 1}, {2, 2, 1}}), qt::stsz(sizes(2)), qt::stco(chunkOffsets(2))}, 2);
    EXPECT_EQ(zero.at(0).offset, 2000u);
    // ... and a last entry with none cannot hold any sample.
    TableMedia last({qt::stts({{2, 1}}), qt::stsc({{1, 0, 1}}), qt::stsz(sizes(2)), qt::stco(chunkOffsets(2))}, 2);
    EXPECT_EQ(last.outcomeAt(0), qtError(CMyQTException::kSampleBeyondLastChunk));
}

TEST(SyncSamples, FlagEverySampleThatIsNotListed)
{
    TableMedia none({qt::stts({{40, 1}}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes(40)), qt::stco(chunkOffsets(40))}, 40);
    for (LONG t : {0, 29, 30, 39})
        EXPECT_EQ(none.at(t).flags, 0) << t;
    TableMedia listed({qt::stts({{40, 1}}), qt::stss({1, 31}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes(40)),
                       qt::stco(chunkOffsets(40))},
                      40);
    EXPECT_EQ(listed.at(0).flags, 0);
    EXPECT_EQ(listed.at(29).flags, 1);
    EXPECT_EQ(listed.at(30).flags, 0);
    EXPECT_EQ(listed.at(31).flags, 1);
    TableMedia empty(
        {qt::stts({{4, 1}}), qt::stss({}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes(4)), qt::stco(chunkOffsets(4))}, 4);
    EXPECT_EQ(empty.at(0).flags, 1);
}

TEST(SampleSizes, CommonSizeOneIsTheFrameSizeOfASoundMedia)
{
    std::vector<Atom> tables{qt::stts({{10, 1}}), qt::stsc({{1, 5, 1}}), qt::stszCommon(1, 10),
                             qt::stco(chunkOffsets(2))};
    TableMedia sound(tables, 10, "soun", qt::stsd({qt::soundDescriptionV0("sowt", 2, 16, 48000)}));
    EXPECT_EQ(GetMediaSampleSize(sound.media(), 0), 4u);
    EXPECT_EQ(GetMediaSampleSize(sound.media(), 9), 4u);
    Lookup chunk = sound.at(7, 0);
    EXPECT_EQ(chunk.count, 3);
    EXPECT_EQ(chunk.size, 12u);
    EXPECT_EQ(chunk.offset, 2000u + 2 * 4u);
    TableMedia video(tables, 10);
    EXPECT_EQ(GetMediaSampleSize(video.media(), 3), 1u);
    EXPECT_EQ(video.at(7, 0).size, 3u);
    TableMedia v1(tables, 10, "soun", qt::stsd({qt::soundDescriptionV1("sowt", 2, 16, 48000, 6)}));
    EXPECT_EQ(GetMediaSampleSize(v1.media(), 0), 6u);
    TableMedia other({qt::stts({{10, 1}}), qt::stsc({{1, 5, 1}}), qt::stszCommon(3, 10), qt::stco(chunkOffsets(2))}, 10,
                     "soun", qt::stsd({qt::soundDescriptionV0("sowt", 2, 16, 48000)}));
    EXPECT_EQ(GetMediaSampleSize(other.media(), 0), 3u);
}

TEST(SampleSizes, SoundDescriptionsThatCannotGiveAFrameSize)
{
    std::vector<Atom> tables{qt::stts({{10, 1}}), qt::stsc({{1, 5, 1}}), qt::stszCommon(1, 10),
                             qt::stco(chunkOffsets(2))};
    TableMedia v2(tables, 10, "soun", qt::stsd({qt::soundDescriptionV2("lpcm", 2, 16, 48000.0)}));
    EXPECT_OUTCOME(GetMediaSampleSize(v2.media(), 0), "bare code 26");
    EXPECT_EQ(v2.outcomeAt(0), "bare code 26");
    Atom v3 = qt::soundDescriptionV0("sowt", 2, 16, 48000);
    v3.body()[9] = 3; // version 3
    TableMedia bad(tables, 10, "soun", qt::stsd({v3}));
    EXPECT_QT_ERROR(GetMediaSampleSize(bad.media(), 0), kUnsupportedDescription);
    // The chunk's description index is not in 'stsd'.
    TableMedia missing({qt::stts({{10, 1}}), qt::stsc({{1, 5, 2}}), qt::stszCommon(1, 10), qt::stco(chunkOffsets(2))},
                       10, "soun", qt::stsd({qt::soundDescriptionV0("sowt", 2, 16, 48000)}));
    EXPECT_QT_ERROR(GetMediaSampleSize(missing.media(), 0), kBadArgument);
    // A sample beyond the last chunk.
    TableMedia fewChunks({qt::stts({{10, 1}}), qt::stsc({{1, 5, 1}}), qt::stszCommon(1, 10), qt::stco(chunkOffsets(1))},
                         10, "soun", qt::stsd({qt::soundDescriptionV0("sowt", 2, 16, 48000)}));
    EXPECT_QT_ERROR(GetMediaSampleSize(fewChunks.media(), 9), kSampleBeyondLastChunk);
    // A frame size that cannot be a size (65535 channels read as -1).
    TableMedia negative(tables, 10, "soun", qt::stsd({qt::soundDescriptionV0("sowt", 0xFFFF, 16, 48000)}));
    EXPECT_QT_ERROR(GetMediaSampleSize(negative.media(), 0), kBadTableEntry);
}

TEST(SampleSizes, IndexesOutsideTheTableAreRefused)
{
    TableMedia table({qt::stts({{3, 1}}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes(3)), qt::stco(chunkOffsets(3))}, 3);
    EXPECT_EQ(GetMediaSampleSize(table.media(), 2), 102u);
    EXPECT_QT_ERROR(GetMediaSampleSize(table.media(), 3), kOutsideAtom);
    EXPECT_QT_ERROR(GetMediaSampleSize(table.media(), -1), kOutsideAtom);
    TableMedia common({qt::stts({{3, 1}}), qt::stsc({{1, 1, 1}}), qt::stszCommon(9, 3), qt::stco(chunkOffsets(3))}, 3);
    EXPECT_EQ(GetMediaSampleSize(common.media(), 2), 9u);
    EXPECT_QT_ERROR(GetMediaSampleSize(common.media(), 3), kOutsideAtom);
}

TEST(SampleCount, ComesFromStszAndIsChecked)
{
    TableMedia m({qt::stsz(sizes(7))});
    EXPECT_EQ(GetMediaSampleCount(m.media()), 7);
    TableMedia common({qt::stszCommon(4, 0x7FFFFFFF)});
    EXPECT_EQ(GetMediaSampleCount(common.media()), 0x7FFFFFFF);
    TableMedia negative({qt::stszCommon(4, 0x80000000)});
    EXPECT_QT_ERROR(GetMediaSampleCount(negative.media()), kBadSampleCount);
    // A count larger than the table: the count is the file's, and only
    // reading the missing size is refused.
    Atom lying = qt::stsz(sizes(2));
    lying.body()[11] = 3;
    TableMedia overlong({lying});
    EXPECT_EQ(GetMediaSampleCount(overlong.media()), 3);
    EXPECT_EQ(GetMediaSampleSize(overlong.media(), 1), 101u);
    EXPECT_QT_ERROR(GetMediaSampleSize(overlong.media(), 2), kOutsideAtom);
    TableMedia none({});
    EXPECT_QT_ERROR(GetMediaSampleCount(none.media()), kNoSampleSizes);
}

TEST(Arguments, AreCheckedFirst)
{
    TableMedia m = chunkedMedia();
    EXPECT_EQ(m.outcomeAt(13), qtError(CMyQTException::kTimeBeyondDuration));
    EXPECT_EQ(m.outcomeAt(-1), qtError(CMyQTException::kBadArgument));
    EXPECT_EQ(m.outcomeAt(0, 2), qtError(CMyQTException::kBadArgument));
    EXPECT_EQ(m.outcomeAt(0, -1), qtError(CMyQTException::kBadArgument));
    TableMedia negativeDuration({qt::stts({{1, 1}})}, int32_t(0x80000001));
    EXPECT_EQ(negativeDuration.outcomeAt(0), qtError(CMyQTException::kBadDuration));
    // All outputs are optional.
    GetMediaSampleReference(m.media(), nullptr, nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr);
}

TEST(MissingTables, EachGivesItsCode)
{
    struct Case {
        const char *missing;
        CMyQTException::EExceptionType code;
    };
    for (const Case &c :
         {Case{"stts", CMyQTException::kNoTimeToSample}, Case{"stsc", CMyQTException::kNoSampleToChunk},
          Case{"stco", CMyQTException::kNoChunkOffsets}, Case{"stsz", CMyQTException::kNoSampleSizes}}) {
        std::vector<Atom> tables{qt::stts({{3, 1}}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes(3)),
                                 qt::stco(chunkOffsets(3))};
        for (Atom &t : tables)
            if (t.type() == c.missing) t.setType("none");
        TableMedia m(tables, 3);
        EXPECT_EQ(m.outcomeAt(1), qtError(c.code)) << c.missing;
    }
}

// Tables that would divide by zero, run backwards or contradict each other.
TEST(UnusableTables, ZeroOrNegativeDurationsAreRefused)
{
    TableMedia zero({qt::stts({{2, 0}}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes(2)), qt::stco(chunkOffsets(2))}, 10);
    EXPECT_EQ(zero.outcomeAt(0), qtError(CMyQTException::kBadTableEntry));
    // Only an entry the walk reaches matters.
    TableMedia later({qt::stts({{2, 5}, {1, 0}}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes(3)), qt::stco(chunkOffsets(3))},
                     20);
    EXPECT_EQ(later.at(9).sampleTime, 5);
    EXPECT_EQ(later.outcomeAt(10), qtError(CMyQTException::kBadTableEntry));
    TableMedia negative(
        {qt::stts({{2, 0x80000000}}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes(2)), qt::stco(chunkOffsets(2))}, 10);
    EXPECT_EQ(negative.outcomeAt(0), qtError(CMyQTException::kBadTableEntry));
    TableMedia negativeCount(
        {qt::stts({{0xFFFFFFFF, 1}}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes(2)), qt::stco(chunkOffsets(2))}, 10);
    EXPECT_EQ(negativeCount.outcomeAt(0), qtError(CMyQTException::kBadTableEntry));
}

TEST(UnusableTables, ChunkRunsMustNotGoBackwards)
{
    TableMedia m({qt::stts({{4, 1}}), qt::stsc({{3, 1, 1}, {1, 1, 1}}), qt::stsz(sizes(4)), qt::stco(chunkOffsets(4))},
                 4);
    EXPECT_EQ(m.outcomeAt(0), qtError(CMyQTException::kBadTableEntry));
}

TEST(UnusableTables, ReadsBeyondATablesEntriesAreRefused)
{
    // A sample beyond the 'stsz' count.
    TableMedia fewSizes({qt::stts({{4, 1}}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes(2)), qt::stco(chunkOffsets(4))}, 4);
    EXPECT_EQ(fewSizes.at(1).size, 101u);
    EXPECT_EQ(fewSizes.outcomeAt(2), qtError(CMyQTException::kOutsideAtom));
    // A chunk beyond the 'stco' count, reached inside an earlier run.
    TableMedia fewChunks(
        {qt::stts({{6, 1}}), qt::stsc({{1, 1, 1}, {5, 1, 1}}), qt::stsz(sizes(6)), qt::stco(chunkOffsets(2))}, 6);
    EXPECT_EQ(fewChunks.at(1).offset, 2000u);
    EXPECT_EQ(fewChunks.outcomeAt(2), qtError(CMyQTException::kOutsideAtom));
    // Chunk numbers start at 1.
    TableMedia chunkZero({qt::stts({{2, 1}}), qt::stsc({{0, 1, 1}}), qt::stsz(sizes(2)), qt::stco(chunkOffsets(2))}, 2);
    EXPECT_EQ(chunkZero.outcomeAt(0), qtError(CMyQTException::kOutsideAtom));
    // Entry counts one larger than their atoms hold: only a lookup that
    // reads the missing entry is refused.
    const std::string ok = "ok", outside = qtError(CMyQTException::kOutsideAtom);
    struct Row {
        const char *table;
        std::string sample0, sample1;
    };
    for (const Row &row :
         {Row{"stts", ok, ok}, Row{"stsc", outside, outside}, Row{"stco", ok, ok}, Row{"stss", ok, outside}}) {
        std::vector<Atom> tables{qt::stts({{3, 1}}), qt::stss({1}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes(3)),
                                 qt::stco(chunkOffsets(3))};
        for (Atom &t : tables)
            if (t.type() == row.table) t.body()[7] += 1;
        TableMedia m(tables, 3);
        EXPECT_EQ(m.outcomeAt(0), row.sample0) << row.table;
        EXPECT_EQ(m.outcomeAt(1), row.sample1) << row.table;
    }
    // An empty 'stsc' has no entry 0.
    TableMedia noRuns({qt::stts({{2, 1}}), qt::stsc({}), qt::stsz(sizes(2)), qt::stco(chunkOffsets(2))}, 2);
    EXPECT_EQ(noRuns.outcomeAt(0), qtError(CMyQTException::kOutsideAtom));
}

TEST(UnusableTables, HugeChunksEndQuickly)
{
    // 4 billion samples per chunk with a common size: the run's size is
    // computed, not summed, and checked against the sample count.
    TableMedia m(
        {qt::stts({{0x7FFFFFFF, 1}}), qt::stsc({{1, 0xFFFFFFFF, 1}}), qt::stszCommon(4, 0x7FFFFFFF), qt::stco({8})},
        0x7FFFFFFF);
    EXPECT_EQ(m.outcomeAt(0, 0), qtError(CMyQTException::kOutsideAtom));
    EXPECT_EQ(m.at(5, 1).offset, 8u + 5 * 4u);
}

TEST(Sums, OffsetsAndSizesBeyond32BitsAreRefused)
{
    // The chunk starts near 4 GiB; the third sample would start past it.
    TableMedia offsets(
        {qt::stts({{3, 1}}), qt::stsc({{1, 3, 1}}), qt::stsz({0x10, 0x10, 0x10}), qt::stco({0xFFFFFFE8})}, 3);
    EXPECT_EQ(offsets.at(1).offset, 0xFFFFFFF8u);
    EXPECT_EQ(offsets.outcomeAt(2), qtError(CMyQTException::kOutsideAtom));
    // Three samples of 2 GiB together.
    TableMedia sizes3({qt::stts({{3, 1}}), qt::stsc({{1, 3, 1}}), qt::stszCommon(0x80000000, 3), qt::stco({0})}, 3);
    EXPECT_EQ(sizes3.at(0, 1).size, 0x80000000u);
    EXPECT_EQ(sizes3.outcomeAt(0, 0), qtError(CMyQTException::kOutsideAtom));
    // The same with each size listed: the sum is 64-bit before it is checked.
    TableMedia listed(
        {qt::stts({{3, 1}}), qt::stsc({{1, 3, 1}}), qt::stsz({0x80000000, 0x80000000, 0x80000000}), qt::stco({0})}, 3);
    EXPECT_EQ(listed.outcomeAt(0, 0), qtError(CMyQTException::kOutsideAtom));
}

TEST(Tables, ReadersCheckEveryRead)
{
    Bytes stco = qt::stco({5, 6, 7}).bytes();
    CMyQTTable table(stco.data(), 4);
    EXPECT_EQ(table.GetCount(), 3);
    EXPECT_EQ(table.Get(2), 7u);
    EXPECT_QT_ERROR(table.Get(3), kOutsideAtom);
    EXPECT_QT_ERROR(table.Get(-1), kOutsideAtom);
    EXPECT_QT_ERROR(table.Get(0, 1), kOutsideAtom); // a field beyond the entry
    Bytes stsc = qt::stsc({{1, 2, 3}}).bytes();
    EXPECT_EQ(CMyQTTable(stsc.data(), 12).Get(0, 2), 3u);
    // A count beyond the atom, or a negative one, is the file's; reads stay inside.
    stco[15] = 4;
    CMyQTTable overlong(stco.data(), 4);
    EXPECT_EQ(overlong.GetCount(), 4);
    EXPECT_EQ(overlong.GetReadableCount(), 3);
    EXPECT_QT_ERROR(overlong.Get(3), kOutsideAtom);
    stco[12] = 0x80;
    CMyQTTable negative(stco.data(), 4);
    EXPECT_LT(negative.GetCount(), 0);
    EXPECT_QT_ERROR(negative.Get(0), kOutsideAtom);
    Bytes tiny = Atom("stco", Bytes(2, 0)).bytes();
    EXPECT_QT_ERROR(CMyQTTable(tiny.data(), 4), kOutsideAtom);
    Bytes stsz = qt::stsz({1, 2}).bytes();
    CMyQTSampleSizeTable sizesTable(stsz.data());
    EXPECT_EQ(sizesTable.GetEntry(1), 2u);
    EXPECT_QT_ERROR(sizesTable.GetEntry(2), kOutsideAtom);
}

} // namespace
} // namespace orvex::test

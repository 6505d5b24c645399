// The index operations the output pins use: handing out entries, moving the
// current index, the current time, and finding sync entries for seeks.
#include "MovFileParserFilter/QuickTimeMediaStreamInfo.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A stream info over a given index.
class FixedIndex : public CQuickTimeMediaStreamInfo {
public:
    explicit FixedIndex(const std::vector<MediaSampleRef> &entries)
    {
        for (const auto &entry : entries)
            AppendEntry(entry);
    }
    void BuildSampleIndex(const CMyQTMedia *, ULONGLONG) override {}
    void BuildMediaType(const CMyQTMedia *) override {}
};

// n entries of 1,000,000 units each, sync where syncAt says, size 100 + i.
std::vector<MediaSampleRef> entries(DWORD n, std::vector<DWORD> syncAt)
{
    std::vector<MediaSampleRef> out;
    for (DWORD i = 0; i < n; ++i) {
        MediaSampleRef e{};
        e.start = LONGLONG(i) * 1000000;
        e.stop = LONGLONG(i + 1) * 1000000;
        e.size = 100 + i;
        e.offset = 1000 + 10 * i;
        e.sampleCount = 1;
        for (DWORD s : syncAt)
            if (s == i) e.sync = 1;
        out.push_back(e);
    }
    return out;
}

TEST(StreamInfoConstruction, StartsEmptyWithTheEmptyMediaType)
{
    FixedIndex info({});
    EXPECT_EQ(info.GetEntryCount(), 0u);
    EXPECT_EQ(info.GetTotalBytes(), 0u);
    EXPECT_EQ(info.GetLargestEntry(), 0u);
    EXPECT_EQ(info.GetDuration(), 0);
    EXPECT_EQ(info.GetCurrentIndex(), 0u);
    EXPECT_EQ(info.GetCurrentTime(), 0);
    const CMediaType &type = info.GetMediaType();
    EXPECT_EQ(*type.Type(), GUID_NULL);
    EXPECT_EQ(*type.Subtype(), GUID_NULL);
    EXPECT_EQ(*type.FormatType(), GUID_NULL);
    EXPECT_TRUE(type.IsFixedSize());
    EXPECT_EQ(type.GetSampleSize(), 1u);
    EXPECT_FALSE(type.IsTemporalCompressed());
    EXPECT_EQ(type.FormatLength(), 0u);
}

TEST(StreamInfoConstruction, AppendingKeepsTotalsLargestAndDuration)
{
    auto list = entries(4, {0});
    list[2].size = 5000;
    FixedIndex info(list);
    EXPECT_EQ(info.GetTotalBytes(), 100u + 101u + 5000u + 103u);
    EXPECT_EQ(info.GetLargestEntry(), 5000u);
    EXPECT_EQ(info.GetDuration(), 4000000);
}

TEST(IndexWalk, HandsOutEachEntryOnceThenAnswersFalse)
{
    FixedIndex info(entries(3, {0}));
    MediaSampleRef entry{};
    DWORD index = 99;
    for (DWORD expected = 0; expected < 3; ++expected) {
        ASSERT_TRUE(info.GetNextMediaSampleRef(&entry, &index));
        EXPECT_EQ(index, expected);
        EXPECT_EQ(entry.size, 100 + expected);
        EXPECT_EQ(entry.offset, 1000u + 10 * expected);
    }
    EXPECT_FALSE(info.GetNextMediaSampleRef(&entry, &index));
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(info.GetCurrentIndex(), 3u);
}

TEST(IndexWalk, SetCurrentIndexRefusesTheEndAndKeepsTheCurrentIndex)
{
    FixedIndex info(entries(3, {0}));
    EXPECT_TRUE(info.SetCurrentIndex(2));
    EXPECT_FALSE(info.SetCurrentIndex(3));
    EXPECT_EQ(info.GetCurrentIndex(), 2u);
    EXPECT_TRUE(info.SetCurrentIndex(0));
    EXPECT_EQ(info.GetCurrentIndex(), 0u);
}

TEST(IndexWalk, CurrentTimeIsTheStartOfTheEntryHandedOutLast)
{
    FixedIndex info(entries(3, {0}));
    MediaSampleRef entry;
    DWORD index;
    EXPECT_EQ(info.GetCurrentTime(), 0);
    info.GetNextMediaSampleRef(&entry, &index);
    EXPECT_EQ(info.GetCurrentTime(), 0);
    info.GetNextMediaSampleRef(&entry, &index);
    EXPECT_EQ(info.GetCurrentTime(), 1000000);
    info.GetNextMediaSampleRef(&entry, &index);
    EXPECT_EQ(info.GetCurrentTime(), info.GetDuration());
}

struct SyncCase {
    const char *name;
    DWORD startIndex;
    LONGLONG time;
    bool found;
    DWORD index;
};

class FindSync : public testing::TestWithParam<SyncCase> {};

TEST_P(FindSync, LandsOnTheSyncEntryAtOrBeforeTheTime)
{
    // 60 entries, sync at 0 and 30.
    FixedIndex info(entries(60, {0, 30}));
    const SyncCase &c = GetParam();
    DWORD index = 12345;
    LONGLONG start = -1;
    ASSERT_EQ(info.FindSyncSampleRef(c.startIndex, c.time, &index, &start), c.found);
    if (c.found) {
        EXPECT_EQ(index, c.index);
        EXPECT_EQ(start, LONGLONG(c.index) * 1000000);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FindSync,
                         testing::Values(SyncCase{"InsideEntry45", 0, 45500000, true, 30},
                                         SyncCase{"InsideEntry20", 0, 20000000, true, 0},
                                         SyncCase{"OnTheSyncEntryItself", 0, 30000000, true, 30},
                                         SyncCase{"PastTheEnd", 0, 99000000, true, 30},
                                         SyncCase{"BeforeTheFirstEntry", 0, -5, true, 30},
                                         SyncCase{"NoSyncBetweenStartAndTime", 31, 45500000, false, 0},
                                         SyncCase{"NoSyncAfterStartPastTheEnd", 31, 99000000, false, 0},
                                         SyncCase{"StartIndexAtTheEnd", 60, 0, false, 0},
                                         SyncCase{"StartIndexBeyondTheEnd", 70, 0, false, 0}),
                         [](const testing::TestParamInfo<SyncCase> &info) { return info.param.name; });

TEST(FindNextSync, FindsTheFirstSyncEntryAtOrAfterTheStart)
{
    FixedIndex info(entries(60, {0, 30}));
    DWORD index = 0;
    LONGLONG start = 0;
    ASSERT_TRUE(info.FindNextSyncSampleRef(1, &index, &start));
    EXPECT_EQ(index, 30u);
    EXPECT_EQ(start, 30000000);
    ASSERT_TRUE(info.FindNextSyncSampleRef(30, &index, &start));
    EXPECT_EQ(index, 30u);
    EXPECT_FALSE(info.FindNextSyncSampleRef(31, &index, &start));
    EXPECT_FALSE(info.FindNextSyncSampleRef(60, &index, &start));
}

TEST(SeekToTime, MovesToTheSyncEntryOrLeavesTheIndexAlone)
{
    FixedIndex info(entries(60, {0, 30}));
    info.SetCurrentIndex(5);
    info.SeekToTime(45500000);
    EXPECT_EQ(info.GetCurrentIndex(), 30u);
    info.SeekToTime(10);
    EXPECT_EQ(info.GetCurrentIndex(), 0u);

    FixedIndex noSync(entries(10, {}));
    noSync.SetCurrentIndex(7);
    noSync.SeekToTime(2000000);
    EXPECT_EQ(noSync.GetCurrentIndex(), 7u);
}

} // namespace

// The index operations the output pins use: handing out entries, moving the
// current index, the current time, and finding sync entries for seeks.
#include "MovFileParserFilter/QuickTimeMediaStreamInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A stream info over n entries of 1,000,000 units each, sync where syncAt
// says, size 100 + i at 1000 + 10 i.
class FixedIndex : public CQuickTimeMediaStreamInfo {
public:
    FixedIndex(DWORD n, std::vector<DWORD> syncAt)
    {
        for (DWORD i = 0; i < n; ++i) {
            MediaSampleRef e{};
            e.start = LONGLONG(i) * 1000000;
            e.stop = LONGLONG(i + 1) * 1000000;
            e.size = i == 2 && n == 4 ? 5000 : 100 + i;
            e.offset = 1000 + 10 * i;
            e.sampleCount = 1;
            for (DWORD s : syncAt)
                e.sync |= s == i ? 1 : 0;
            AppendEntry(e);
        }
    }
    void BuildSampleIndex(const CMyQTMedia *, ULONGLONG) override {}
    void BuildMediaType(const CMyQTMedia *) override {}
};

TEST(StreamInfo, StartsEmptyWithTheEmptyMediaTypeAndKeepsTotals)
{
    FixedIndex empty(0, {});
    const CMediaType &type = empty.GetMediaType();
    EXPECT_TRUE(*type.Type() == GUID_NULL && *type.Subtype() == GUID_NULL && *type.FormatType() == GUID_NULL);
    EXPECT_TRUE(type.IsFixedSize() && !type.IsTemporalCompressed() && type.GetSampleSize() == 1 &&
                !type.FormatLength());
    EXPECT_EQ(empty.GetEntryCount() + empty.GetTotalBytes() + empty.GetLargestEntry() + empty.GetCurrentIndex(), 0u);
    EXPECT_EQ(empty.GetDuration() + empty.GetCurrentTime(), 0);
    FixedIndex four(4, {0});
    EXPECT_EQ(four.GetTotalBytes(), 100u + 101u + 5000u + 103u);
    EXPECT_EQ(four.GetLargestEntry(), 5000u);
    EXPECT_EQ(four.GetDuration(), 4000000);
}

TEST(IndexWalk, HandsOutEachEntryOnceMovesAndTellsTheTime)
{
    FixedIndex info(3, {0});
    MediaSampleRef entry{};
    DWORD index = 99;
    std::string walk;
    while (info.GetNextMediaSampleRef(&entry, &index))
        walk += std::to_string(index) + ":" + std::to_string(entry.size) + "@" + std::to_string(entry.offset) + " t" +
                std::to_string(info.GetCurrentTime()) + " ";
    EXPECT_EQ(walk, "0:100@1000 t0 1:101@1010 t1000000 2:102@1020 t3000000 ");
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(info.GetCurrentIndex(), 3u);
    EXPECT_TRUE(info.SetCurrentIndex(2));
    EXPECT_FALSE(info.SetCurrentIndex(3)); // the end is refused, the index kept
    EXPECT_EQ(info.GetCurrentIndex(), 2u);
}

TEST(FindSync, LandsOnTheSyncEntryAtOrBeforeTheTime)
{
    // 60 entries, sync at 0 and 30: "start index, time -> entry" (-1: none).
    struct Row {
        DWORD startIndex;
        LONGLONG time;
        long expected;
    };
    FixedIndex info(60, {0, 30});
    for (const Row &row :
         {Row{0, 45500000, 30}, Row{0, 20000000, 0}, Row{0, 30000000, 30}, Row{0, 99000000, 30}, Row{0, -5, 30},
          Row{31, 45500000, -1}, Row{31, 99000000, -1}, Row{60, 0, -1}, Row{70, 0, -1}}) {
        DWORD index = 12345;
        LONGLONG start = -1;
        const bool found = info.FindSyncSampleRef(row.startIndex, row.time, &index, &start);
        EXPECT_EQ(found ? long(index) : -1, row.expected) << row.startIndex << " " << row.time;
        EXPECT_EQ(found ? start : -1, found ? LONGLONG(index) * 1000000 : -1);
    }
    std::string next;
    for (DWORD from : {1, 30, 31, 60}) {
        DWORD index = 0;
        LONGLONG start = 0;
        next += info.FindNextSyncSampleRef(from, &index, &start)
                    ? std::to_string(index) + "@" + std::to_string(start) + " "
                    : "none ";
    }
    EXPECT_EQ(next, "30@30000000 30@30000000 none none ");
}

TEST(SeekToTime, MovesToTheSyncEntryOrLeavesTheIndexAlone)
{
    FixedIndex info(60, {0, 30});
    info.SetCurrentIndex(5);
    info.SeekToTime(45500000);
    EXPECT_EQ(info.GetCurrentIndex(), 30u);
    info.SeekToTime(10);
    EXPECT_EQ(info.GetCurrentIndex(), 0u);
    FixedIndex noSync(10, {});
    noSync.SetCurrentIndex(7);
    noSync.SeekToTime(2000000);
    EXPECT_EQ(noSync.GetCurrentIndex(), 7u);
}

} // namespace

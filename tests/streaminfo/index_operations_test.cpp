// The index operations the output pins use: handing out entries, moving the
// current index, the current time, and finding sync entries for seeks.
#include "MovFileParserFilter/QuickTimeMediaStreamInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A stream info over n entries of 1,000,000 units each, sync where syncAt
// says, size 100 + i (5000 for entry 2 of four) at 1000 + 10 i.
class FixedIndex : public CQuickTimeMediaStreamInfo {
public:
    FixedIndex(DWORD n, std::vector<DWORD> syncAt)
    {
        for (DWORD i = 0; i < n; ++i) {
            const bool sync = std::find(syncAt.begin(), syncAt.end(), i) != syncAt.end();
            AppendEntry(MediaSampleRef{LONGLONG(i) * 1000000, LONGLONG(i + 1) * 1000000,
                                       i == 2 && n == 4 ? 5000 : 100 + i, 1000 + 10 * i, sync ? 1u : 0u, 1});
        }
    }
    void BuildSampleIndex(const CMyQTMedia *, ULONGLONG) override {}
    void BuildMediaType(const CMyQTMedia *) override {}
};

TEST(StreamInfo, StartsEmptyWithTheEmptyMediaTypeAndKeepsTotals)
{
    FixedIndex empty(0, {}), four(4, {0});
    const CMediaType &type = empty.GetMediaType();
    EXPECT_TRUE(*type.Type() == GUID_NULL && *type.Subtype() == GUID_NULL && *type.FormatType() == GUID_NULL);
    EXPECT_TRUE(type.IsFixedSize() && !type.IsTemporalCompressed() && type.GetSampleSize() == 1 &&
                !type.FormatLength());
    std::ostringstream totals;
    for (const FixedIndex *info : {&empty, &four})
        totals << info->GetEntryCount() << " " << info->GetTotalBytes() << " " << info->GetLargestEntry() << " "
               << info->GetDuration() << " " << info->GetCurrentIndex() << " " << info->GetCurrentTime() << "; ";
    EXPECT_EQ(totals.str(), "0 0 0 0 0 0; 4 5304 5000 4000000 0 0; ");
}

TEST(IndexWalk, HandsOutEachEntryOnceMovesAndTellsTheTime)
{
    FixedIndex info(3, {0});
    MediaSampleRef entry{};
    DWORD index = 99;
    std::ostringstream walk;
    while (info.GetNextMediaSampleRef(&entry, &index))
        walk << index << ":" << entry.size << "@" << entry.offset << " t" << info.GetCurrentTime() << " ";
    // The end is refused, the index kept.
    walk << index << " " << info.GetCurrentIndex() << " " << info.SetCurrentIndex(2) << info.SetCurrentIndex(3) << " "
         << info.GetCurrentIndex();
    EXPECT_EQ(walk.str(), "0:100@1000 t0 1:101@1010 t1000000 2:102@1020 t3000000 2 3 10 2");
}

TEST(FindSync, LandsOnTheSyncEntryAtOrBeforeTheTimeOrTheNextOne)
{
    // 60 entries, sync at 0 and 30: "start index/time:entry@start" (none: not found).
    FixedIndex info(60, {0, 30});
    std::ostringstream found;
    for (auto [from, time] : std::vector<std::pair<DWORD, LONGLONG>>{
             {0, 45500000}, {0, 20000000}, {0, 30000000}, {0, 99000000}, {0, -5}, {31, 45500000}, {60, 0}, {70, 0}}) {
        DWORD index = 12345;
        LONGLONG start = -1;
        found << from << "/" << time << ":";
        (info.FindSyncSampleRef(from, time, &index, &start) ? found << index << "@" << start : found << "none") << " ";
    }
    for (DWORD from : {1, 30, 31, 60}) {
        DWORD index = 0;
        LONGLONG start = 0;
        found << "next" << from << ":";
        (info.FindNextSyncSampleRef(from, &index, &start) ? found << index << "@" << start : found << "none") << " ";
    }
    EXPECT_EQ(found.str(), "0/45500000:30@30000000 0/20000000:0@0 0/30000000:30@30000000 0/99000000:30@30000000 "
                           "0/-5:30@30000000 31/45500000:none 60/0:none 70/0:none next1:30@30000000 "
                           "next30:30@30000000 next31:none next60:none ");
}

TEST(SeekToTime, MovesToTheSyncEntryOrLeavesTheIndexAlone)
{
    FixedIndex info(60, {0, 30}), noSync(10, {});
    std::ostringstream moves;
    for (auto [stream, from, time] : {std::tuple{&info, 5, 45500000}, {&info, 30, 10}, {&noSync, 7, 2000000}}) {
        stream->SetCurrentIndex(DWORD(from));
        stream->SeekToTime(time);
        moves << stream->GetCurrentIndex() << " ";
    }
    EXPECT_EQ(moves.str(), "30 0 7 ");
}

} // namespace

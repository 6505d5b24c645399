// The index operations the output pins use for seeks: finding sync entries
// and moving the current index to them.
#include "MovFileParserFilter/QuickTimeMediaStreamInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A stream info over n entries of 1,000,000 units each, sync where syncAt says.
class FixedIndex : public CQuickTimeMediaStreamInfo {
public:
    FixedIndex(DWORD n, std::vector<DWORD> syncAt)
    {
        for (DWORD i = 0; i < n; ++i) {
            const bool sync = std::find(syncAt.begin(), syncAt.end(), i) != syncAt.end();
            AppendEntry(MediaSampleRef{LONGLONG(i) * 1000000, LONGLONG(i + 1) * 1000000, 100, 1000 + 100 * i,
                                       sync ? 1u : 0u, 1});
        }
    }
    void BuildSampleIndex(const CMyQTMedia *, ULONGLONG) override {}
    void BuildMediaType(const CMyQTMedia *) override {}
};

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
    // A seek moves to the sync entry, or without one leaves the index alone.
    FixedIndex noSync(10, {});
    for (auto [stream, from, time] : {std::tuple{&info, 5, 45500000}, {&info, 30, 10}, {&noSync, 7, 2000000}}) {
        stream->SetCurrentIndex(DWORD(from));
        stream->SeekToTime(time);
        found << "seek" << stream->GetCurrentIndex() << " ";
    }
    EXPECT_EQ(found.str(), "0/45500000:30@30000000 0/20000000:0@0 0/30000000:30@30000000 0/99000000:30@30000000 "
                           "0/-5:30@30000000 31/45500000:none 60/0:none 70/0:none next1:30@30000000 "
                           "next30:30@30000000 next31:none next60:none seek30 seek0 seek7 ");
}

} // namespace

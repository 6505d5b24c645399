#include "annexb_stream.h"

#include "support/annexb.h"

namespace declib_test {

AnnexBStream GroupSamples(const std::vector<Nal> &nals)
{
    AnnexBStream stream;
    Sample current;
    bool currentHasSlice = false;
    auto flush = [&] {
        if (!current.empty()) stream.samples.push_back(current);
        current.clear();
        currentHasSlice = false;
    };
    for (const Nal &nal : nals) {
        const unsigned type = nal[0] & 0x1F;
        if (type == 7 && stream.sps.empty()) {
            stream.sps = nal;
            continue;
        }
        if (type == 8 && stream.pps.empty()) {
            stream.pps = nal;
            continue;
        }
        const bool slice = type == 1 || type == 5;
        // first_mb_in_slice is ue(v): a leading 1 bit means 0, a new picture.
        const bool firstSlice = slice && nal.size() > 1 && (nal[1] & 0x80);
        if (currentHasSlice && (firstSlice || !slice)) flush();
        current.push_back(nal);
        currentHasSlice = currentHasSlice || slice;
    }
    flush();
    return stream;
}

std::string StreamPath(const std::string &name)
{
    return std::string(ORVEX_TEST_DATA_DIR) + "/decoder/" + name;
}

AnnexBStream LoadStream(const std::string &name)
{
    return GroupSamples(orvex::test::splitAnnexB(orvex::test::readFileBytes(StreamPath(name))));
}

} // namespace declib_test

#include "declib_harness.h"

#include "support/annexb.h"

namespace declib_test {

std::string StreamPath(const std::string &name)
{
    return std::string(ORVEX_TEST_DATA_DIR) + "/decoder/" + name;
}

AnnexBStream LoadStream(const std::string &name)
{
    return LoadAnnexB(StreamPath(name));
}

AnnexBStream LoadAnnexB(const std::string &path)
{
    const orvex::test::H264Stream parsed = orvex::test::parseAnnexB(orvex::test::readFileBytes(path));
    AnnexBStream stream{parsed.sps, parsed.pps, {}};
    for (const orvex::test::AccessUnit &unit : parsed.accessUnits) {
        Sample &sample = stream.samples.emplace_back();
        for (size_t at = 0; at + 4 <= unit.sample.size();) { // units behind 4-byte lengths
            const size_t n = size_t(unit.sample[at]) << 24 | size_t(unit.sample[at + 1]) << 16 |
                             size_t(unit.sample[at + 2]) << 8 | unit.sample[at + 3];
            sample.emplace_back(unit.sample.begin() + std::ptrdiff_t(at + 4),
                                unit.sample.begin() + std::ptrdiff_t(at + 4 + n));
            at += 4 + n;
        }
    }
    return stream;
}

} // namespace declib_test

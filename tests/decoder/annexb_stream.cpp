#include "annexb_stream.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace declib_test {

std::vector<Nal> SplitAnnexB(const std::vector<uint8_t> &bytes)
{
    std::vector<Nal> nals;
    const size_t n = bytes.size();
    size_t i = 0;
    auto startCodeAt = [&](size_t p) { return p + 3 <= n && bytes[p] == 0 && bytes[p + 1] == 0 && bytes[p + 2] == 1; };
    while (i < n && !startCodeAt(i))
        ++i;
    while (i < n) {
        const size_t begin = i + 3;
        size_t end = begin;
        while (end < n && !startCodeAt(end))
            ++end;
        const size_t next = end;
        while (end > begin && bytes[end - 1] == 0)
            --end;
        if (end > begin)
            nals.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(begin),
                              bytes.begin() + static_cast<std::ptrdiff_t>(end));
        i = next;
    }
    return nals;
}

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

std::vector<uint8_t> ReadFileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string StreamPath(const std::string &name)
{
    return std::string(ORVEX_TEST_DATA_DIR) + "/decoder/" + name;
}

AnnexBStream LoadStream(const std::string &name)
{
    return GroupSamples(SplitAnnexB(ReadFileBytes(StreamPath(name))));
}

} // namespace declib_test

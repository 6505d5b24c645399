#include "support/annexb.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace orvex::test {

namespace {

// The NAL units between start codes; zero bytes in front of a start code
// belong to it.
std::vector<Bytes> splitAnnexB(const Bytes &stream)
{
    std::vector<Bytes> nals;
    size_t start = std::string::npos;
    const auto finish = [&](size_t end) {
        if (start == std::string::npos) return;
        while (end > start && stream[end - 1] == 0)
            --end;
        if (end > start) nals.emplace_back(stream.begin() + long(start), stream.begin() + long(end));
    };
    for (size_t i = 0; i + 2 < stream.size();) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
            finish(i);
            start = i += 3;
        } else {
            ++i;
        }
    }
    finish(stream.size());
    return nals;
}

} // namespace

H264Stream parseAnnexB(const Bytes &stream)
{
    enum : uint8_t { kSlice = 1, kIdrSlice = 5, kSei = 6, kSps = 7, kPps = 8, kAud = 9 };
    H264Stream out;
    AccessUnit current;
    bool hasSlice = false;
    for (const Bytes &nal : splitAnnexB(stream)) {
        const uint8_t type = nal[0] & 0x1F;
        const bool slice = type == kSlice || type == kIdrSlice;
        // first_mb_in_slice is ue(v): 0 is the single bit 1 right after the NAL header.
        const bool startsPicture = slice && nal.size() > 1 && (nal[1] & 0x80);
        if (hasSlice && (type == kAud || type == kSps || type == kPps || type == kSei || startsPicture)) {
            out.accessUnits.push_back(std::move(current));
            current = AccessUnit{};
            hasSlice = false;
        }
        if (type == kSps || type == kPps) {
            Bytes &set = type == kSps ? out.sps : out.pps;
            if (set.empty()) set = nal;
        } else if (type != kAud) {
            const auto n = static_cast<uint32_t>(nal.size());
            current.sample.insert(current.sample.end(),
                                  {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
            current.sample.insert(current.sample.end(), nal.begin(), nal.end());
            hasSlice = hasSlice || slice;
            current.idr = current.idr || type == kIdrSlice;
        }
    }
    if (hasSlice) out.accessUnits.push_back(std::move(current));
    return out;
}

Bytes readFileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace orvex::test

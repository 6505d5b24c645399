#include "support/annexb.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace orvex::test {

namespace {

enum NalType : uint8_t { kSlice = 1, kIdrSlice = 5, kSei = 6, kSps = 7, kPps = 8, kAud = 9 };

uint8_t nalType(const Bytes &nal)
{
    return nal.empty() ? 0 : nal[0] & 0x1F;
}

bool isSlice(uint8_t type)
{
    return type == kSlice || type == kIdrSlice;
}

// first_mb_in_slice is ue(v): 0 is the single bit 1 right after the NAL header.
bool startsPicture(const Bytes &nal)
{
    return nal.size() > 1 && (nal[1] & 0x80);
}

void appendPrefixed(Bytes &sample, const Bytes &nal)
{
    ByteWriter w;
    w.be32(static_cast<uint32_t>(nal.size())).bytes(nal);
    sample.insert(sample.end(), w.data().begin(), w.data().end());
}

std::vector<Bytes> splitAnnexB(const Bytes &stream)
{
    std::vector<Bytes> nals;
    size_t i = 0, start = std::string::npos;
    auto finish = [&](size_t end) {
        if (start == std::string::npos) return;
        // Trailing zero bytes belong to the next start code.
        while (end > start && stream[end - 1] == 0)
            --end;
        if (end > start)
            nals.emplace_back(stream.begin() + static_cast<long>(start), stream.begin() + static_cast<long>(end));
    };
    while (i + 2 < stream.size()) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
            finish(i);
            i += 3;
            start = i;
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
    H264Stream out;
    AccessUnit current;
    bool hasSlice = false;
    auto flush = [&] {
        if (hasSlice) out.accessUnits.push_back(std::move(current));
        current = AccessUnit{};
        hasSlice = false;
    };
    for (const Bytes &nal : splitAnnexB(stream)) {
        uint8_t type = nalType(nal);
        bool opensUnit = type == kAud || type == kSps || type == kPps || type == kSei;
        if (hasSlice && ((opensUnit) || (isSlice(type) && startsPicture(nal)))) flush();
        if (type == kSps) {
            if (out.sps.empty()) out.sps = nal;
            continue;
        }
        if (type == kPps) {
            if (out.pps.empty()) out.pps = nal;
            continue;
        }
        if (type == kAud) continue;
        appendPrefixed(current.sample, nal);
        if (isSlice(type)) hasSlice = true;
        if (type == kIdrSlice) current.idr = true;
    }
    flush();
    return out;
}

Bytes readFileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace orvex::test

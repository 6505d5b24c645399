#include "support/atom_builder.h"

#include <cstring>
#include <sstream>
#include <stdexcept>

namespace orvex::test {

uint32_t fourccValue(const std::string &code)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value = (value << 8) | uint8_t(i < code.size() ? code[i] : ' ');
    return value;
}

Atom Atom::raw(Bytes bytes)
{
    Atom atom("raw ", std::move(bytes));
    atom.m_raw = true;
    return atom;
}

Atom *Atom::find(const std::string &path)
{
    Atom *atom = this;
    std::istringstream steps(path);
    for (std::string step; atom && std::getline(steps, step, '/');) {
        size_t wanted = 0;
        if (size_t bracket = step.find('['); bracket != std::string::npos) {
            wanted = std::stoul(step.substr(bracket + 1));
            step.resize(bracket);
        }
        Atom *parent = atom;
        atom = nullptr;
        for (auto &child : parent->m_children)
            if ((step == "*" || child.m_type == step) && wanted-- == 0 && !atom) atom = &child;
    }
    return atom;
}

Atom &Atom::edit(const std::string &changes)
{
    std::istringstream all(changes);
    for (std::string one; std::getline(all, one, ';');) {
        std::istringstream in(one);
        std::string path, what, type;
        long long at = 0, value = 0;
        in >> path >> what;
        const size_t slash = path.rfind('/');
        Atom *parent = slash == std::string::npos ? this : find(path.substr(0, slash));
        Atom *atom = find(path);
        if (!atom || !parent) throw std::runtime_error("no atom at " + path);
        if (what == "type") in >> type, atom->m_type = type;
        in >> at >> value;
        if (what == "size") atom->setSize(uint32_t(at));
        if (what == "cut") atom->m_body.resize(size_t(at));
        if (what == "byte") atom->m_body.at(size_t(at)) = uint8_t(value);
        for (int k = 0; what == "word" && k < 4; ++k)
            atom->m_body.at(size_t(at) + k) = uint8_t(uint32_t(value) >> (24 - 8 * k));
        if (what == "drop") parent->m_children.erase(parent->m_children.begin() + (atom - parent->m_children.data()));
    }
    return *this;
}

size_t Atom::length() const
{
    if (m_raw) return m_body.size();
    size_t total = 8 + m_body.size();
    for (const auto &child : m_children)
        total += child.length();
    return total;
}

void Atom::writeTo(Bytes &out) const
{
    if (!m_raw) {
        const Bytes header = ByteWriter().be32(m_sizeOverridden ? m_size : uint32_t(length())).fourcc(m_type).data();
        out.insert(out.end(), header.begin(), header.end());
    }
    out.insert(out.end(), m_body.begin(), m_body.end());
    for (const auto &child : m_children)
        child.writeTo(out);
}

Bytes Atom::bytes() const
{
    Bytes out;
    writeTo(out);
    return out;
}

Bytes fileBytes(const std::vector<Atom> &atoms)
{
    Bytes out;
    for (const auto &atom : atoms)
        atom.writeTo(out);
    return out;
}

namespace qt {
namespace {

// A sample description record: reserved bytes, data reference index 1, the body, the extensions.
Atom description(const std::string &format, const ByteWriter &body, const std::vector<Atom> &extensions)
{
    Bytes bytes = ByteWriter().zeros(6).be16(1).bytes(body.data()).data();
    for (const auto &extension : extensions)
        extension.writeTo(bytes);
    return Atom(format, bytes);
}

ByteWriter &matrix(ByteWriter &w)
{
    for (uint32_t v : {0x00010000u, 0u, 0u, 0u, 0x00010000u, 0u, 0u, 0u, 0x40000000u})
        w.be32(v);
    return w;
}

Atom withEntries(Atom atom, std::vector<Atom> entries)
{
    for (auto &e : entries)
        atom.add(std::move(e));
    return atom;
}

} // namespace

Atom mvhd(uint32_t timeScale, uint32_t duration)
{
    ByteWriter w;
    w.zeros(12).be32(timeScale).be32(duration).be32(0x00010000).be16(0x0100).zeros(10);
    return Atom("mvhd", matrix(w).zeros(24).be32(3).data()); // preview ... current time, next track id
}

Atom mdhd(int32_t timeScale, int32_t duration)
{
    return Atom("mdhd", ByteWriter().zeros(12).be32(uint32_t(timeScale)).be32(uint32_t(duration)).zeros(4).data());
}

Atom hdlr(const std::string &componentType, const std::string &subtype, const std::string &name,
          const std::string &manufacturer)
{
    ByteWriter w;
    w.be32(0).fourcc(componentType).fourcc(subtype).fourcc(manufacturer).zeros(8).u8(uint32_t(name.size()));
    return Atom("hdlr", w.bytes(name.data(), name.size()).data());
}

Atom table(const std::string &type, const std::vector<uint32_t> &words, uint32_t count)
{
    ByteWriter w;
    w.be32(0).be32(count);
    for (uint32_t word : words)
        w.be32(word);
    return Atom(type, w.data());
}

std::vector<Atom> tables(const std::string &text)
{
    std::vector<Atom> out;
    std::istringstream all(text);
    for (std::string one; std::getline(all, one, ';');) {
        std::istringstream in(one);
        std::string type, word;
        in >> type;
        std::vector<uint32_t> words;
        long long count = -1, common = -1;
        while (in >> word) {
            if (word[0] == '#' || word[0] == '=') {
                (word[0] == '#' ? count : common) = std::stoll(word.substr(1));
            } else if (size_t at = word.find('@'), plus = word.find('+'); at != std::string::npos) {
                const long long from = std::stoll(word.substr(at + 1)), step = std::stoll(word.substr(plus + 1));
                for (long long i = 0; i < std::stoll(word); ++i)
                    words.push_back(uint32_t(from + i * step));
            } else {
                words.push_back(uint32_t(std::stoll(word)));
            }
        }
        const size_t width = type == "stts" || type == "ctts" ? 2 : type == "stsc" ? 3 : 1;
        if (count < 0) count = (long long)(words.size() / width);
        if (type == "stsz") words.insert(words.begin(), uint32_t(count)), count = common < 0 ? 0 : common;
        out.push_back(table(type, words, uint32_t(count)));
    }
    return out;
}

Atom stsd(std::vector<Atom> entries)
{
    Atom atom = table("stsd", {}, uint32_t(entries.size()));
    return withEntries(std::move(atom), std::move(entries));
}

Atom imageDescription(const std::string &format, int16_t width, int16_t height, std::vector<Atom> extensions)
{
    ByteWriter w;
    w.be32(0).fourcc("appl").be32(0).be32(512).be16(uint16_t(width)).be16(uint16_t(height));
    w.be32(0x00480000).be32(0x00480000).be32(0).be16(1).u8(4).bytes("test", 4).zeros(27).be16(24).be16(0xFFFF);
    return description(format, w, extensions);
}

Atom soundDescription(const std::string &format, uint16_t channels, uint16_t bits, uint32_t sampleRate, int version,
                      uint32_t bytesPerFrame, std::vector<Atom> extensions)
{
    ByteWriter w;
    if (version == 2) {
        const double rate = sampleRate;
        uint64_t rateBits;
        std::memcpy(&rateBits, &rate, sizeof(rateBits));
        w.be16(2).be16(0).be32(0).be16(3).be16(16).be16(0xFFFE).be16(0).be32(0x00010000).be32(72).be64(rateBits);
        w.be32(channels).be32(0x7F000000).be32(bits).be32(0x0C).be32(channels * bits / 8u).be32(1);
        return description(format, w, extensions);
    }
    w.be16(uint32_t(version)).be16(0).be32(0).be16(channels).be16(bits).be16(version == 1 ? 0xFFFE : 0).be16(0);
    w.be32(sampleRate << 16);
    if (version == 1) w.be32(1).be32(bytesPerFrame / (channels ? channels : 1)).be32(bytesPerFrame).be32(bits / 8u);
    return description(format, w, extensions);
}

Atom avcC(const Bytes &sps, const Bytes &pps)
{
    ByteWriter w;
    w.u8(1).u8(sps.size() > 1 ? sps[1] : 66).u8(sps.size() > 2 ? sps[2] : 0).u8(sps.size() > 3 ? sps[3] : 30);
    w.u8(0xFF).u8(0xE1).be16(uint32_t(sps.size())).bytes(sps).u8(1).be16(uint32_t(pps.size())).bytes(pps);
    return Atom("avcC", w.data());
}

Atom udtaCameraTag()
{
    return Atom("udta", std::vector<Atom>{Atom("ORVX", ByteWriter().bytes("OrvexAVC0001", 12).data())});
}

namespace {

Atom tkhd(uint32_t trackId, uint32_t duration)
{
    ByteWriter w;
    w.be32(0x0000000F).zeros(8).be32(trackId).be32(0).be32(duration).zeros(12).be16(0x0100).be16(0);
    return Atom("tkhd", matrix(w).zeros(8).data());
}

Atom edts(const std::vector<uint32_t> &words)
{
    return Atom("edts", std::vector<Atom>{table("elst", words, uint32_t(words.size() / 3))});
}

} // namespace

Atom trak(const TrackAtoms &track)
{
    Atom mediaHeader = track.mediaType == "vide"   ? Atom("vmhd", ByteWriter().be32(1).zeros(8).data())
                       : track.mediaType == "soun" ? Atom("smhd", ByteWriter().be32(0).zeros(4).data())
                                                   : Atom("gmhd", std::vector<Atom>{});
    Atom dinf("dinf", std::vector<Atom>{table("dref", {}, 1).add(Atom("url ", ByteWriter().be32(1).data()))});
    Atom stbl = withEntries(Atom("stbl", std::vector<Atom>{track.sampleDescriptions}), track.tables);
    Atom minf("minf", std::vector<Atom>{mediaHeader, hdlr("dhlr", "url ", "DataHandler"), dinf, stbl});
    Atom mdia("mdia", std::vector<Atom>{mdhd(track.timeScale, track.duration),
                                        hdlr("mhlr", track.mediaType, "MediaHandler"), minf});
    Atom trakAtom("trak", std::vector<Atom>{tkhd(track.trackId, track.trackDuration)});
    if (!track.edits.empty()) trakAtom.add(edts(track.edits));
    return trakAtom.add(mdia);
}

} // namespace qt
} // namespace orvex::test

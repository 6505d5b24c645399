#include "support/atom_builder.h"

#include <cstring>

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
    size_t slash = path.find('/');
    std::string step = path.substr(0, slash);
    size_t wanted = 0;
    if (size_t bracket = step.find('['); bracket != std::string::npos) {
        wanted = std::stoul(step.substr(bracket + 1));
        step = step.substr(0, bracket);
    }
    for (auto &child : m_children)
        if (child.m_type == step && wanted-- == 0)
            return slash == std::string::npos ? &child : child.find(path.substr(slash + 1));
    return nullptr;
}

size_t Atom::length() const
{
    if (m_raw) return m_body.size();
    size_t total = 8 + m_body.size() + m_tail.size();
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
    out.insert(out.end(), m_tail.begin(), m_tail.end());
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

// Version and flags, the entry count, then the entries' words.
Atom table(const std::string &type, size_t count, const std::vector<uint32_t> &words)
{
    ByteWriter w;
    w.be32(0).be32(uint32_t(count));
    for (uint32_t word : words)
        w.be32(word);
    return Atom(type, w.data());
}

Atom withEntries(Atom atom, std::vector<Atom> entries)
{
    for (auto &e : entries)
        atom.add(std::move(e));
    return atom;
}

// A sample description record: reserved bytes, data reference index 1, the body, the extensions.
Atom description(const std::string &format, const ByteWriter &body, const std::vector<Atom> &extensions)
{
    Atom atom(format, ByteWriter().zeros(6).be16(1).bytes(body.data()).data());
    for (const auto &extension : extensions)
        extension.writeTo(atom.body());
    return atom;
}

void matrix(ByteWriter &w)
{
    for (uint32_t v : {0x00010000u, 0u, 0u, 0u, 0x00010000u, 0u, 0u, 0u, 0x40000000u})
        w.be32(v);
}

} // namespace

Atom mvhd(uint32_t timeScale, uint32_t duration)
{
    ByteWriter w;
    w.zeros(12).be32(timeScale).be32(duration).be32(0x00010000).be16(0x0100).zeros(10);
    matrix(w);
    return Atom("mvhd", w.zeros(24).be32(3).data()); // preview ... current time, next track id
}

Atom tkhd(uint32_t trackId, uint32_t duration, uint16_t width, uint16_t height)
{
    ByteWriter w;
    w.be32(0x0000000F).zeros(8).be32(trackId).be32(0).be32(duration).zeros(12).be16(width || height ? 0 : 0x0100);
    matrix(w.be16(0));
    return Atom("tkhd", w.be32(uint32_t(width) << 16).be32(uint32_t(height) << 16).data());
}

Atom elst(const std::vector<EditEntry> &entries)
{
    std::vector<uint32_t> words;
    for (const auto &e : entries)
        words.insert(words.end(), {e.trackDuration, uint32_t(e.mediaTime), e.mediaRate});
    return table("elst", entries.size(), words);
}

Atom edts(const std::vector<EditEntry> &entries)
{
    return Atom("edts", std::vector<Atom>{elst(entries)});
}

Atom mdhd(int32_t timeScale, int32_t duration)
{
    return Atom("mdhd", ByteWriter().zeros(12).be32(uint32_t(timeScale)).be32(uint32_t(duration)).zeros(4).data());
}

Atom hdlr(const std::string &componentType, const std::string &subtype, const std::string &name,
          const std::string &manufacturer)
{
    ByteWriter w;
    w.be32(0).fourcc(componentType).fourcc(subtype).fourcc(manufacturer).zeros(8).pascal(name);
    return Atom("hdlr", w.data());
}

Atom dataReference(const std::string &kind, uint32_t flags, Bytes data)
{
    return Atom(kind, ByteWriter().be32(flags).bytes(data).data());
}

Atom dref(std::vector<Atom> entries)
{
    Atom atom = table("dref", entries.size(), {});
    return withEntries(std::move(atom), std::move(entries));
}

Atom dinfSelf()
{
    return Atom("dinf", std::vector<Atom>{dref({dataReference("url ", 1)})});
}

Atom stsd(std::vector<Atom> entries)
{
    Atom atom = table("stsd", entries.size(), {});
    return withEntries(std::move(atom), std::move(entries));
}

Atom imageDescription(const std::string &format, int16_t width, int16_t height, std::vector<Atom> extensions,
                      uint16_t depth)
{
    ByteWriter w;
    w.be32(0).fourcc("appl").be32(0).be32(512).be16(uint16_t(width)).be16(uint16_t(height));
    w.be32(0x00480000).be32(0x00480000).be32(0).be16(1).pascal("test", 32).be16(depth).be16(0xFFFF);
    return description(format, w, extensions);
}

Atom soundDescriptionV0(const std::string &format, uint16_t channels, uint16_t bits, uint32_t sampleRate,
                        std::vector<Atom> extensions)
{
    ByteWriter w;
    w.be16(0).be16(0).be32(0).be16(channels).be16(bits).be16(0).be16(0).be32(sampleRate << 16);
    return description(format, w, extensions);
}

Atom soundDescriptionV1(const std::string &format, uint16_t channels, uint16_t bits, uint32_t sampleRate,
                        uint32_t bytesPerFrame, std::vector<Atom> extensions)
{
    ByteWriter w;
    w.be16(1).be16(0).be32(0).be16(channels).be16(bits).be16(0xFFFE).be16(0).be32(sampleRate << 16);
    w.be32(1).be32(bytesPerFrame / (channels ? channels : 1)).be32(bytesPerFrame).be32(bits / 8);
    return description(format, w, extensions);
}

Atom soundDescriptionV2(const std::string &format, uint32_t channels, uint32_t bits, double sampleRate)
{
    uint64_t rateBits;
    std::memcpy(&rateBits, &sampleRate, sizeof(rateBits));
    ByteWriter w;
    w.be16(2).be16(0).be32(0).be16(3).be16(16).be16(0xFFFE).be16(0).be32(0x00010000).be32(72);
    w.be64(rateBits).be32(channels).be32(0x7F000000).be32(bits).be32(0x0C).be32(channels * bits / 8).be32(1);
    return description(format, w, {});
}

Atom avcC(const Bytes &sps, const Bytes &pps)
{
    ByteWriter w;
    w.u8(1).u8(sps.size() > 1 ? sps[1] : 66).u8(sps.size() > 2 ? sps[2] : 0).u8(sps.size() > 3 ? sps[3] : 30);
    w.u8(0xFF).u8(0xE1).be16(uint32_t(sps.size())).bytes(sps).u8(1).be16(uint32_t(pps.size())).bytes(pps);
    return Atom("avcC", w.data());
}

Atom stts(const std::vector<std::pair<uint32_t, uint32_t>> &countAndDuration)
{
    std::vector<uint32_t> words;
    for (const auto &[count, duration] : countAndDuration)
        words.insert(words.end(), {count, duration});
    return table("stts", countAndDuration.size(), words);
}

Atom stss(const std::vector<uint32_t> &syncSampleNumbers)
{
    return table("stss", syncSampleNumbers.size(), syncSampleNumbers);
}

Atom stsc(const std::vector<ChunkRun> &runs)
{
    std::vector<uint32_t> words;
    for (const auto &r : runs)
        words.insert(words.end(), {r.firstChunk, r.samplesPerChunk, r.descriptionIndex});
    return table("stsc", runs.size(), words);
}

Atom stco(const std::vector<uint32_t> &offsets)
{
    return table("stco", offsets.size(), offsets);
}

Atom stsz(const std::vector<uint32_t> &sizes)
{
    std::vector<uint32_t> words{uint32_t(sizes.size())}; // after the common size 0
    words.insert(words.end(), sizes.begin(), sizes.end());
    return table("stsz", 0, words);
}

Atom stszCommon(uint32_t commonSize, uint32_t count)
{
    return table("stsz", commonSize, {count});
}

Atom ctts(const std::vector<std::pair<uint32_t, int32_t>> &countAndOffset)
{
    std::vector<uint32_t> words;
    for (const auto &[count, offset] : countAndOffset)
        words.insert(words.end(), {count, uint32_t(offset)});
    return table("ctts", countAndOffset.size(), words);
}

Atom cameraTag()
{
    return Atom("ORVX", ByteWriter().bytes("OrvexAVC0001", 12).data());
}

Atom udtaCameraTag()
{
    return Atom("udta", std::vector<Atom>{cameraTag()});
}

Atom trak(const TrackAtoms &track)
{
    Atom mediaHeader = track.mediaType == "vide"   ? Atom("vmhd", ByteWriter().be32(1).zeros(8).data())
                       : track.mediaType == "soun" ? Atom("smhd", ByteWriter().be32(0).zeros(4).data())
                                                   : Atom("gmhd", std::vector<Atom>{});
    Atom stbl = withEntries(Atom("stbl", std::vector<Atom>{track.sampleDescriptions}), track.tables);
    Atom minf("minf", std::vector<Atom>{mediaHeader, hdlr("dhlr", "url ", "DataHandler"), dinfSelf(), stbl});
    Atom mdia("mdia", std::vector<Atom>{mdhd(track.timeScale, track.duration),
                                        hdlr("mhlr", track.mediaType, "MediaHandler"), minf});
    Atom trakAtom("trak", std::vector<Atom>{tkhd(track.trackId, track.trackDuration)});
    if (!track.edits.empty()) trakAtom.add(edts(track.edits));
    return trakAtom.add(mdia);
}

} // namespace qt
} // namespace orvex::test

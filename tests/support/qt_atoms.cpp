#include "support/qt_atoms.h"

#include <cstring>

namespace orvex::test::qt {

namespace {

// Version and flags, then the entry count.
ByteWriter tableHead(uint32_t count, uint32_t flags = 0)
{
    ByteWriter w;
    w.be32(flags).be32(count);
    return w;
}

Bytes withExtensions(ByteWriter &w, const std::vector<Atom> &extensions)
{
    Bytes out = w.data();
    for (const auto &extension : extensions)
        extension.writeTo(out);
    return out;
}

// Common head of a sample description after its size and format.
void descriptionHead(ByteWriter &w)
{
    w.zeros(6).be16(1);
}

} // namespace

Atom mvhd(uint32_t timeScale, uint32_t duration)
{
    ByteWriter w;
    w.be32(0).be32(0).be32(0).be32(timeScale).be32(duration).be32(0x00010000).be16(0x0100).zeros(10);
    // Matrix, then preview, poster, selection and current times, next track id.
    const uint32_t matrix[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
    for (uint32_t v : matrix)
        w.be32(v);
    w.zeros(24).be32(3);
    return Atom("mvhd", w.data());
}

Atom tkhd(uint32_t trackId, uint32_t duration, uint16_t width, uint16_t height)
{
    ByteWriter w;
    w.be32(0x0000000F).be32(0).be32(0).be32(trackId).be32(0).be32(duration).zeros(8).be16(0).be16(0);
    w.be16(width || height ? 0 : 0x0100).be16(0);
    const uint32_t matrix[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
    for (uint32_t v : matrix)
        w.be32(v);
    w.be32(uint32_t(width) << 16).be32(uint32_t(height) << 16);
    return Atom("tkhd", w.data());
}

Atom elst(const std::vector<EditEntry> &entries)
{
    ByteWriter w = tableHead(static_cast<uint32_t>(entries.size()));
    for (const auto &e : entries)
        w.be32(e.trackDuration).be32(static_cast<uint32_t>(e.mediaTime)).be32(e.mediaRate);
    return Atom("elst", w.data());
}

Atom edts(const std::vector<EditEntry> &entries)
{
    return Atom("edts", std::vector<Atom>{elst(entries)});
}

Atom mdhd(int32_t timeScale, int32_t duration)
{
    ByteWriter w;
    w.be32(0).be32(0).be32(0).be32(static_cast<uint32_t>(timeScale)).be32(static_cast<uint32_t>(duration));
    w.be16(0).be16(0);
    return Atom("mdhd", w.data());
}

Atom hdlr(const std::string &componentType, const std::string &subtype, const std::string &name,
          const std::string &manufacturer)
{
    ByteWriter w;
    w.be32(0).fourcc(componentType).fourcc(subtype).fourcc(manufacturer).be32(0).be32(0).pascal(name);
    return Atom("hdlr", w.data());
}

Atom dataReference(const std::string &kind, uint32_t flags, Bytes data)
{
    ByteWriter w;
    w.be32(flags).bytes(data);
    return Atom(kind, w.data());
}

Atom dref(std::vector<Atom> entries)
{
    Atom atom("dref", tableHead(static_cast<uint32_t>(entries.size())).data());
    for (auto &e : entries)
        atom.add(std::move(e));
    return atom;
}

Atom dinfSelf()
{
    return Atom("dinf", std::vector<Atom>{dref({dataReference("url ", 1)})});
}

Atom stsd(std::vector<Atom> entries)
{
    Atom atom("stsd", tableHead(static_cast<uint32_t>(entries.size())).data());
    for (auto &e : entries)
        atom.add(std::move(e));
    return atom;
}

Atom imageDescription(const std::string &format, int16_t width, int16_t height, std::vector<Atom> extensions,
                      uint16_t depth)
{
    ByteWriter w;
    descriptionHead(w);
    w.be16(0).be16(0).fourcc("appl").be32(0).be32(512);
    w.be16(static_cast<uint16_t>(width)).be16(static_cast<uint16_t>(height));
    w.be32(0x00480000).be32(0x00480000).be32(0).be16(1).pascal("test", 32).be16(depth).be16(0xFFFF);
    return Atom(format, withExtensions(w, extensions));
}

Atom soundDescriptionV0(const std::string &format, uint16_t channels, uint16_t bits, uint32_t sampleRate,
                        std::vector<Atom> extensions)
{
    ByteWriter w;
    descriptionHead(w);
    w.be16(0).be16(0).be32(0).be16(channels).be16(bits).be16(0).be16(0).be32(sampleRate << 16);
    return Atom(format, withExtensions(w, extensions));
}

Atom soundDescriptionV1(const std::string &format, uint16_t channels, uint16_t bits, uint32_t sampleRate,
                        uint32_t bytesPerFrame, std::vector<Atom> extensions)
{
    ByteWriter w;
    descriptionHead(w);
    w.be16(1).be16(0).be32(0).be16(channels).be16(bits).be16(0xFFFE).be16(0).be32(sampleRate << 16);
    w.be32(1).be32(bytesPerFrame / (channels ? channels : 1)).be32(bytesPerFrame).be32(bits / 8);
    return Atom(format, withExtensions(w, extensions));
}

Atom soundDescriptionV2(const std::string &format, uint32_t channels, uint32_t bits, double sampleRate)
{
    ByteWriter w;
    descriptionHead(w);
    w.be16(2).be16(0).be32(0).be16(3).be16(16).be16(0xFFFE).be16(0).be32(0x00010000).be32(72);
    uint64_t rateBits;
    std::memcpy(&rateBits, &sampleRate, sizeof(rateBits));
    w.be64(rateBits).be32(channels).be32(0x7F000000).be32(bits).be32(0x0C).be32(channels * bits / 8).be32(1);
    return Atom(format, w.data());
}

Atom avcC(const Bytes &sps, const Bytes &pps)
{
    ByteWriter w;
    w.u8(1).u8(sps.size() > 1 ? sps[1] : 66).u8(sps.size() > 2 ? sps[2] : 0).u8(sps.size() > 3 ? sps[3] : 30);
    w.u8(0xFF).u8(0xE1).be16(static_cast<uint32_t>(sps.size())).bytes(sps);
    w.u8(1).be16(static_cast<uint32_t>(pps.size())).bytes(pps);
    return Atom("avcC", w.data());
}

Atom stts(const std::vector<std::pair<uint32_t, uint32_t>> &countAndDuration)
{
    ByteWriter w = tableHead(static_cast<uint32_t>(countAndDuration.size()));
    for (const auto &[count, duration] : countAndDuration)
        w.be32(count).be32(duration);
    return Atom("stts", w.data());
}

Atom stss(const std::vector<uint32_t> &syncSampleNumbers)
{
    ByteWriter w = tableHead(static_cast<uint32_t>(syncSampleNumbers.size()));
    for (uint32_t n : syncSampleNumbers)
        w.be32(n);
    return Atom("stss", w.data());
}

Atom stsc(const std::vector<ChunkRun> &runs)
{
    ByteWriter w = tableHead(static_cast<uint32_t>(runs.size()));
    for (const auto &r : runs)
        w.be32(r.firstChunk).be32(r.samplesPerChunk).be32(r.descriptionIndex);
    return Atom("stsc", w.data());
}

Atom stco(const std::vector<uint32_t> &offsets)
{
    ByteWriter w = tableHead(static_cast<uint32_t>(offsets.size()));
    for (uint32_t o : offsets)
        w.be32(o);
    return Atom("stco", w.data());
}

Atom stsz(const std::vector<uint32_t> &sizes)
{
    ByteWriter w;
    w.be32(0).be32(0).be32(static_cast<uint32_t>(sizes.size()));
    for (uint32_t s : sizes)
        w.be32(s);
    return Atom("stsz", w.data());
}

Atom stszCommon(uint32_t commonSize, uint32_t count)
{
    ByteWriter w;
    w.be32(0).be32(commonSize).be32(count);
    return Atom("stsz", w.data());
}

Atom ctts(const std::vector<std::pair<uint32_t, int32_t>> &countAndOffset)
{
    ByteWriter w = tableHead(static_cast<uint32_t>(countAndOffset.size()));
    for (const auto &[count, offset] : countAndOffset)
        w.be32(count).be32(static_cast<uint32_t>(offset));
    return Atom("ctts", w.data());
}

Atom cameraTag()
{
    ByteWriter w;
    w.bytes("OrvexAVC0001", 12);
    return Atom("ORVX", w.data());
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
    Atom stbl("stbl", std::vector<Atom>{track.sampleDescriptions});
    for (const auto &table : track.tables)
        stbl.add(table);
    Atom minf("minf", std::vector<Atom>{mediaHeader, hdlr("dhlr", "url ", "DataHandler"), dinfSelf(), stbl});
    Atom mdia("mdia", std::vector<Atom>{mdhd(track.timeScale, track.duration),
                                        hdlr("mhlr", track.mediaType, "MediaHandler"), minf});
    Atom trakAtom("trak", std::vector<Atom>{tkhd(track.trackId, track.trackDuration)});
    if (!track.edits.empty()) trakAtom.add(edts(track.edits));
    trakAtom.add(mdia);
    return trakAtom;
}

} // namespace orvex::test::qt

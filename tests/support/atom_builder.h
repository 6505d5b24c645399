// Builds QuickTime atom trees byte by byte for tests: any atom, any body, the
// size fields computed from the contents or overridden with any value, so a
// test can write well-formed movies and hostile ones alike; and makers of the
// atoms a movie holds (namespace qt), with the fields the reading layer looks
// at as parameters and sensible values everywhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orvex::test {

using Bytes = std::vector<uint8_t>;

// The big-endian number a four-character code is in a file (short codes padded with blanks).
uint32_t fourccValue(const std::string &code);

// Appends big-endian numbers and raw bytes.
class ByteWriter {
public:
    ByteWriter &u8(uint32_t value) { return m_data.push_back(uint8_t(value)), *this; }
    ByteWriter &be16(uint32_t value) { return u8(value >> 8).u8(value); }
    ByteWriter &be32(uint32_t value) { return be16(value >> 16).be16(value); }
    ByteWriter &be64(uint64_t value) { return be32(uint32_t(value >> 32)).be32(uint32_t(value)); }
    ByteWriter &fourcc(const std::string &code) { return be32(fourccValue(code)); }
    ByteWriter &bytes(const Bytes &data) { return bytes(data.data(), data.size()); }
    ByteWriter &bytes(const void *data, size_t count)
    {
        m_data.insert(m_data.end(), static_cast<const uint8_t *>(data), static_cast<const uint8_t *>(data) + count);
        return *this;
    }
    ByteWriter &zeros(size_t count) { return m_data.insert(m_data.end(), count, 0), *this; }
    const Bytes &data() const { return m_data; }

private:
    Bytes m_data;
};

class Atom {
public:
    // A leaf (header and body) or a container (header, then the children).
    Atom(const std::string &type, Bytes body = {}) : m_type(type), m_body(std::move(body)) {}
    Atom(const std::string &type, std::vector<Atom> children) : m_type(type), m_children(std::move(children)) {}
    // Bytes taken as they are, header and all (no size computed).
    static Atom raw(Bytes bytes);

    // Writes this value into the size field instead of the computed size.
    Atom &setSize(uint32_t size) { return m_size = size, m_sizeOverridden = true, *this; }
    Atom &add(Atom child) { return m_children.push_back(std::move(child)), *this; }
    std::vector<Atom> &children() { return m_children; }

    // The first descendant along a path of types, e.g. "trak/mdia/minf/stbl/stsz";
    // "trak[1]" takes the second 'trak' at that level, "*" any type. Null if there is none.
    Atom *find(const std::string &path);
    // Changes written as text, ';'-separated, each a path and what to do with
    // that atom: "type T" renames it, "size N" writes N into its size field,
    // "word I N" and "byte I N" write N at offset I of its body, "cut N" keeps
    // N body bytes, "drop" removes it. Throws std::runtime_error for a path
    // that leads nowhere.
    Atom &edit(const std::string &changes);

    // Size of the written atom (the real length, whatever the size field says).
    size_t length() const;
    Bytes bytes() const;
    void writeTo(Bytes &out) const;

private:
    std::string m_type;
    Bytes m_body;
    std::vector<Atom> m_children;
    bool m_raw = false;
    bool m_sizeOverridden = false;
    uint32_t m_size = 0;
};

// Concatenates top-level atoms into one file image.
Bytes fileBytes(const std::vector<Atom> &atoms);

namespace qt {

Atom mvhd(uint32_t timeScale, uint32_t duration);
Atom mdhd(int32_t timeScale, int32_t duration);
Atom hdlr(const std::string &componentType, const std::string &subtype, const std::string &name = "",
          const std::string &manufacturer = "appl");

// A table atom: version and flags, the entry count, the entries' words.
Atom table(const std::string &type, const std::vector<uint32_t> &words, uint32_t count);
// Tables from text, ';'-separated, each a type and its words: "stts 2 100 3
// 50; stsc 1 4 1; stsz 100 101; stco 1000 2000". A word is a number or N@A+S
// (N numbers from A on, step S); "#C" writes C as the entry count instead of
// the entries given; "stsz =S #N" is N samples of the common size S.
std::vector<Atom> tables(const std::string &text);
// 'stsd' with its entry count and the entries (each an atom-like record whose
// "type" is its data format).
Atom stsd(std::vector<Atom> entries);
// An image description record: 86 fixed bytes, then the extension atoms.
Atom imageDescription(const std::string &format, int16_t width, int16_t height, std::vector<Atom> extensions = {});
// A sound description record of version 0, 1 or 2 (72 fixed bytes, the rate as
// a double); bytesPerFrame goes into version 1's fields.
Atom soundDescription(const std::string &format, uint16_t channels, uint16_t bits, uint32_t sampleRate, int version = 0,
                      uint32_t bytesPerFrame = 0, std::vector<Atom> extensions = {});
// An 'avcC' record with one SPS and one PPS.
Atom avcC(const Bytes &sps, const Bytes &pps);

// User data with the camera tag atom (size 20, 'ORVX', "OrvexAVC0001") as first child.
Atom udtaCameraTag();

// Everything of one track. The media type picks the media header ('vmhd',
// 'smhd', 'gmhd').
struct TrackAtoms {
    uint32_t trackId = 1;
    std::string mediaType = "vide";
    int32_t timeScale = 600;
    int32_t duration = 0;
    uint32_t trackDuration = 0;  // movie time units
    std::vector<uint32_t> edits; // 'elst' words; none: no 'edts'
    Atom sampleDescriptions = stsd({});
    std::vector<Atom> tables; // 'stts', 'stss', 'stsc', 'stsz', 'stco', ...
};
Atom trak(const TrackAtoms &track);

} // namespace qt
} // namespace orvex::test

// Builds QuickTime atom trees byte by byte for tests: any atom, any body, the
// size fields computed from the contents or overridden with any value, so a
// test can write well-formed movies and hostile ones alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvex::test {

using Bytes = std::vector<uint8_t>;

// Appends big-endian numbers and raw bytes.
class ByteWriter {
public:
    ByteWriter &u8(uint32_t value);
    ByteWriter &be16(uint32_t value);
    ByteWriter &be32(uint32_t value);
    ByteWriter &be64(uint64_t value);
    // Four characters, e.g. fourcc("avc1"); a shorter text is padded with blanks.
    ByteWriter &fourcc(const std::string &code);
    ByteWriter &bytes(const Bytes &data);
    ByteWriter &bytes(const void *data, size_t count);
    ByteWriter &zeros(size_t count);
    // A length byte and the characters, padded with zeros to fieldSize bytes
    // (0: no padding).
    ByteWriter &pascal(const std::string &text, size_t fieldSize = 0);

    const Bytes &data() const { return m_data; }
    size_t size() const { return m_data.size(); }

private:
    Bytes m_data;
};

// The big-endian number a four-character code is in a file.
uint32_t fourccValue(const std::string &code);

class Atom {
public:
    // A leaf: header and body.
    Atom(const std::string &type, Bytes body = {});
    // A container: header, then the children in order.
    Atom(const std::string &type, std::vector<Atom> children);
    // Bytes taken as they are, header and all (no size computed).
    static Atom raw(Bytes bytes);

    const std::string &type() const { return m_type; }
    Atom &setType(const std::string &type);
    // Writes this value into the size field instead of the computed size.
    Atom &setSize(uint32_t size);
    Atom &add(Atom child);
    // Bytes written after the body and the children (e.g. trailing garbage).
    Atom &appendTail(Bytes tail);
    Bytes &body() { return m_body; }
    std::vector<Atom> &children() { return m_children; }

    // The first descendant along a path of types, e.g. "trak/mdia/minf/stbl/stsz";
    // "trak[1]" takes the second 'trak' at that level. Null if there is none.
    Atom *find(const std::string &path);

    // Size of the written atom (the real length, whatever the size field says).
    size_t length() const;
    Bytes bytes() const;
    void writeTo(Bytes &out) const;

private:
    std::string m_type;
    Bytes m_body;
    std::vector<Atom> m_children;
    Bytes m_tail;
    bool m_raw = false;
    bool m_sizeOverridden = false;
    uint32_t m_size = 0;
};

// Concatenates top-level atoms into one file image.
Bytes fileBytes(const std::vector<Atom> &atoms);

} // namespace orvex::test

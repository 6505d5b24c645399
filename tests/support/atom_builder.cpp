#include "support/atom_builder.h"

#include <cstring>
#include <stdexcept>

namespace orvex::test {

ByteWriter &ByteWriter::u8(uint32_t value)
{
    m_data.push_back(static_cast<uint8_t>(value));
    return *this;
}

ByteWriter &ByteWriter::be16(uint32_t value)
{
    return u8(value >> 8).u8(value);
}

ByteWriter &ByteWriter::be32(uint32_t value)
{
    return be16(value >> 16).be16(value);
}

ByteWriter &ByteWriter::be64(uint64_t value)
{
    return be32(static_cast<uint32_t>(value >> 32)).be32(static_cast<uint32_t>(value));
}

ByteWriter &ByteWriter::fourcc(const std::string &code)
{
    return be32(fourccValue(code));
}

ByteWriter &ByteWriter::bytes(const Bytes &data)
{
    return bytes(data.data(), data.size());
}

ByteWriter &ByteWriter::bytes(const void *data, size_t count)
{
    const auto *p = static_cast<const uint8_t *>(data);
    m_data.insert(m_data.end(), p, p + count);
    return *this;
}

ByteWriter &ByteWriter::zeros(size_t count)
{
    m_data.insert(m_data.end(), count, 0);
    return *this;
}

ByteWriter &ByteWriter::pascal(const std::string &text, size_t fieldSize)
{
    u8(static_cast<uint32_t>(text.size()));
    bytes(text.data(), text.size());
    if (fieldSize > text.size() + 1) zeros(fieldSize - text.size() - 1);
    return *this;
}

uint32_t fourccValue(const std::string &code)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<uint8_t>(i < code.size() ? code[i] : ' ');
    return value;
}

Atom::Atom(const std::string &type, Bytes body) : m_type(type), m_body(std::move(body)) {}

Atom::Atom(const std::string &type, std::vector<Atom> children) : m_type(type), m_children(std::move(children)) {}

Atom Atom::raw(Bytes bytes)
{
    Atom atom("raw ", std::move(bytes));
    atom.m_raw = true;
    return atom;
}

Atom &Atom::setType(const std::string &type)
{
    m_type = type;
    return *this;
}

Atom &Atom::setSize(uint32_t size)
{
    m_sizeOverridden = true;
    m_size = size;
    return *this;
}

Atom &Atom::add(Atom child)
{
    m_children.push_back(std::move(child));
    return *this;
}

Atom &Atom::appendTail(Bytes tail)
{
    m_tail.insert(m_tail.end(), tail.begin(), tail.end());
    return *this;
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
    for (auto &child : m_children) {
        if (child.m_type != step) continue;
        if (wanted-- > 0) continue;
        return slash == std::string::npos ? &child : child.find(path.substr(slash + 1));
    }
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
    if (m_raw) {
        out.insert(out.end(), m_body.begin(), m_body.end());
        return;
    }
    ByteWriter header;
    header.be32(m_sizeOverridden ? m_size : static_cast<uint32_t>(length())).fourcc(m_type);
    out.insert(out.end(), header.data().begin(), header.data().end());
    out.insert(out.end(), m_body.begin(), m_body.end());
    for (const auto &child : m_children)
        child.writeTo(out);
    out.insert(out.end(), m_tail.begin(), m_tail.end());
}

Bytes Atom::bytes() const
{
    Bytes out;
    out.reserve(length());
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

} // namespace orvex::test

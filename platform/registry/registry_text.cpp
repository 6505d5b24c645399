// Formatting and parsing of the registry file.
#include "registry_text.h"

#include <winreg.h>

#include <cstdio>
#include <cstring>

#include "utf8.h"

namespace orvex::registry {

namespace {

const wchar_t *const kRoots[] = {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE", L"HKEY_USERS"};

// ---- formatting ---------------------------------------------------------

void appendQuoted(std::string &out, const std::wstring &text)
{
    std::string utf8;
    ToUtf8(text, utf8); // callers have checked the text
    out.push_back('"');
    for (char ch : utf8) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof(buf), "\\x%02X", c);
                out += buf;
            } else {
                out.push_back(ch);
            }
        }
    }
    out.push_back('"');
}

// The characters of wide-text data, when it is whole characters of valid
// Unicode.
bool wideChars(const std::vector<BYTE> &data, std::wstring &chars)
{
    if (data.size() % sizeof(WCHAR) != 0) return false;
    chars.resize(data.size() / sizeof(WCHAR));
    if (!data.empty()) std::memcpy(chars.data(), data.data(), data.size());
    for (wchar_t c : chars) {
        auto u = static_cast<uint32_t>(c);
        if (u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return false;
    }
    return true;
}

// One string with its terminator and no other zero character.
bool cleanString(const std::vector<BYTE> &data, std::wstring &text)
{
    if (!wideChars(data, text) || text.empty() || text.back() != 0) return false;
    text.pop_back();
    return text.find(L'\0') == std::wstring::npos;
}

// Zero-terminated non-empty strings followed by one more zero.
bool cleanMultiString(const std::vector<BYTE> &data, std::vector<std::wstring> &items)
{
    std::wstring chars;
    if (!wideChars(data, chars) || chars.empty() || chars.back() != 0) return false;
    chars.pop_back();
    items.clear();
    size_t start = 0;
    while (start < chars.size()) {
        size_t end = chars.find(L'\0', start);
        if (end == std::wstring::npos || end == start) return false;
        items.push_back(chars.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

void appendHex(std::string &out, const Value &value)
{
    char buf[32];
    if (value.type == REG_BINARY) {
        out += "hex:";
    } else {
        std::snprintf(buf, sizeof(buf), "hex(%X):", static_cast<unsigned>(value.type));
        out += buf;
    }
    for (size_t i = 0; i < value.data.size(); ++i) {
        std::snprintf(buf, sizeof(buf), i ? ",%02X" : "%02X", value.data[i]);
        out += buf;
    }
}

void appendValue(std::string &out, const std::wstring &name, const Value &value)
{
    if (name.empty()) {
        out += "@";
    } else {
        appendQuoted(out, name);
    }
    out += "=";
    std::wstring text;
    std::vector<std::wstring> items;
    char buf[32];
    if (value.type == REG_SZ && cleanString(value.data, text)) {
        appendQuoted(out, text);
    } else if (value.type == REG_EXPAND_SZ && cleanString(value.data, text)) {
        out += "expand:";
        appendQuoted(out, text);
    } else if (value.type == REG_MULTI_SZ && cleanMultiString(value.data, items)) {
        out += "multi:";
        for (size_t i = 0; i < items.size(); ++i) {
            if (i) out += ",";
            appendQuoted(out, items[i]);
        }
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        uint32_t v;
        std::memcpy(&v, value.data.data(), 4);
        std::snprintf(buf, sizeof(buf), "dword:%08X", v);
        out += buf;
    } else if (value.type == REG_QWORD && value.data.size() == 8) {
        unsigned long long v;
        std::memcpy(&v, value.data.data(), 8);
        std::snprintf(buf, sizeof(buf), "qword:%016llX", v);
        out += buf;
    } else {
        appendHex(out, value);
    }
    out += "\n";
}

void appendKey(std::string &out, const std::string &path, const Key &key)
{
    out += "\n[" + path + "]\n";
    for (const auto &[name, value] : key.values)
        appendValue(out, name, value);
    for (const auto &[name, sub] : key.subkeys) {
        std::string utf8;
        ToUtf8(name, utf8);
        appendKey(out, path + "\\" + utf8, *sub);
    }
}

// ---- parsing ------------------------------------------------------------

class LineReader {
public:
    explicit LineReader(const std::string &line) : m_line(line) {}

    bool atEnd() const { return m_pos >= m_line.size(); }
    bool take(const char *literal)
    {
        size_t n = std::strlen(literal);
        if (m_line.compare(m_pos, n, literal) != 0) return false;
        m_pos += n;
        return true;
    }
    bool peek(char c) const { return m_pos < m_line.size() && m_line[m_pos] == c; }

    // A quoted string with the escapes FormatRegistry writes.
    bool quoted(std::wstring &out)
    {
        if (!take("\"")) return false;
        std::string utf8;
        for (;;) {
            if (atEnd()) return false;
            char c = m_line[m_pos++];
            if (c == '"') break;
            if (c != '\\') {
                utf8.push_back(c);
                continue;
            }
            if (atEnd()) return false;
            char e = m_line[m_pos++];
            switch (e) {
            case '\\':
                utf8.push_back('\\');
                break;
            case '"':
                utf8.push_back('"');
                break;
            case 'n':
                utf8.push_back('\n');
                break;
            case 'r':
                utf8.push_back('\r');
                break;
            case 't':
                utf8.push_back('\t');
                break;
            case 'x': {
                unsigned v = 0;
                if (!hexDigits(2, v)) return false;
                utf8.push_back(static_cast<char>(v));
                break;
            }
            default:
                return false;
            }
        }
        return FromUtf8(utf8, out);
    }

    // Exactly count hex digits.
    template <typename T> bool hexDigits(size_t count, T &out)
    {
        out = 0;
        if (m_line.size() - m_pos < count) return false;
        for (size_t i = 0; i < count; ++i) {
            int d = digit(m_line[m_pos + i]);
            if (d < 0) return false;
            out = static_cast<T>((out << 4) | static_cast<T>(d));
        }
        m_pos += count;
        return true;
    }

    // One to eight hex digits.
    bool hexNumber(uint32_t &out)
    {
        out = 0;
        size_t n = 0;
        while (m_pos < m_line.size() && digit(m_line[m_pos]) >= 0) {
            if (++n > 8) return false;
            out = (out << 4) | static_cast<uint32_t>(digit(m_line[m_pos++]));
        }
        return n > 0;
    }

private:
    static int digit(char c)
    {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    const std::string &m_line;
    size_t m_pos = 0;
};

std::vector<BYTE> wideBytes(const std::wstring &text)
{
    std::vector<BYTE> bytes((text.size() + 1) * sizeof(WCHAR), 0);
    if (!text.empty()) std::memcpy(bytes.data(), text.data(), text.size() * sizeof(WCHAR));
    return bytes;
}

bool parseData(LineReader &in, Value &value)
{
    std::wstring text;
    if (in.peek('"')) {
        if (!in.quoted(text)) return false;
        value.type = REG_SZ;
        value.data = wideBytes(text);
    } else if (in.take("expand:")) {
        if (!in.quoted(text)) return false;
        value.type = REG_EXPAND_SZ;
        value.data = wideBytes(text);
    } else if (in.take("multi:")) {
        value.type = REG_MULTI_SZ;
        std::wstring all;
        while (!in.atEnd()) {
            if (!all.empty() && !in.take(",")) return false;
            if (!in.quoted(text) || text.empty() || text.find(L'\0') != std::wstring::npos) return false;
            all += text;
            all.push_back(L'\0');
        }
        value.data = wideBytes(all);
    } else if (in.take("dword:")) {
        uint32_t v;
        if (!in.hexDigits(8, v)) return false;
        value.type = REG_DWORD;
        value.data.resize(4);
        std::memcpy(value.data.data(), &v, 4);
    } else if (in.take("qword:")) {
        uint64_t v;
        if (!in.hexDigits(16, v)) return false;
        value.type = REG_QWORD;
        value.data.resize(8);
        std::memcpy(value.data.data(), &v, 8);
    } else if (in.take("hex")) {
        value.type = REG_BINARY;
        if (in.take("(")) {
            if (!in.hexNumber(value.type) || !in.take(")")) return false;
        }
        if (!in.take(":")) return false;
        value.data.clear();
        while (!in.atEnd()) {
            if (!value.data.empty() && !in.take(",")) return false;
            BYTE b;
            if (!in.hexDigits(2, b)) return false;
            value.data.push_back(b);
        }
    } else {
        return false;
    }
    return in.atEnd();
}

bool parseKeyLine(const std::string &line, Key &tree, Key *&current)
{
    if (line.size() < 2 || line.back() != ']') return false;
    std::wstring path;
    if (!FromUtf8(line.substr(1, line.size() - 2), path)) return false;
    KeyPath components;
    if (!SplitPath(path.c_str(), components) || components.empty() || !IsRootName(components[0])) return false;
    bool created;
    current = CreateKey(tree, components, created);
    return true;
}

bool parseValueLine(const std::string &line, Key *current)
{
    if (!current) return false;
    LineReader in(line);
    std::wstring name;
    if (!in.take("@")) {
        if (!in.quoted(name) || name.empty() || name.size() > kMaxValueNameLength || !IsValidName(name)) return false;
    }
    if (!in.take("=")) return false;
    Value value;
    if (!parseData(in, value)) return false;
    current->values[name] = std::move(value);
    return true;
}

} // namespace

bool IsRootName(const std::wstring &name)
{
    for (const wchar_t *root : kRoots) {
        if (name == root) return true;
    }
    return false;
}

std::string FormatRegistry(const Key &tree)
{
    std::string out = "; orvex registry\n";
    for (const auto &[name, key] : tree.subkeys) {
        std::string utf8;
        ToUtf8(name, utf8);
        appendKey(out, utf8, *key);
    }
    return out;
}

bool ParseRegistry(const std::string &text, Key &tree, std::string &error)
{
    Key *current = nullptr;
    size_t lineNumber = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        bool ok = line[0] == '[' ? parseKeyLine(line, tree, current) : parseValueLine(line, current);
        if (!ok) {
            error = "line " + std::to_string(lineNumber) + " is malformed";
            return false;
        }
    }
    return true;
}

} // namespace orvex::registry

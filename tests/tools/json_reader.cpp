#include "tools/json_reader.h"

#include <cctype>

namespace orvex::test {

namespace {

class Parser {
public:
    explicit Parser(const std::string &text) : m_text(text) {}

    JsonValue document()
    {
        JsonValue v = value();
        skip();
        if (m_pos != m_text.size()) fail("text after the value");
        return v;
    }

private:
    [[noreturn]] void fail(const std::string &what)
    {
        throw std::runtime_error("JSON: " + what + " at " + std::to_string(m_pos));
    }
    void skip()
    {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos])))
            ++m_pos;
    }
    char peek()
    {
        skip();
        if (m_pos >= m_text.size()) fail("unexpected end");
        return m_text[m_pos];
    }
    void expect(char c)
    {
        if (peek() != c) fail(std::string("expected ") + c);
        ++m_pos;
    }
    bool literal(const char *word)
    {
        std::string w(word);
        if (m_text.compare(m_pos, w.size(), w) != 0) return false;
        m_pos += w.size();
        return true;
    }

    std::string string()
    {
        expect('"');
        std::string out;
        while (m_pos < m_text.size() && m_text[m_pos] != '"') {
            char c = m_text[m_pos++];
            if (static_cast<unsigned char>(c) < 0x20) fail("control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_pos >= m_text.size()) fail("unexpected end");
            char e = m_text[m_pos++];
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u':
                if (m_pos + 4 > m_text.size()) fail("short \\u escape");
                out += char(std::stoi(m_text.substr(m_pos, 4), nullptr, 16));
                m_pos += 4;
                break;
            default:
                fail("bad escape");
            }
        }
        if (m_pos >= m_text.size()) fail("unterminated string");
        ++m_pos;
        return out;
    }

    JsonValue value()
    {
        JsonValue v;
        char c = peek();
        if (c == '{') {
            ++m_pos;
            v.kind = JsonValue::Kind::Object;
            if (peek() == '}') {
                ++m_pos;
                return v;
            }
            for (;;) {
                std::string name = string();
                expect(':');
                if (v.members.count(name)) fail("duplicate key " + name);
                v.members[name] = value();
                v.order.push_back(name);
                if (peek() == ',') {
                    ++m_pos;
                    continue;
                }
                expect('}');
                return v;
            }
        }
        if (c == '[') {
            ++m_pos;
            v.kind = JsonValue::Kind::Array;
            if (peek() == ']') {
                ++m_pos;
                return v;
            }
            for (;;) {
                v.items.push_back(value());
                if (peek() == ',') {
                    ++m_pos;
                    continue;
                }
                expect(']');
                return v;
            }
        }
        if (c == '"') {
            v.kind = JsonValue::Kind::String;
            v.text = string();
            return v;
        }
        if (literal("null")) return v;
        if (literal("true") || literal("false")) {
            v.kind = JsonValue::Kind::Bool;
            v.boolean = m_text[m_pos - 2] == 'u'; // "true" ends in "ue", "false" in "se"
            return v;
        }
        size_t start = m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == '-') ++m_pos;
        while (m_pos < m_text.size() &&
               (std::isdigit(static_cast<unsigned char>(m_text[m_pos])) || m_text[m_pos] == '.' ||
                m_text[m_pos] == 'e' || m_text[m_pos] == 'E' || m_text[m_pos] == '+' || m_text[m_pos] == '-'))
            ++m_pos;
        if (start == m_pos || (m_pos == start + 1 && m_text[start] == '-')) fail("unexpected character");
        v.kind = JsonValue::Kind::Number;
        v.text = m_text.substr(start, m_pos - start);
        return v;
    }

    const std::string &m_text;
    size_t m_pos = 0;
};

} // namespace

const JsonValue &JsonValue::at(const std::string &path) const
{
    const JsonValue *v = this;
    size_t begin = 0;
    while (begin <= path.size()) {
        size_t end = path.find('/', begin);
        if (end == std::string::npos) end = path.size();
        auto found = v->members.find(path.substr(begin, end - begin));
        if (found == v->members.end()) throw std::out_of_range("no JSON member " + path);
        v = &found->second;
        begin = end + 1;
    }
    return *v;
}

JsonValue parseJson(const std::string &text)
{
    return Parser(text).document();
}

} // namespace orvex::test

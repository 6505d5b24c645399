#include "json_writer.h"

#include <cstdio>

namespace orvex {

JsonWriter::JsonWriter() : m_text("{"), m_firstInObject{true} {}

void JsonWriter::key(const std::string &name)
{
    if (!m_firstInObject.back()) m_text += ",";
    m_firstInObject.back() = false;
    m_text += "\n" + std::string(2 * m_firstInObject.size(), ' ') + quote(name) + ": ";
}

void JsonWriter::beginObject(const std::string &name)
{
    key(name);
    m_text += "{";
    m_firstInObject.push_back(true);
}

void JsonWriter::endObject()
{
    bool empty = m_firstInObject.back();
    m_firstInObject.pop_back();
    if (!empty) m_text += "\n" + std::string(2 * m_firstInObject.size(), ' ');
    m_text += "}";
}

void JsonWriter::null(const std::string &name)
{
    key(name);
    m_text += "null";
}

void JsonWriter::value(const std::string &name, const std::string &text)
{
    key(name);
    m_text += quote(text);
}

void JsonWriter::value(const std::string &name, const char *text)
{
    value(name, std::string(text));
}

void JsonWriter::value(const std::string &name, int64_t number)
{
    key(name);
    m_text += std::to_string(number);
}

void JsonWriter::value(const std::string &name, uint64_t number)
{
    key(name);
    m_text += std::to_string(number);
}

void JsonWriter::value(const std::string &name, bool flag)
{
    key(name);
    m_text += flag ? "true" : "false";
}

std::string JsonWriter::finish()
{
    while (!m_firstInObject.empty())
        endObject();
    std::string text = m_text + "\n";
    m_text.clear();
    return text;
}

std::string JsonWriter::quote(const std::string &text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
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
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
                out += escaped;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

} // namespace orvex

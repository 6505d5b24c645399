// A small JSON writer for the program's machine-readable output: nested
// objects of named values, written as they come, indented by two blanks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvex {

class JsonWriter {
public:
    // Opens the top-level object.
    JsonWriter();

    void beginObject(const std::string &key);
    void endObject();
    void null(const std::string &key);
    void value(const std::string &key, const std::string &text);
    void value(const std::string &key, const char *text);
    void value(const std::string &key, int64_t number);
    void value(const std::string &key, uint64_t number);
    void value(const std::string &key, int32_t number) { value(key, int64_t(number)); }
    void value(const std::string &key, uint32_t number) { value(key, uint64_t(number)); }
    void value(const std::string &key, bool flag);

    // Closes every open object and returns the text, ending with a newline.
    std::string finish();

    // Text as a JSON string literal, quotes included.
    static std::string quote(const std::string &text);

private:
    void key(const std::string &name);
    std::string m_text;
    std::vector<bool> m_firstInObject;
};

} // namespace orvex

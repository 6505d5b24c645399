// A small JSON reader for checking the program's JSON output: it parses the
// whole text (so malformed output fails the test) into values that can be
// looked up by path.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvex::test {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Object, Array } kind = Kind::Null;
    bool boolean = false;
    std::string text; // numbers keep their text, strings their contents
    std::map<std::string, JsonValue> members;
    std::vector<std::string> order; // member names as written
    std::vector<JsonValue> items;

    // The member at "a/b/c"; throws std::out_of_range if there is none.
    const JsonValue &at(const std::string &path) const;
    long long number() const { return std::stoll(text); }
};

// Throws std::runtime_error on malformed text.
JsonValue parseJson(const std::string &text);

} // namespace orvex::test

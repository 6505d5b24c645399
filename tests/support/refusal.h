// Runs a parse and gives the refusal text it throws, or "" if it throws none.
#pragma once

#include <functional>
#include <string>

namespace orvex::test {

inline std::string refusalOf(const std::function<void()> &parse)
{
    try {
        parse();
    } catch (const char *text) {
        return text;
    }
    return "";
}

} // namespace orvex::test

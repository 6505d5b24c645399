// Captures the debugger output of the whole process while alive, so tests can
// check trace lines. Only one capture may be alive at a time.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace orvex::test {

class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture &) = delete;
    DebugCapture &operator=(const DebugCapture &) = delete;

    std::vector<std::string> lines() const;
    // Lines with the trace prefix "tick [thread] : " removed; lines without it unchanged.
    std::vector<std::string> messages() const;
    // True if some line contains text.
    bool contains(const std::string &text) const;
    // Number of lines that contain text.
    size_t count(const std::string &text) const;
    void clear();

private:
    static void onLine(const char *line, void *context);
    mutable std::mutex m_lock;
    std::vector<std::string> m_lines;
};

} // namespace orvex::test

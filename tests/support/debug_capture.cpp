#include "support/debug_capture.h"

#include <orvexdebug.h>

#include <regex>

namespace orvex::test {

DebugCapture::DebugCapture() { OrvexSetDebugListener(&DebugCapture::onLine, this); }

DebugCapture::~DebugCapture() { OrvexSetDebugListener(nullptr, nullptr); }

void DebugCapture::onLine(const char *line, void *context)
{
    auto *self = static_cast<DebugCapture *>(context);
    std::lock_guard<std::mutex> guard(self->m_lock);
    self->m_lines.emplace_back(line);
}

std::vector<std::string> DebugCapture::lines() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lines;
}

std::vector<std::string> DebugCapture::messages() const
{
    static const std::regex prefix("^[0-9]+ \\[[0-9]+\\] : ");
    std::vector<std::string> out;
    for (const auto &line : lines()) out.push_back(std::regex_replace(line, prefix, "", std::regex_constants::format_first_only));
    return out;
}

bool DebugCapture::contains(const std::string &text) const { return count(text) > 0; }

size_t DebugCapture::count(const std::string &text) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    size_t n = 0;
    for (const auto &line : m_lines)
        if (line.find(text) != std::string::npos) ++n;
    return n;
}

void DebugCapture::clear()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_lines.clear();
}

} // namespace orvex::test

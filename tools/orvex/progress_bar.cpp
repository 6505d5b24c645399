#include "progress_bar.h"

#include <algorithm>
#include <string>
#include <unistd.h>

namespace orvex {

ProgressBar::ProgressBar(bool wanted) : m_active(wanted && isatty(STDERR_FILENO)) {}

ProgressBar::~ProgressBar()
{
    if (m_drawn) std::fprintf(stderr, "\r%60s\r", "");
}

void ProgressBar::show(double done, double total)
{
    if (!m_active) return;
    constexpr int kWidth = 30;
    const double part = total > 0 ? std::clamp(done / total, 0.0, 1.0) : 0;
    const int filled = int(part * kWidth);
    const std::string bar = std::string(size_t(filled), '#') + std::string(size_t(kWidth - filled), ' ');
    std::fprintf(stderr, "\r[%s] %7.2f / %.2f s", bar.c_str(), done, total);
    std::fflush(stderr);
    m_drawn = true;
}

} // namespace orvex

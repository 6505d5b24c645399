// A one-line progress bar on standard error, drawn only while standard
// error is a terminal.
#pragma once

#include <cstdio>

namespace orvex {

class ProgressBar {
public:
    explicit ProgressBar(bool wanted);
    ~ProgressBar(); // clears the line
    // done and total in seconds; total 0 shows the seconds only.
    void show(double done, double total);

private:
    bool m_active;
    bool m_drawn = false;
};

} // namespace orvex

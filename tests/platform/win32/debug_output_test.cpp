#include <windows.h>

#include "support/debug_capture.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(DebugOutput, LinesArriveWholeFromManyThreads)
{
    orvex::test::DebugCapture capture;
    std::vector<std::thread> threads;
    const std::string line(200, 'x');
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) OutputDebugStringA((line + "\n").c_str());
        });
    for (auto &t : threads) t.join();
    OutputDebugStringW(L"wide \u00e9\n");
    auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 801u);
    for (size_t i = 0; i < 800; ++i) EXPECT_EQ(lines[i], line + "\n");
    EXPECT_EQ(lines.back(), std::string("wide \xc3\xa9\n")) << "wide text arrives as UTF-8";
}

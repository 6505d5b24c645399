#include "common/MyTrace.h"

#include "support/debug_capture.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

using orvex::test::DebugCapture;

namespace {

TEST(MyTrace, LineCarriesTickThreadAndMessage)
{
    DebugCapture capture;
    DWORD before = GetTickCount();
    MyTrace("Not selfReference media \n");
    DWORD after = GetTickCount();
    auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 1u);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, std::regex("^([0-9]+) \\[([0-9]+)\\] : Not selfReference media \n$")))
        << lines[0];
    DWORD tick = static_cast<DWORD>(std::stoul(m[1]));
    EXPECT_GE(tick, before);
    EXPECT_LE(tick, after);
    EXPECT_EQ(std::stoul(m[2]), GetCurrentThreadId());
}

TEST(MyTrace, MessageLengthLimit)
{
    struct Case {
        size_t length;
        bool written;
    } cases[] = {{0, true}, {254, true}, {255, true}, {256, false}, {1000, false}};
    for (const auto &c : cases) {
        DebugCapture capture;
        std::string message(c.length, 'm');
        MyTrace("%s", message.c_str());
        auto lines = capture.messages();
        if (!c.written) {
            EXPECT_TRUE(lines.empty()) << c.length << " characters write nothing, not a cut line";
            continue;
        }
        ASSERT_EQ(lines.size(), 1u) << c.length;
        EXPECT_EQ(lines[0], message) << "written whole, without an added line end";
    }
}

TEST(MyTrace, FormatsArgumentsIncludingTheWindowsSizePrefix)
{
    DebugCapture capture;
    // The Windows "%I64u" is not a format the compiler checks, so it comes through a variable.
    const char *windowsFormat = "COrvexMovFileParserFilter::setSourceFile fileSize = %I64u \n";
    MyTrace(windowsFormat, 4294967296ULL);
    MyTrace("%d [%s] %5.1f%% %x\n", -3, "a", 12.25, 255u);
    auto lines = capture.messages();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "COrvexMovFileParserFilter::setSourceFile fileSize = 4294967296 \n");
    EXPECT_EQ(lines[1], "-3 [a]  12.2% ff\n");
}

} // namespace

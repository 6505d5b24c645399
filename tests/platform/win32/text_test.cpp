#include <windows.h>

#include <gtest/gtest.h>

#include <string>

TEST(Text, Utf8RoundTripAndMalformedInput)
{
    const wchar_t *wide = L"A\u00e9\u6620\U0001F600";
    char utf8[32] = {};
    int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof(utf8), nullptr, nullptr);
    EXPECT_EQ(n, 1 + 2 + 3 + 4 + 1) << "the terminator is counted";
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr), n) << "size query";
    wchar_t back[16] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8, -1, back, 16), 5);
    EXPECT_STREQ(back, wide);

    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8, -1, back, 2), 0) << "too small a buffer";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);

    const char bad[] = {'a', char(0xC3), 'b', char(0xFF), char(0xE6), char(0x98), 0};
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, bad, -1, back, 16), 6);
    EXPECT_EQ(std::wstring(back), std::wstring(L"a\uFFFDb\uFFFD\uFFFD"));
}

#include <windows.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "support/scratch.h"

namespace fs = std::filesystem;

namespace {

class Files : public ::testing::Test {
protected:
    std::wstring path(const std::string &name) const { return path(std::wstring(name.begin(), name.end())); }
    std::wstring path(const std::wstring &name) const
    {
        auto dir = m_dir.string();
        return std::wstring(dir.begin(), dir.end()) + L"/" + name;
    }
    void write(const std::string &name, const std::string &bytes) const
    {
        std::ofstream(m_dir / name, std::ios::binary) << bytes;
    }
    static HANDLE openRead(const std::wstring &p)
    {
        return CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }

    orvex::test::ScratchFolder m_scratch;
    fs::path m_dir = m_scratch.folder();
};

TEST_F(Files, OpenFailuresGiveWin32Codes)
{
    struct Case {
        std::string name;
        DWORD error;
    } cases[] = {
        {"missing.mov", ERROR_FILE_NOT_FOUND},
        {"no-such-folder/x.mov", ERROR_PATH_NOT_FOUND},
        {"", ERROR_ACCESS_DENIED}, // the folder itself
    };
    for (const auto &c : cases) {
        SetLastError(0);
        EXPECT_EQ(openRead(path(c.name)), INVALID_HANDLE_VALUE) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }
    write("file", "x");
    EXPECT_EQ(openRead(path("file/below")), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND) << "a file on the way is a missing folder";
}

TEST_F(Files, ReadsSequentiallyAndShortAtTheEnd)
{
    write("data", "0123456789");
    HANDLE h = openRead(path("data"));
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buf[8] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(h, buf, 4, &got, nullptr));
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(std::string(buf, 4), "0123");
    ASSERT_TRUE(ReadFile(h, buf, 8, &got, nullptr));
    EXPECT_EQ(got, 6u) << "a read past the end succeeds with what is there";
    ASSERT_TRUE(ReadFile(h, buf, 8, &got, nullptr));
    EXPECT_EQ(got, 0u);
    LARGE_INTEGER size;
    ASSERT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size.QuadPart, 10);
    CloseHandle(h);
}

TEST_F(Files, SeekOrigins)
{
    write("data", "0123456789");
    HANDLE h = openRead(path("data"));
    LARGE_INTEGER d, pos;
    struct Case {
        LONGLONG distance;
        DWORD method;
        BOOL ok;
        LONGLONG expected;
    } cases[] = {
        {3, FILE_BEGIN, TRUE, 3},      {2, FILE_CURRENT, TRUE, 5}, {-1, FILE_END, TRUE, 9},
        {-20, FILE_CURRENT, FALSE, 9}, {0, 7, FALSE, 9},           {100, FILE_BEGIN, TRUE, 100},
    };
    for (const auto &c : cases) {
        d.QuadPart = c.distance;
        pos.QuadPart = -1;
        EXPECT_EQ(SetFilePointerEx(h, d, &pos, c.method), c.ok) << c.distance << "/" << c.method;
        d.QuadPart = 0;
        SetFilePointerEx(h, d, &pos, FILE_CURRENT);
        EXPECT_EQ(pos.QuadPart, c.expected) << "a failed seek does not move";
    }
    d.QuadPart = -20;
    SetFilePointerEx(h, d, nullptr, FILE_BEGIN);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);
    CloseHandle(h);
}

TEST_F(Files, FindFirstFileReportsSizesBeyond4GiBWithoutReading)
{
    std::string big = (m_dir / "big").string();
    int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 0x100000005LL), 0); // sparse
    ::close(fd);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path("big").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeHigh, 1u);
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_STREQ(data.cFileName, L"big");
    EXPECT_TRUE(FindClose(find));

    EXPECT_EQ(FindFirstFileW(path("nothing").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FindFirstFileW(path("none/nothing").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    find = FindFirstFileW(path("b*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, L"big");
    FindClose(find);
}

TEST_F(Files, WritesAndRenamesNonAsciiPaths)
{
    std::wstring name = path(std::wstring(L"r\u00e9sum\u00e9-\u6620\u50cf.mov"));
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "abc", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    CloseHandle(h);
    EXPECT_EQ(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
    EXPECT_TRUE(fs::exists(m_dir / "r\xc3\xa9sum\xc3\xa9-\xe6\x98\xa0\xe5\x83\x8f.mov"));
    EXPECT_TRUE(MoveFileExW(name.c_str(), path("b").c_str(), 0));
    EXPECT_EQ(GetFileAttributesW(path("b").c_str()), (DWORD)FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(DeleteFileW(path("b").c_str()));
    EXPECT_EQ(GetFileAttributesW(path("b").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Files, OperationsOnWrongHandlesFail)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    char b;
    DWORD got = 7;
    EXPECT_FALSE(ReadFile(event, &b, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(ReadFile(INVALID_HANDLE_VALUE, &b, 1, &got, nullptr));
    CloseHandle(event);
}

} // namespace

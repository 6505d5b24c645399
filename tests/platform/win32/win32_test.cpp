// The Win32 layer as Windows code sees it: events, waits, threads and
// critical sections; files by wide path; UTF-8 text; debugger output.
#include <windows.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/debug_capture.h"
#include "support/scratch.h"

namespace {

constexpr DWORD kBound = 20000; // only so that a fault fails instead of hanging

DWORD WINAPI waitOnEvent(LPVOID event)
{
    return WaitForSingleObject(static_cast<HANDLE>(event), kBound) == WAIT_OBJECT_0 ? 42 : 1;
}

char signaled(HANDLE h)
{
    return WaitForSingleObject(h, 0) == WAIT_OBJECT_0 ? '1' : '0';
}

TEST(Events, ResetKindInitialStateAndWaits)
{
    // S: set, R: reset, w: a wait that does not block, answered 1 (signaled) or 0.
    struct Case {
        BOOL manual, initial;
        const char *ops, *expected;
    } cases[] = {
        {FALSE, FALSE, "wSwwSSw", "0101"}, // a wait takes the signal; sets do not add up
        {TRUE, FALSE, "wSwwRw", "0110"},   // signaled until reset
        {FALSE, TRUE, "ww", "10"},
        {TRUE, TRUE, "wwRwSw", "1101"},
    };
    for (const Case &c : cases) {
        HANDLE event = CreateEventW(nullptr, c.manual, c.initial, nullptr);
        std::string seen;
        for (const char *op = c.ops; *op; ++op) {
            if (*op == 'S') SetEvent(event);
            if (*op == 'R') ResetEvent(event);
            if (*op == 'w') seen += signaled(event);
        }
        EXPECT_EQ(c.expected, seen) << c.ops << (c.manual ? " manual" : " auto");
        CloseHandle(event);
    }

    // Wait-any answers the lowest signaled index and takes only that one;
    // a wait-all that fails takes nothing.
    HANDLE all[3] = {CreateEventW(nullptr, FALSE, FALSE, nullptr), CreateEventW(nullptr, FALSE, FALSE, nullptr),
                     CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    SetEvent(all[2]);
    SetEvent(all[1]);
    std::string answers;
    for (int i = 0; i < 3; ++i)
        answers += std::to_string(WaitForMultipleObjects(3, all, FALSE, 0) - WAIT_OBJECT_0);
    SetEvent(all[0]);
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForMultipleObjects(3, all, TRUE, 0));
    answers += std::string(" ") + signaled(all[0]);
    SetEvent(all[0]);
    SetEvent(all[1]);
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForMultipleObjects(3, all, TRUE, 0));
    answers += std::string(" ") + signaled(all[0]) + signaled(all[1]) + signaled(all[2]);
    EXPECT_EQ("122 1 001", answers);
    for (HANDLE h : all)
        CloseHandle(h);

    int notAHandle = 0;
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(&notAHandle, 0));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event)) << "a handle closes once";
}

TEST(Threads, ASetWakesEveryWaiterOnManualAndOneOnAuto)
{
    for (BOOL manual : {TRUE, FALSE}) {
        HANDLE event = CreateEventW(nullptr, manual, FALSE, nullptr);
        std::vector<HANDLE> threads;
        for (int i = 0; i < 3; ++i)
            threads.push_back(CreateThread(nullptr, 0, waitOnEvent, event, 0, nullptr));
        DWORD code = 0;
        ASSERT_TRUE(GetExitCodeThread(threads[0], &code));
        EXPECT_EQ((DWORD)STILL_ACTIVE, code);
        if (manual) SetEvent(event);
        for (std::vector<HANDLE> left = threads; !left.empty();) {
            if (!manual) SetEvent(event);
            DWORD i = WaitForMultipleObjects((DWORD)left.size(), left.data(), FALSE, kBound) - WAIT_OBJECT_0;
            ASSERT_LT(i, left.size());
            left.erase(left.begin() + i);
            if (!manual) {
                EXPECT_EQ('0', signaled(event)) << "the woken thread took the signal";
            }
        }
        for (HANDLE t : threads) {
            EXPECT_EQ('1', signaled(t)) << "a finished thread stays signaled";
            ASSERT_TRUE(GetExitCodeThread(t, &code));
            EXPECT_EQ(42u, code);
            EXPECT_TRUE(CloseHandle(t));
        }
        CloseHandle(event);
    }
}

TEST(Threads, CriticalSectionIsRecursiveAndExcludesOthers)
{
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    auto otherGets = [&] {
        BOOL got = FALSE;
        std::thread([&] {
            got = TryEnterCriticalSection(&cs);
            if (got) LeaveCriticalSection(&cs);
        }).join();
        return got ? '1' : '0';
    };
    std::string seen;
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);
    seen += otherGets();
    LeaveCriticalSection(&cs);
    seen += otherGets(); // still held once
    LeaveCriticalSection(&cs);
    seen += otherGets();
    EXPECT_EQ("001", seen);
    DeleteCriticalSection(&cs);
}

class Files : public ::testing::Test {
protected:
    std::wstring path(const std::string &name) const
    {
        std::string p = m_scratch.path(name);
        return std::wstring(p.begin(), p.end());
    }
    static HANDLE openRead(const std::wstring &p)
    {
        return CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    orvex::test::ScratchFolder m_scratch;
};

TEST_F(Files, OpenReadSeekAndFind)
{
    m_scratch.write("data", {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'});
    const std::pair<std::string, DWORD> refused[] = {
        {"missing.mov", ERROR_FILE_NOT_FOUND},
        {"no-such-folder/x.mov", ERROR_PATH_NOT_FOUND},
        {"data/below", ERROR_PATH_NOT_FOUND}, // a file on the way is a missing folder
        {"", ERROR_ACCESS_DENIED},            // the folder itself
    };
    for (const auto &[name, error] : refused) {
        EXPECT_EQ(INVALID_HANDLE_VALUE, openRead(path(name))) << name;
        EXPECT_EQ(error, GetLastError()) << name;
    }

    HANDLE h = openRead(path("data"));
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    std::string reads;
    char buf[8];
    for (DWORD want : {4, 8, 8}) {
        DWORD got = 99;
        EXPECT_TRUE(ReadFile(h, buf, want, &got, nullptr));
        reads += std::string(buf, got) + "|"; // a read past the end succeeds with what is there
    }
    EXPECT_EQ("0123|456789||", reads);
    // Seeks: distance, method, success, position after (a failed seek does not move).
    struct Seek {
        LONGLONG distance;
        DWORD method;
        BOOL ok;
        LONGLONG at;
    } seeks[] = {{3, FILE_BEGIN, TRUE, 3},      {2, FILE_CURRENT, TRUE, 5}, {-1, FILE_END, TRUE, 9},
                 {-20, FILE_CURRENT, FALSE, 9}, {0, 7, FALSE, 9},           {100, FILE_BEGIN, TRUE, 100}};
    for (const Seek &s : seeks) {
        LARGE_INTEGER d, pos;
        d.QuadPart = s.distance;
        EXPECT_EQ(s.ok, SetFilePointerEx(h, d, nullptr, s.method)) << s.distance;
        d.QuadPart = 0;
        SetFilePointerEx(h, d, &pos, FILE_CURRENT);
        EXPECT_EQ(s.at, pos.QuadPart) << s.distance;
    }
    LARGE_INTEGER size;
    ASSERT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(10, size.QuadPart);
    CloseHandle(h);

    // A sparse file beyond 4 GiB: its size comes from the directory, unread.
    int fd = ::open(m_scratch.path("big").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(0, ftruncate(fd, 0x100000005LL));
    ::close(fd);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path("b*").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_EQ(std::wstring(L"big 1 5"), std::wstring(data.cFileName) + L" " + std::to_wstring(data.nFileSizeHigh) +
                                            L" " + std::to_wstring(data.nFileSizeLow));
    FindClose(find);
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW(path("none/nothing").c_str(), &data));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
}

TEST_F(Files, WideNamesAreUtf8OnDisk)
{
    std::wstring name = path("r") + L"\u00e9sum\u00e9-\u6620\u50cf.mov";
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "abc", 3, &written, nullptr));
    CloseHandle(h);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_EQ((DWORD)ERROR_FILE_EXISTS, GetLastError());
    EXPECT_EQ("abc", orvex::test::ReadFileText(m_scratch.path("r\xc3\xa9sum\xc3\xa9-\xe6\x98\xa0\xe5\x83\x8f.mov")));
    EXPECT_TRUE(MoveFileExW(name.c_str(), path("b").c_str(), 0));
    EXPECT_TRUE(DeleteFileW(path("b").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path("b").c_str()));

    char utf8[32];
    EXPECT_EQ(1 + 2 + 3 + 4 + 1, WideCharToMultiByte(CP_UTF8, 0, L"A\u00e9\u6620\U0001F600", -1, utf8, 32, 0, 0));
    wchar_t back[16];
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, utf8, -1, back, 2)) << "too small a buffer";
    const char bad[] = {'a', char(0xC3), 'b', char(0xFF), char(0xE6), char(0x98), 0};
    EXPECT_EQ(6, MultiByteToWideChar(CP_UTF8, 0, bad, -1, back, 16));
    EXPECT_EQ(std::wstring(L"a\uFFFDb\uFFFD\uFFFD"), back);
}

TEST(DebugOutput, LinesArriveWholeFromManyThreads)
{
    orvex::test::DebugCapture capture;
    const std::string line = std::string(200, 'x') + "\n";
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i)
                OutputDebugStringA(line.c_str());
        });
    for (auto &t : threads)
        t.join();
    OutputDebugStringW(L"wide \u00e9\n");
    EXPECT_EQ(800u, capture.count(line));
    EXPECT_EQ(801u, capture.lines().size());
    EXPECT_EQ("wide \xc3\xa9\n", capture.lines().back());
}

} // namespace

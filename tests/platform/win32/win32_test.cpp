// The Win32 layer as Windows code sees it: events, waits, threads, critical sections, files by wide path, UTF-8.
#include <windows.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/scratch.h"

namespace {

constexpr DWORD kBound = 20000; // only so that a fault fails instead of hanging

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
        EXPECT_TRUE(CloseHandle(event));
        EXPECT_FALSE(CloseHandle(event)) << "a handle closes once";
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
    answers += ' ';
    SetEvent(all[0]);
    answers += std::to_string(WaitForMultipleObjects(3, all, TRUE, 0) == WAIT_TIMEOUT);
    answers += signaled(all[0]) + std::string(" ");
    SetEvent(all[0]);
    SetEvent(all[1]);
    answers += std::to_string(WaitForMultipleObjects(3, all, TRUE, 0) - WAIT_OBJECT_0);
    for (HANDLE h : all) {
        answers += signaled(h);
        CloseHandle(h);
    }
    EXPECT_EQ("122 11 0001", answers);
    int notAHandle = 0;
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(&notAHandle, 0));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
}

DWORD WINAPI waitOnEvent(LPVOID event)
{
    return WaitForSingleObject(static_cast<HANDLE>(event), kBound) == WAIT_OBJECT_0 ? 42 : 1;
}

TEST(Threads, ASetWakesEveryWaiterOnManualAndOneOnAuto)
{
    for (BOOL manual : {TRUE, FALSE}) {
        HANDLE event = CreateEventW(nullptr, manual, FALSE, nullptr);
        std::vector<HANDLE> threads;
        for (int i = 0; i < 3; ++i)
            threads.push_back(CreateThread(nullptr, 0, waitOnEvent, event, 0, nullptr));
        if (manual) SetEvent(event);
        std::string seen;
        for (std::vector<HANDLE> left = threads; !left.empty();) {
            if (!manual) SetEvent(event);
            DWORD i = WaitForMultipleObjects((DWORD)left.size(), left.data(), FALSE, kBound) - WAIT_OBJECT_0;
            ASSERT_LT(i, left.size());
            left.erase(left.begin() + i);
            seen += manual ? '1' : signaled(event); // an auto event's signal went to the woken thread
        }
        seen += ' ';
        for (HANDLE t : threads) {
            DWORD code = 0;
            GetExitCodeThread(t, &code);
            seen += std::to_string(code) + signaled(t) + ' '; // a finished thread stays signaled
            EXPECT_TRUE(CloseHandle(t));
        }
        EXPECT_EQ(manual ? "111 421 421 421 " : "000 421 421 421 ", seen);
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

TEST(Files, OpenReadSeekFindWideNamesAndUtf8)
{
    orvex::test::ScratchFolder scratch;
    auto path = [&](const std::string &name) {
        std::string p = scratch.path(name);
        return std::wstring(p.begin(), p.end());
    };
    auto openRead = [](const std::wstring &p) {
        return CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    scratch.write("data", {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'});
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
    // Seeks as distance, method: success and the position after (a failed seek does not move).
    for (auto [distance, method] : {std::pair<LONGLONG, DWORD>{3, FILE_BEGIN},
                                    {2, FILE_CURRENT},
                                    {-1, FILE_END},
                                    {-20, FILE_CURRENT},
                                    {0, 7},
                                    {100, FILE_BEGIN}}) {
        LARGE_INTEGER d, pos;
        d.QuadPart = distance;
        reads += std::to_string(SetFilePointerEx(h, d, nullptr, method)) + ':';
        d.QuadPart = 0;
        SetFilePointerEx(h, d, &pos, FILE_CURRENT);
        reads += std::to_string(pos.QuadPart) + ' ';
    }
    LARGE_INTEGER size;
    ASSERT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ("0123|456789||1:3 1:5 1:9 0:9 0:9 1:100 10", reads + std::to_string(size.QuadPart));
    CloseHandle(h);

    // A sparse file beyond 4 GiB: its size comes from the directory, unread.
    int fd = ::open(scratch.path("big").c_str(), O_CREAT | O_WRONLY, 0644);
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

    // Wide names are UTF-8 on disk; a malformed sequence converts to U+FFFD.
    scratch.write("r\xc3\xa9sum\xc3\xa9-\xe6\x98\xa0\xe5\x83\x8f.mov", {'a'});
    h = openRead(path("r") + L"\u00e9sum\u00e9-\u6620\u50cf.mov");
    EXPECT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);
    char utf8[32];
    EXPECT_EQ(1 + 2 + 3 + 4 + 1, WideCharToMultiByte(CP_UTF8, 0, L"A\u00e9\u6620\U0001F600", -1, utf8, 32, 0, 0));
    wchar_t back[16];
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, utf8, -1, back, 2)) << "too small a buffer";
    const char bad[] = {'a', char(0xC3), 'b', char(0xFF), char(0xE6), char(0x98), 0};
    EXPECT_EQ(6, MultiByteToWideChar(CP_UTF8, 0, bad, -1, back, 16));
    EXPECT_EQ(std::wstring(L"a\uFFFDb\uFFFD\uFFFD"), back);
}

} // namespace

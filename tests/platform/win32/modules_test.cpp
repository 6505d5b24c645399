#include <windows.h>

#include <gtest/gtest.h>

TEST(Modules, MissingModulesAndProceduresFailCleanly)
{
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("ole32.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(LoadLibraryA("/no/such/module.so"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);

    HMODULE libc = LoadLibraryA("libc.so.6");
    ASSERT_NE(libc, nullptr);
    EXPECT_NE(GetProcAddress(libc, "strlen"), nullptr);
    EXPECT_EQ(GetProcAddress(libc, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);
    wchar_t name[MAX_PATH];
    EXPECT_GT(GetModuleFileNameW(libc, name, MAX_PATH), 0u);
    EXPECT_NE(std::wstring(name).find(L"libc"), std::wstring::npos);
    EXPECT_TRUE(FreeLibrary(libc));
}

TEST(Modules, FileNameOfTheProgramAndOfAnAddress)
{
    wchar_t name[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, name, MAX_PATH);
    ASSERT_GT(n, 0u);
    EXPECT_NE(std::wstring(name).find(L"test_win32"), std::wstring::npos);

    wchar_t small[4];
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 4u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small[3], L'\0');

    HMODULE self = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCWSTR>(&SetEvent), &self));
    ASSERT_GT(GetModuleFileNameW(self, name, MAX_PATH), 0u);
    EXPECT_NE(std::wstring(name).find(L"liborvex_win32"), std::wstring::npos);
}

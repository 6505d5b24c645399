// Two processes and the registry file: concurrent writers lose nothing, and
// a writer killed half-way through a write leaves the old file whole.
#include <winreg.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "support/scratch.h"

namespace {

pid_t spawnWriter(std::vector<std::string> args)
{
    args.insert(args.begin(), orvex::test::BuildProgram("graph_registry_writer"));
    pid_t pid = orvex::test::Spawn(args);
    EXPECT_GT(pid, 0);
    return pid;
}

DWORD indexOf(const std::wstring &path)
{
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CLASSES_ROOT, path.c_str(), &key) != ERROR_SUCCESS) return 0xFFFFFFFF;
    DWORD value = 0xFFFFFFFF, size = sizeof(value);
    RegQueryValueExW(key, L"Index", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size);
    RegCloseKey(key);
    return value;
}

TEST(RegistryProcesses, TwoWritersAtOnceLoseNothing)
{
    orvex::test::TempRegistry registry;
    constexpr int kCount = 40;
    pid_t a = spawnWriter({"write", "a", std::to_string(kCount)});
    pid_t b = spawnWriter({"write", "b", std::to_string(kCount)});
    // This process writes at the same time as the two others.
    HKEY key = nullptr;
    for (int i = 0; i < kCount; ++i) {
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyW(HKEY_CLASSES_ROOT, (L"Writers\\c\\" + std::to_wstring(i)).c_str(), &key));
        DWORD index = static_cast<DWORD>(i);
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Index", 0, REG_DWORD, reinterpret_cast<BYTE *>(&index), 4));
        RegCloseKey(key);
    }
    ASSERT_EQ(0, orvex::test::WaitExit(a));
    ASSERT_EQ(0, orvex::test::WaitExit(b));

    for (const wchar_t *prefix : {L"a", L"b", L"c"}) {
        for (int i = 0; i < kCount; ++i) {
            std::wstring path = std::wstring(L"Writers\\") + prefix + L"\\" + std::to_wstring(i);
            EXPECT_EQ(static_cast<DWORD>(i), indexOf(path)) << "lost: " << std::string(path.begin(), path.end());
        }
    }
}

TEST(RegistryProcesses, KilledWriterLeavesTheOldFileAndNoLock)
{
    orvex::test::TempRegistry registry;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CLASSES_ROOT, L"Before", &key));
    RegCloseKey(key);
    std::string before = registry.read();

    ASSERT_EQ(128 + SIGKILL, orvex::test::WaitExit(spawnWriter({"die"}))) << "the writer was stopped mid-write";
    EXPECT_TRUE(std::filesystem::exists(registry.file() + ".tmp")) << "it died with its new file half written";
    EXPECT_EQ(before, registry.read());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyW(HKEY_CLASSES_ROOT, L"Doomed", &key));

    // The dead writer's lock went with it: the next change goes through.
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CLASSES_ROOT, L"After", &key));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyW(HKEY_CLASSES_ROOT, L"Before", &key));
    RegCloseKey(key);
    EXPECT_FALSE(std::filesystem::exists(registry.file() + ".tmp"));
}

} // namespace

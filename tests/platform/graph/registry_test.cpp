// The registry over its text file: keys and values, the file every change is written to and read back from,
// files that are not a registry, two processes at once.
#include <orvexreg.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/scratch.h"

namespace {

using orvex::test::TempRegistry;

std::vector<BYTE> Wide(const std::wstring &text, bool terminated = true)
{
    std::vector<BYTE> bytes((text.size() + (terminated ? 1 : 0)) * sizeof(WCHAR), 0);
    std::memcpy(bytes.data(), text.data(), text.size() * sizeof(WCHAR));
    return bytes;
}

std::vector<BYTE> Number(uint64_t v, size_t size)
{
    std::vector<BYTE> bytes(size);
    std::memcpy(bytes.data(), &v, size);
    return bytes;
}

DWORD DwordAt(const std::wstring &path, const wchar_t *name)
{
    HKEY key = nullptr;
    DWORD value = 0xFFFFFFFF, size = sizeof(value);
    if (RegOpenKeyW(HKEY_CLASSES_ROOT, path.c_str(), &key) != ERROR_SUCCESS) return value;
    RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size);
    RegCloseKey(key);
    return value;
}

std::wstring Subkeys(HKEY key)
{
    std::wstring names;
    WCHAR name[256];
    for (DWORD i = 0; RegEnumKeyW(key, i, name, 256) == ERROR_SUCCESS; ++i)
        names += std::wstring(name) + L";";
    return names;
}

TEST(Registry, KeysAreCreatedFoundEnumeratedAndDeleted)
{
    TempRegistry registry;
    HKEY key = nullptr, top = nullptr;
    DWORD disposition = 0;
    auto create = [&](const wchar_t *path) {
        EXPECT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition));
        RegCloseKey(key);
        return disposition == REG_CREATED_NEW_KEY ? 'n' : 'o';
    };
    std::string dispositions;
    for (const wchar_t *path : {L"Top\\beta\\Leaf", L"top\\BETA\\leaf", L"Top\\Alpha", L"Top\\gamma"})
        dispositions += create(path); // names compare without case
    EXPECT_EQ("nonn", dispositions);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyW(HKEY_CLASSES_ROOT, L"Top", &top));
    EXPECT_EQ(L"Alpha;beta;gamma;", Subkeys(top)) << "in order, with the case first written";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyW(HKEY_CURRENT_USER, L"Top", &key)) << "each root is a tree of its own";
    const std::pair<const wchar_t *, LONG> deletes[] = {
        {L"Top\\beta", ERROR_ACCESS_DENIED}, // it has a subkey
        {L"Top\\beta\\Leaf", ERROR_SUCCESS}, {L"Top\\beta\\Leaf", ERROR_FILE_NOT_FOUND},
        {L"Top\\beta", ERROR_SUCCESS},       {L"", ERROR_ACCESS_DENIED}, // a root cannot be deleted
    };
    for (const auto &[path, expected] : deletes)
        EXPECT_EQ(expected, RegDeleteKeyW(HKEY_CLASSES_ROOT, path)) << path;
    create(L"Top\\gamma\\A\\B");
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Top\\gamma"));
    EXPECT_EQ(L"Alpha;", Subkeys(top));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CLASSES_ROOT, L"Top\\Alpha"));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(top));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(top)) << "a handle closes once";

    for (const wchar_t *bad : {L"\\Leading", L"Double\\\\Backslash", L"Trailing\\"})
        EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyW(HKEY_CLASSES_ROOT, bad, &key)) << bad;
    EXPECT_EQ("; orvex registry\n\n[HKEY_CLASSES_ROOT]\n\n[HKEY_CLASSES_ROOT\\Top]\n", registry.read());
}

TEST(Registry, ValuesOfEveryTypeComeBackExactlyFromTheFile)
{
    TempRegistry registry;
    struct Case {
        DWORD type;
        std::vector<BYTE> data;
        const char *line; // as the value reads in the file
    } cases[] = {
        {REG_SZ, Wide(L"a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\x01\""},
        {REG_SZ, Wide(L"M\u00fcnchen \U0001F600"), "\"M\xC3\xBCnchen \xF0\x9F\x98\x80\""},
        {REG_SZ, Wide(L"ab", false), "hex(1):61,00,00,00,62,00,00,00"}, // no terminator
        {REG_SZ, Number(0xD800, 4), "hex(1):00,D8,00,00"},              // a lone surrogate
        {REG_EXPAND_SZ, Wide(L"%HOME%/x"), "expand:\"%HOME%/x\""},
        {REG_MULTI_SZ, Wide(std::wstring(L"one\0two\0", 8)), "multi:\"one\",\"two\""},
        {REG_DWORD, Number(0x00600001, 4), "dword:00600001"},
        {REG_DWORD, Number(7, 2), "hex(4):07,00"},
        {REG_QWORD, Number(0x0123456789ABCDEFull, 8), "qword:0123456789ABCDEF"},
        {REG_BINARY, {}, "hex:"},
        {0x1234, {0xAB}, "hex(1234):AB"},
    };
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CLASSES_ROOT, L"Values", &key));
    for (const Case &c : cases) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"V", 0, c.type, c.data.data(), (DWORD)c.data.size()));
        std::string text = registry.read();
        EXPECT_NE(std::string::npos, text.find(std::string("\"V\"=") + c.line + "\n")) << text;
        // Another writer's copy of the same text is read back the same way.
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueW(key, L"V"));
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(key, L"V")) << "deleted from the file";
        registry.write(text);
        DWORD type = 0, size = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"V", nullptr, &type, nullptr, &size));
        std::vector<BYTE> back(size);
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"V", nullptr, nullptr, back.data(), &size));
        EXPECT_EQ(c.type, type) << c.line;
        EXPECT_EQ(c.data, back) << c.line;
    }
    DWORD size = 4;
    BYTE small[4] = {1, 2, 3, 4};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueW(key, nullptr, REG_SZ, L"/x/module.ax", 0));
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, L"", nullptr, nullptr, small, &size));
    EXPECT_EQ(std::to_string(13 * sizeof(WCHAR)) + " 1", std::to_string(size) + " " + std::to_string(small[0]))
        << "the size needed, nothing copied";

    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST(Registry, FilesThatAreNotARegistryAreRefusedAndNeverOverwritten)
{
    TempRegistry registry;
    for (const char *text :
         {"@=\"x\"\n", "[HKEY_NOWHERE\\A]\n", "[HKEY_CLASSES_ROOT\\A\n", "[HKEY_CLASSES_ROOT\\\\A]\n",
          "[HKEY_CLASSES_ROOT\\A]\n\"N\"=\"abc\n", "[HKEY_CLASSES_ROOT\\A]\n\"N\"=\"a\\qb\"\n",
          "[HKEY_CLASSES_ROOT\\A]\n\"N\"=dword:123456789\n", "[HKEY_CLASSES_ROOT\\A]\n\"N\"=hex:0\n",
          "[HKEY_CLASSES_ROOT\\A]\n\"N\"=hex(123456789):00\n", "[HKEY_CLASSES_ROOT\\A]\n\"N\"=\"x\" junk\n",
          "[HKEY_CLASSES_ROOT\\A]\n\"N\"=\"\xC0\xAF\"\n",
          "\x7F"
          "ELF\x01\x02"}) {
        registry.write(text);
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_CANTREAD, RegOpenKeyW(HKEY_CLASSES_ROOT, L"A", &key)) << text;
        EXPECT_EQ(ERROR_CANTREAD, RegCreateKeyW(HKEY_CLASSES_ROOT, L"B", &key)) << text;
        EXPECT_EQ(text, registry.read());
    }
    registry.write("; by hand\r\n\r\n[HKEY_CLASSES_ROOT\\A]\r\n\"N\"=dword:0000000A\r\n");
    EXPECT_EQ(10u, DwordAt(L"A", L"N")) << "comments, blank lines and Windows line ends are read";
}

TEST(Registry, TwoProcessesAtOnceLoseNothingAndAKilledWriterLeavesTheOldFile)
{
    TempRegistry registry;
    const std::string writer = orvex::test::BuildProgram("graph_registry_writer");
    pid_t a = orvex::test::Spawn({writer, "write", "a", "40"});
    pid_t b = orvex::test::Spawn({writer, "write", "b", "40"});
    for (int i = 0; i < 40; ++i) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyW(HKEY_CLASSES_ROOT, (L"Writers\\c\\" + std::to_wstring(i)).c_str(), &key));
        DWORD index = static_cast<DWORD>(i);
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Index", 0, REG_DWORD, (BYTE *)&index, 4));
        RegCloseKey(key);
    }
    ASSERT_EQ(0, orvex::test::WaitExit(a));
    ASSERT_EQ(0, orvex::test::WaitExit(b));
    for (const wchar_t *prefix : {L"a", L"b", L"c"})
        for (int i = 0; i < 40; ++i)
            EXPECT_EQ((DWORD)i, DwordAt(L"Writers\\" + std::wstring(prefix) + L"\\" + std::to_wstring(i), L"Index"));

    std::string before = registry.read();
    ASSERT_EQ(128 + SIGKILL, orvex::test::WaitExit(orvex::test::Spawn({writer, "die"})));
    EXPECT_TRUE(std::filesystem::exists(registry.file() + ".tmp")) << "it died with its new file half written";
    EXPECT_EQ(before, registry.read());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CLASSES_ROOT, L"After", &key)) << "the dead writer's lock went with it";
    RegCloseKey(key);
}

} // namespace

// The registry file: where it lives, what it reads like, changes made by
// others, and files that are not a registry.
#include <orvexreg.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/scratch.h"

namespace {

using orvex::test::TempRegistry;

std::string registryFileName()
{
    char path[4096];
    DWORD n = OrvexGetRegistryFileName(path, sizeof(path));
    return n ? std::string(path, n) : std::string();
}

class EnvironmentVariable {
public:
    EnvironmentVariable(const char *name, const char *value) : m_name(name)
    {
        const char *old = std::getenv(name);
        if (old) m_old = old;
        m_had = old != nullptr;
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~EnvironmentVariable()
    {
        if (m_had) {
            ::setenv(m_name.c_str(), m_old.c_str(), 1);
        } else {
            ::unsetenv(m_name.c_str());
        }
    }

private:
    std::string m_name;
    std::string m_old;
    bool m_had;
};

TEST(RegistryLocation, OverrideThenConfigFolderThenHome)
{
    EnvironmentVariable registry("ORVEX_REGISTRY", "/tmp/some/registry");
    EnvironmentVariable config("XDG_CONFIG_HOME", "/cfg");
    EnvironmentVariable home("HOME", "/home/someone");
    EXPECT_EQ("/tmp/some/registry", registryFileName());
    {
        EnvironmentVariable bare("ORVEX_REGISTRY", "registry");
        EXPECT_EQ("./registry", registryFileName()) << "a bare name is in the current folder";
    }
    {
        EnvironmentVariable unset("ORVEX_REGISTRY", nullptr);
        EXPECT_EQ("/cfg/orvex/registry", registryFileName());
        EnvironmentVariable relative("XDG_CONFIG_HOME", "relative/folder");
        EXPECT_EQ("/home/someone/.config/orvex/registry", registryFileName()) << "a relative config folder is ignored";
        EnvironmentVariable noConfig("XDG_CONFIG_HOME", "");
        EXPECT_EQ("/home/someone/.config/orvex/registry", registryFileName());
    }
    char small[4];
    EXPECT_EQ(std::string("/tmp/some/registry").size() + 1, OrvexGetRegistryFileName(small, sizeof(small)));
}

TEST(RegistryFile, TextNamesEveryKeyAndValue)
{
    TempRegistry registry;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CLASSES_ROOT, L"CLSID\\{X}\\InprocServer32", &key));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueW(key, nullptr, REG_SZ, L"/m.ax", 0));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE *>(L"Both"),
                                            5 * sizeof(WCHAR)));
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ("; orvex registry\n"
              "\n[HKEY_CLASSES_ROOT]\n"
              "\n[HKEY_CLASSES_ROOT\\CLSID]\n"
              "\n[HKEY_CLASSES_ROOT\\CLSID\\{X}]\n"
              "\n[HKEY_CLASSES_ROOT\\CLSID\\{X}\\InprocServer32]\n"
              "@=\"/m.ax\"\n"
              "\"ThreadingModel\"=\"Both\"\n",
              registry.read());
}

TEST(RegistryFile, FolderIsMadeOnTheFirstChange)
{
    TempRegistry registry;
    std::string nested = registry.folder() + "/a/b/registry";
    ::setenv("ORVEX_REGISTRY", nested.c_str(), 1);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, L"K", &key));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_TRUE(std::filesystem::is_regular_file(nested));
    EXPECT_FALSE(std::filesystem::exists(nested + ".tmp")) << "the temporary file was renamed";
}

TEST(RegistryFile, ChangesByAnotherWriterAreSeen)
{
    TempRegistry registry;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CLASSES_ROOT, L"Shared", &key));
    DWORD value = 1, size = 4;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"N", 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), 4));
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"N", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size));

    registry.write("[HKEY_CLASSES_ROOT\\Shared]\n\"N\"=dword:00000002\n\"Added\"=\"yes\"\n");
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"N", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size));
    EXPECT_EQ(2u, value);
    DWORD one = 1;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Mine", 0, REG_DWORD, reinterpret_cast<BYTE *>(&one), 4));
    EXPECT_NE(std::string::npos, registry.read().find("\"Added\"=\"yes\"")) << "a change starts from the file";
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));

    std::filesystem::remove(registry.file());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyW(HKEY_CLASSES_ROOT, L"Shared", &key)) << "a removed file is empty";
}

struct BadFile {
    const char *what;
    const char *text;
};

class RegistryBadFiles : public testing::TestWithParam<BadFile> {};

TEST_P(RegistryBadFiles, AreRefusedAndNeverOverwritten)
{
    TempRegistry registry;
    std::string text = GetParam().text;
    registry.write(text);
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_CANTREAD, RegOpenKeyW(HKEY_CLASSES_ROOT, L"A", &key));
    EXPECT_EQ(ERROR_CANTREAD, RegCreateKeyW(HKEY_CLASSES_ROOT, L"B", &key));
    EXPECT_EQ(ERROR_CANTREAD, RegSetValueW(HKEY_CLASSES_ROOT, L"C", REG_SZ, L"x", 0));
    EXPECT_EQ(text, registry.read());
}

INSTANTIATE_TEST_SUITE_P(Hostile, RegistryBadFiles,
                         testing::Values(BadFile{"value_before_any_key", "@=\"x\"\n"},
                                         BadFile{"unknown_root", "[HKEY_NOWHERE\\A]\n"},
                                         BadFile{"unterminated_key", "[HKEY_CLASSES_ROOT\\A\n"},
                                         BadFile{"empty_component", "[HKEY_CLASSES_ROOT\\\\A]\n"},
                                         BadFile{"unterminated_text", "[HKEY_CLASSES_ROOT\\A]\n\"N\"=\"abc\n"},
                                         BadFile{"bad_escape", "[HKEY_CLASSES_ROOT\\A]\n\"N\"=\"a\\qb\"\n"},
                                         BadFile{"short_escape", "[HKEY_CLASSES_ROOT\\A]\n\"N\"=\"a\\x4\"\n"},
                                         BadFile{"short_number", "[HKEY_CLASSES_ROOT\\A]\n\"N\"=dword:123\n"},
                                         BadFile{"long_number", "[HKEY_CLASSES_ROOT\\A]\n\"N\"=dword:123456789\n"},
                                         BadFile{"odd_hex", "[HKEY_CLASSES_ROOT\\A]\n\"N\"=hex:0\n"},
                                         BadFile{"hex_separator", "[HKEY_CLASSES_ROOT\\A]\n\"N\"=hex:00;01\n"},
                                         BadFile{"huge_type", "[HKEY_CLASSES_ROOT\\A]\n\"N\"=hex(123456789):00\n"},
                                         BadFile{"unknown_type", "[HKEY_CLASSES_ROOT\\A]\n\"N\"=float:1.0\n"},
                                         BadFile{"trailing_junk", "[HKEY_CLASSES_ROOT\\A]\n\"N\"=\"x\" junk\n"},
                                         BadFile{"invalid_utf8", "[HKEY_CLASSES_ROOT\\A\xC3]\n"},
                                         BadFile{"overlong_utf8", "[HKEY_CLASSES_ROOT\\A]\n\"N\"=\"\xC0\xAF\"\n"},
                                         BadFile{"empty_list_item", "[HKEY_CLASSES_ROOT\\A]\n\"N\"=multi:\"a\",\"\"\n"},
                                         BadFile{"control_in_name", "[HKEY_CLASSES_ROOT\\A]\n\"N\\x01\"=\"x\"\n"},
                                         BadFile{"binary_junk", "\x7F"
                                                                "ELF\x01\x02"}),
                         [](const testing::TestParamInfo<BadFile> &info) { return std::string(info.param.what); });

TEST(RegistryFile, CommentsBlankLinesAndWindowsLineEndsAreRead)
{
    TempRegistry registry;
    registry.write("; written by hand\r\n\r\n[HKEY_CLASSES_ROOT\\A]\r\n\"N\"=dword:0000000A\r\n");
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyW(HKEY_CLASSES_ROOT, L"A", &key));
    DWORD value = 0, size = 4;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"N", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size));
    EXPECT_EQ(10u, value);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST(RegistryFile, UnwritableLocationFailsTheChangeOnly)
{
    TempRegistry registry;
    std::string blocker = registry.folder() + "/not-a-folder";
    registry.write("");
    std::filesystem::copy_file(registry.file(), blocker);
    std::string inside = blocker + "/registry";
    ::setenv("ORVEX_REGISTRY", inside.c_str(), 1);
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_CANTWRITE, RegCreateKeyW(HKEY_CLASSES_ROOT, L"A", &key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyW(HKEY_CLASSES_ROOT, L"A", &key));
}

} // namespace

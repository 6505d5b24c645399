// Values of the registry: every type survives the trip through the file,
// the size protocol of the query and enumeration functions, deletion.
#include <orvexreg.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "support/scratch.h"

namespace {

std::vector<BYTE> wide(const std::wstring &text, bool terminated = true)
{
    std::vector<BYTE> bytes((text.size() + (terminated ? 1 : 0)) * sizeof(WCHAR), 0);
    std::memcpy(bytes.data(), text.data(), text.size() * sizeof(WCHAR));
    return bytes;
}

std::vector<BYTE> number(uint64_t v, size_t size)
{
    std::vector<BYTE> bytes(size);
    std::memcpy(bytes.data(), &v, size);
    return bytes;
}

struct ValueCase {
    const char *what;
    DWORD type;
    std::vector<BYTE> data;
    const char *fileText; // how the value line reads in the file
};

class RegistryValueTypes : public testing::TestWithParam<ValueCase> {
protected:
    orvex::test::TempRegistry m_registry;
};

TEST_P(RegistryValueTypes, ValueComesBackExactlyFromTheFile)
{
    const ValueCase &c = GetParam();
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CLASSES_ROOT, L"Values", &key));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"V", 0, c.type, c.data.data(), (DWORD)c.data.size()));
    EXPECT_NE(std::string::npos, m_registry.read().find(std::string("\"V\"=") + c.fileText + "\n"))
        << m_registry.read();

    // Another writer's copy of the same text is read back the same way.
    std::string text = m_registry.read();
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueW(key, L"V"));
    m_registry.write(text);

    DWORD type = 0, size = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"V", nullptr, &type, nullptr, &size));
    EXPECT_EQ(c.type, type);
    ASSERT_EQ(c.data.size(), size);
    std::vector<BYTE> back(size + 1, 0xEE);
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"V", nullptr, nullptr, back.data(), &size));
    back.resize(size);
    EXPECT_EQ(c.data, back);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

INSTANTIATE_TEST_SUITE_P(
    AllTypes, RegistryValueTypes,
    testing::Values(ValueCase{"text", REG_SZ, wide(L"Both"), "\"Both\""},
                    ValueCase{"escaped text", REG_SZ, wide(L"a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\x01\""},
                    ValueCase{"unicode text", REG_SZ, wide(L"M\u00fcnchen \u6771\U0001F600"),
                              "\"M\xC3\xBCnchen \xE6\x9D\xB1\xF0\x9F\x98\x80\""},
                    ValueCase{"empty text", REG_SZ, wide(L""), "\"\""},
                    ValueCase{"text without terminator", REG_SZ, wide(L"ab", false), "hex(1):61,00,00,00,62,00,00,00"},
                    ValueCase{"expandable text", REG_EXPAND_SZ, wide(L"%HOME%/x"), "expand:\"%HOME%/x\""},
                    ValueCase{"text list", REG_MULTI_SZ, wide(std::wstring(L"one\0two\0", 8)), "multi:\"one\",\"two\""},
                    ValueCase{"empty text list", REG_MULTI_SZ, wide(L""), "multi:"},
                    ValueCase{"number", REG_DWORD, number(0x00600001, 4), "dword:00600001"},
                    ValueCase{"short number", REG_DWORD, number(7, 2), "hex(4):07,00"},
                    ValueCase{"wide number", REG_QWORD, number(0x0123456789ABCDEFull, 8), "qword:0123456789ABCDEF"},
                    ValueCase{"bytes", REG_BINARY, {0x00, 0xFF, 0x10}, "hex:00,FF,10"},
                    ValueCase{"no bytes", REG_BINARY, {}, "hex:"},
                    ValueCase{"other type", 0x1234, {0xAB}, "hex(1234):AB"},
                    ValueCase{"invalid character", REG_SZ, number(0xD800, 4) /* a lone surrogate */,
                              "hex(1):00,D8,00,00"}),
    [](const testing::TestParamInfo<ValueCase> &info) {
        std::string name;
        for (const char *p = info.param.what; *p; ++p)
            name += std::isalnum((unsigned char)*p) ? *p : '_';
        return name;
    });

class RegistryValues : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CLASSES_ROOT, L"Values", &m_key)); }
    void TearDown() override { EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(m_key)); }

    orvex::test::TempRegistry m_registry;
    HKEY m_key = nullptr;
};

TEST_F(RegistryValues, QueryTellsTheSizeNeededAndCopiesNothingIntoASmallBuffer)
{
    std::vector<BYTE> data = wide(L"OrvexH264Filter.ax");
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, nullptr, 0, REG_SZ, data.data(), (DWORD)data.size()));

    DWORD size = 4;
    BYTE small[4] = {1, 2, 3, 4};
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(m_key, L"", nullptr, nullptr, small, &size));
    EXPECT_EQ(data.size(), size);
    EXPECT_EQ(1, small[0]);
    DWORD type = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(m_key, nullptr, nullptr, &type, nullptr, nullptr));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExW(m_key, nullptr, nullptr, nullptr, small, nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(m_key, L"Missing", nullptr, nullptr, nullptr, &size));
}

TEST_F(RegistryValues, SetValueWritesTheDefaultTextOfASubkey)
{
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueW(m_key, L"InprocServer32", REG_SZ, L"/x/module.ax", 0));
    HKEY sub = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyW(m_key, L"InprocServer32", &sub));
    WCHAR text[32];
    DWORD size = sizeof(text);
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(sub, nullptr, nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size));
    EXPECT_STREQ(L"/x/module.ax", text);
    EXPECT_EQ(13 * sizeof(WCHAR), size);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(sub));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueW(m_key, nullptr, REG_DWORD, L"x", 0));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueW(m_key, nullptr, REG_SZ, nullptr, 0));
}

TEST_F(RegistryValues, SettingTheSameValueAgainLeavesTheFileAlone)
{
    DWORD merit = 0x00600001;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, L"Merit", 0, REG_DWORD, reinterpret_cast<BYTE *>(&merit), 4));
    std::string before = m_registry.read();
    m_registry.write(before + "; a remark only a rewrite would drop\n");
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, L"merit", 0, REG_DWORD, reinterpret_cast<BYTE *>(&merit), 4));
    EXPECT_NE(std::string::npos, m_registry.read().find("a remark")) << "names compare without case";
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExW(m_key, L"Merit", 0, REG_DWORD, nullptr, 4));
}

TEST_F(RegistryValues, EnumerationListsNamesTypesAndData)
{
    DWORD one = 1;
    std::vector<BYTE> text = wide(L"x");
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, L"Number", 0, REG_DWORD, reinterpret_cast<BYTE *>(&one), 4));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, nullptr, 0, REG_SZ, text.data(), (DWORD)text.size()));

    WCHAR name[16];
    DWORD cch = 16, type = 0, size = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueW(m_key, 0, name, &cch, nullptr, &type, nullptr, &size));
    EXPECT_STREQ(L"", name) << "the default value comes first";
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(text.size(), size);
    cch = 16;
    DWORD value = 0;
    size = 4;
    ASSERT_EQ(ERROR_SUCCESS,
              RegEnumValueW(m_key, 1, name, &cch, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size));
    EXPECT_STREQ(L"Number", name);
    EXPECT_EQ(6u, cch);
    EXPECT_EQ(1u, value);
    cch = 6;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueW(m_key, 1, name, &cch, nullptr, nullptr, nullptr, nullptr));
    cch = 16;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueW(m_key, 2, name, &cch, nullptr, nullptr, nullptr, nullptr));

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueW(m_key, L"Number"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(m_key, L"Number"));
    DWORD count = 0, maxName = 9, maxData = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(m_key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                                              &maxName, &maxData, nullptr, nullptr));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(0u, maxName);
    EXPECT_EQ(text.size(), maxData);
}

TEST_F(RegistryValues, ValueNamesMustBeText)
{
    DWORD one = 1;
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegSetValueExW(m_key, L"bad\nname", 0, REG_DWORD, reinterpret_cast<BYTE *>(&one), 4));
    std::wstring longName(16384, L'n');
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegSetValueExW(m_key, longName.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE *>(&one), 4));
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(m_key, L"with \"quotes\" and \\", 0, REG_DWORD, reinterpret_cast<BYTE *>(&one), 4));
    EXPECT_NE(std::string::npos, m_registry.read().find("\"with \\\"quotes\\\" and \\\\\"=dword:00000001"));
}

} // namespace

// Keys of the registry: creation, opening, deletion, enumeration and the
// handles that name them.
#include <orvexreg.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scratch.h"

namespace {

class RegistryKeys : public testing::Test {
protected:
    orvex::test::TempRegistry m_registry;

    HKEY create(HKEY parent, const wchar_t *path, DWORD *disposition = nullptr)
    {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition));
        return key;
    }

    std::vector<std::wstring> subkeys(HKEY key)
    {
        std::vector<std::wstring> names;
        for (DWORD i = 0;; ++i) {
            WCHAR name[256];
            DWORD cch = 256;
            LONG status = RegEnumKeyExW(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) break;
            EXPECT_EQ(ERROR_SUCCESS, status);
            if (status != ERROR_SUCCESS) break;
            EXPECT_EQ(std::wcslen(name), cch);
            names.push_back(name);
        }
        return names;
    }
};

TEST_F(RegistryKeys, CreateMakesMissingParentsAndReportsWhetherTheKeyIsNew)
{
    DWORD disposition = 0;
    HKEY key = create(HKEY_CLASSES_ROOT, L"CLSID\\{A}\\InprocServer32", &disposition);
    EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disposition);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));

    key = create(HKEY_CLASSES_ROOT, L"clsid\\{a}\\inprocserver32", &disposition);
    EXPECT_EQ((DWORD)REG_OPENED_EXISTING_KEY, disposition) << "names compare without case";
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));

    HKEY parent = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ, &parent));
    EXPECT_EQ(std::vector<std::wstring>{L"{A}"}, subkeys(parent)) << "the case first written is kept";
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(parent));
}

TEST_F(RegistryKeys, OpenFindsOnlyExistingKeys)
{
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CLASSES_ROOT, L"NoSuchKey", 0, KEY_READ, &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(create(HKEY_CURRENT_USER, L"Software\\Orvex")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Software\\Orvex", 0, KEY_READ, &key))
        << "each root is a tree of its own";
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyW(HKEY_CURRENT_USER, L"Software\\Orvex", &key));
    HKEY same = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(key, nullptr, 0, KEY_READ, &same)) << "no subkey opens the key again";
    EXPECT_NE(key, same);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(same));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(RegistryKeys, BadHandlesAndPathsAreRefused)
{
    HKEY key = nullptr;
    HKEY closed = create(HKEY_CLASSES_ROOT, L"A");
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(closed));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(closed));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExW(closed, L"B", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCreateKeyW(reinterpret_cast<HKEY>(0x1234), L"B", &key));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CLASSES_ROOT)) << "the roots stay open";

    const wchar_t *badPaths[] = {L"\\Leading", L"Double\\\\Backslash", L"Trailing\\", L"Control\x01Char"};
    for (const wchar_t *path : badPaths) {
        EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyW(HKEY_CLASSES_ROOT, path, &key)) << path;
    }
    std::wstring longName(256, L'x');
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyW(HKEY_CLASSES_ROOT, longName.c_str(), &key));
    longName.pop_back();
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CLASSES_ROOT, longName.c_str(), &key)) << "255 characters are allowed";
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegCreateKeyExW(HKEY_CLASSES_ROOT, L"A", 0, nullptr, 0, 0, nullptr, nullptr, nullptr));
}

TEST_F(RegistryKeys, DeleteRefusesKeysWithSubkeysAndDeleteTreeTakesThemAll)
{
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(create(HKEY_CLASSES_ROOT, L"Top\\Middle\\Leaf")));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(HKEY_CLASSES_ROOT, L"Top\\Middle"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CLASSES_ROOT, L"Top\\Middle\\Leaf"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(HKEY_CLASSES_ROOT, L"Top\\Middle\\Leaf"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CLASSES_ROOT, L"Top\\Middle"));

    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(create(HKEY_CLASSES_ROOT, L"Top\\A\\B\\C")));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Top\\A"));
    HKEY top = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyW(HKEY_CLASSES_ROOT, L"Top", &top));
    EXPECT_TRUE(subkeys(top).empty());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Top\\A"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(HKEY_CLASSES_ROOT, L"")) << "a root cannot be deleted";
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyW(HKEY_CLASSES_ROOT, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(top));
}

TEST_F(RegistryKeys, HandleOfADeletedKeySaysSo)
{
    HKEY key = create(HKEY_CLASSES_ROOT, L"Gone");
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CLASSES_ROOT, L"Gone"));
    HKEY sub = nullptr;
    EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyW(key, L"Child", &sub));
    DWORD value = 1;
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExW(key, L"V", 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), 4));
    DWORD count = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                                                  nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_TRUE(m_registry.read().find("Child") == std::string::npos) << "nothing was made under the deleted key";
}

TEST_F(RegistryKeys, EnumerationIsOrderedAndChecksTheBufferSize)
{
    HKEY parent = create(HKEY_CLASSES_ROOT, L"Parent");
    for (const wchar_t *name : {L"beta", L"Alpha", L"gamma"})
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(create(parent, name)));
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha", L"beta", L"gamma"}), subkeys(parent));

    WCHAR small[6];
    DWORD cch = 5;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(parent, 0, small, &cch, nullptr, nullptr, nullptr, nullptr))
        << "five characters need room for the terminator too";
    EXPECT_EQ(5u, cch);
    cch = 6;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExW(parent, 0, small, &cch, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ(L"Alpha", small);
    EXPECT_EQ(5u, cch);
    WCHAR name[16];
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyW(parent, 2, name, 16));
    EXPECT_STREQ(L"gamma", name);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyW(parent, 3, name, 16));

    DWORD subKeyCount = 0, maxSubKey = 0, valueCount = 9;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(parent, nullptr, nullptr, nullptr, &subKeyCount, &maxSubKey, nullptr,
                                              &valueCount, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(3u, subKeyCount);
    EXPECT_EQ(5u, maxSubKey);
    EXPECT_EQ(0u, valueCount);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(parent));
}

TEST_F(RegistryKeys, RootsThatTheFileDoesNotNameAreEmpty)
{
    DWORD subKeyCount = 9;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(HKEY_USERS, nullptr, nullptr, nullptr, &subKeyCount, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, subKeyCount);
    WCHAR name[16];
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyW(HKEY_LOCAL_MACHINE, 0, name, 16));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_USERS, nullptr));
    EXPECT_EQ("", m_registry.read()) << "reading and emptying an empty registry writes nothing";
}

} // namespace

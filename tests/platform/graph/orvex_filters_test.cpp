// `orvex filters` lists what the registry holds, here after the test module
// registered itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/scratch.h"

namespace {

orvex::test::ProgramRun runFilters()
{
    return orvex::test::Run({orvex::test::BuildProgram("orvex"), "filters"});
}

HRESULT registerTestModule()
{
    std::wstring path;
    for (char c : orvex::test::BuildProgram("graph_test_module.ax"))
        path.push_back(static_cast<wchar_t>(c));
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module) return E_FAIL;
    typedef HRESULT(STDAPICALLTYPE * ServerFn)();
    auto fn = reinterpret_cast<ServerFn>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllRegisterServer")));
    HRESULT hr = fn ? fn() : E_FAIL;
    FreeLibrary(module);
    return hr;
}

TEST(OrvexFilters, SaysSoWhenNothingIsRegistered)
{
    orvex::test::TempRegistry registry;
    orvex::test::ProgramRun r = runFilters();
    EXPECT_EQ(0, r.status);
    EXPECT_NE(std::string::npos, r.out.find("Registry: " + registry.file() + "\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("Nothing is registered.")) << r.out;
}

TEST(OrvexFilters, ListsTheRegisteredFiltersAndClasses)
{
    orvex::test::TempRegistry registry;
    ASSERT_EQ(S_OK, registerTestModule());
    orvex::test::ProgramRun r = runFilters();
    EXPECT_EQ(0, r.status);
    for (const char *expected :
         {"\nFilters\n  Module Test Filter\n", "    class   {7E57D000-3333-4C4C-A000-000000000001}\n",
          "graph_test_module.ax\n", "    merit   0x00600000\n", "    input   Input\n",
          "            {7E57A000-1111-4A4A-8000-000000000001} / {7E57A000-1111-4A4A-8000-00000000000A}\n",
          "\nCOM classes\n", "  {7E57D000-3333-4C4C-A000-000000000002}  Module Test Object\n"}) {
        EXPECT_NE(std::string::npos, r.out.find(expected)) << "missing: " << expected << "\n" << r.out;
    }
}

TEST(OrvexFilters, UnreadableRegistryIsAnError)
{
    orvex::test::TempRegistry registry;
    registry.write("not a registry\n");
    orvex::test::ProgramRun r = runFilters();
    EXPECT_EQ(2, r.status);
    EXPECT_NE(std::string::npos, r.err.find("orvex: cannot read the registry " + registry.file())) << r.err;
}

} // namespace

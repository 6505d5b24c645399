// The process's class objects: registration, creation through
// CoCreateInstance, revocation and the in-process server locator.
#include "test_objects.h"

#include <olectl.h>
#include <orvexcom.h>

#include <gtest/gtest.h>

namespace {

IClassFactory *testFactory()
{
    IClassFactory *cf = nullptr;
    EXPECT_EQ(S_OK, DllGetClassObject(CLSID_TestObject, IID_IClassFactory, reinterpret_cast<void **>(&cf)));
    return cf;
}

TEST(ComClassObjects, RegisteredClassIsCreatedUntilRevoked)
{
    IClassFactory *cf = testFactory();
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, CoRegisterClassObject(CLSID_TestObject, cf, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie));
    cf->Release(); // the registration holds its own reference

    ITestCounter *counter = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCounter,
                                     reinterpret_cast<void **>(&counter)));
    EXPECT_EQ(1, counter->Increment());
    counter->Release();

    void *pv = reinterpret_cast<void *>(1);
    EXPECT_EQ(E_NOINTERFACE, CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_ITestOuter, &pv));
    EXPECT_EQ(nullptr, pv);
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_LOCAL_SERVER, IID_ITestCounter, &pv))
        << "registered for in-process use only";

    EXPECT_EQ(S_OK, CoRevokeClassObject(cookie));
    EXPECT_EQ(CO_E_OBJNOTREG, CoRevokeClassObject(cookie));
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCounter, &pv));
    EXPECT_EQ(S_OK, DllCanUnloadNow()) << "revocation released the class object";
}

TEST(ComClassObjects, BadArgumentsAreRefused)
{
    DWORD cookie;
    EXPECT_EQ(E_INVALIDARG, CoRegisterClassObject(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, 0, &cookie));
    EXPECT_EQ(E_POINTER, CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr));
    EXPECT_EQ(E_INVALIDARG, CoGetClassObject(CLSID_TestObject, CLSCTX_INPROC_SERVER, nullptr, IID_IUnknown, nullptr));
}

struct LocatorLog {
    int calls = 0;
};

HRESULT locateInThisModule(REFCLSID rclsid, REFIID riid, void **ppv, void *context)
{
    ++static_cast<LocatorLog *>(context)->calls;
    return DllGetClassObject(rclsid, riid, ppv);
}

TEST(ComClassObjects, UnregisteredClassesAreAskedOfTheLocator)
{
    LocatorLog log;
    OrvexSetClassObjectLocator(locateInThisModule, &log);
    ITestCounter *counter = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCounter,
                                     reinterpret_cast<void **>(&counter)));
    counter->Release();
    void *pv = nullptr;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              CoCreateInstance(IID_ITestOuter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &pv));
    EXPECT_EQ(2, log.calls);
    OrvexSetClassObjectLocator(nullptr, nullptr);
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &pv));
    EXPECT_EQ(2, log.calls);
}

TEST(ComClassObjects, FreeUnusedLibrariesReachesTheLoader)
{
    int calls = 0;
    OrvexSetFreeUnusedLibrariesHandler([](void *c) { ++*static_cast<int *>(c); }, &calls);
    CoFreeUnusedLibraries();
    OrvexSetFreeUnusedLibrariesHandler(nullptr, nullptr);
    CoFreeUnusedLibraries();
    EXPECT_EQ(1, calls);
}

} // namespace

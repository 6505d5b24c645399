// The module support over this program's class table: DllGetClassObject,
// CClassFactory with aggregation and server locks, DllCanUnloadNow and
// DllEntryPoint.
#include "classfactory.h"
#include "test_objects.h"

#include <olectl.h>

#include <gtest/gtest.h>

namespace {

class ComModuleEntryTest : public testing::Test {
protected:
    void SetUp() override { CTestObject::s_destroyed = 0; }
    void TearDown() override { EXPECT_EQ(S_OK, DllCanUnloadNow()) << "an object or a lock outlived the test"; }

    IClassFactory *factory(REFCLSID clsid)
    {
        IClassFactory *cf = nullptr;
        EXPECT_EQ(S_OK, DllGetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void **>(&cf)));
        return cf;
    }
};

TEST_F(ComModuleEntryTest, ClassObjectCreatesTheTemplatesObject)
{
    IClassFactory *cf = factory(CLSID_TestObject);
    ASSERT_NE(nullptr, cf);
    ITestCounter *counter = nullptr;
    ASSERT_EQ(S_OK, cf->CreateInstance(nullptr, IID_ITestCounter, reinterpret_cast<void **>(&counter)));
    EXPECT_EQ(1, counter->Increment());
    EXPECT_EQ(0u, counter->Release());
    EXPECT_EQ(1, CTestObject::s_destroyed);
    cf->Release();
}

TEST_F(ComModuleEntryTest, ClassObjectAnswersOnlyItsInterfaces)
{
    IUnknown *unk = nullptr;
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_TestObject, IID_IUnknown, reinterpret_cast<void **>(&unk)));
    IClassFactory *cf = nullptr;
    EXPECT_EQ(S_OK, unk->QueryInterface(IID_IClassFactory, reinterpret_cast<void **>(&cf)));
    void *other = reinterpret_cast<void *>(1);
    EXPECT_EQ(E_NOINTERFACE, unk->QueryInterface(IID_ITestCounter, &other));
    EXPECT_EQ(nullptr, other);
    cf->Release();
    unk->Release();
}

TEST_F(ComModuleEntryTest, UnknownClassOrInterfaceIsRefused)
{
    void *pv = reinterpret_cast<void *>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, DllGetClassObject(IID_ITestOuter, IID_IClassFactory, &pv));
    EXPECT_EQ(nullptr, pv);
    pv = reinterpret_cast<void *>(1);
    EXPECT_EQ(E_NOINTERFACE, DllGetClassObject(CLSID_TestObject, IID_ITestCounter, &pv));
    EXPECT_EQ(nullptr, pv);
    EXPECT_EQ(E_POINTER, DllGetClassObject(CLSID_TestObject, IID_IClassFactory, nullptr));
}

TEST_F(ComModuleEntryTest, CreationFailuresReachTheCaller)
{
    IClassFactory *cf = factory(CLSID_TestOutOfMemory);
    void *pv = reinterpret_cast<void *>(1);
    EXPECT_EQ(E_OUTOFMEMORY, cf->CreateInstance(nullptr, IID_IUnknown, &pv));
    EXPECT_EQ(nullptr, pv);
    cf->Release();

    cf = factory(CLSID_TestFailingInit);
    EXPECT_EQ(E_FAIL, cf->CreateInstance(nullptr, IID_IUnknown, &pv));
    EXPECT_EQ(1, CTestObject::s_destroyed) << "an object whose creation failed is deleted";
    cf->Release();

    cf = factory(CLSID_TestObject);
    EXPECT_EQ(E_NOINTERFACE, cf->CreateInstance(nullptr, IID_ITestOuter, &pv));
    EXPECT_EQ(2, CTestObject::s_destroyed) << "a refused interface leaves no object behind";
    EXPECT_EQ(E_POINTER, cf->CreateInstance(nullptr, IID_IUnknown, nullptr));
    cf->Release();
}

TEST_F(ComModuleEntryTest, AggregationAsksForTheInnerUnknownOnly)
{
    HRESULT hr = S_OK;
    CTestOuter *outer = new CTestOuter(&hr);
    outer->NonDelegatingAddRef();
    IClassFactory *cf = factory(CLSID_TestObject);
    void *pv = nullptr;
    EXPECT_EQ(E_NOINTERFACE, cf->CreateInstance(outer->GetOwner(), IID_ITestCounter, &pv));

    IUnknown *inner = nullptr;
    ASSERT_EQ(S_OK, cf->CreateInstance(outer->GetOwner(), IID_IUnknown, reinterpret_cast<void **>(&inner)));
    LONG outerRefs = outer->RefCount();
    ITestCounter *counter = nullptr;
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_ITestCounter, reinterpret_cast<void **>(&counter)));
    EXPECT_EQ(outerRefs + 1, outer->RefCount()) << "the aggregated interface counts on the outer object";
    counter->Release();
    inner->Release();
    cf->Release();
    outer->NonDelegatingRelease();
}

TEST_F(ComModuleEntryTest, CanUnloadOnlyWithoutObjectsAndLocks)
{
    EXPECT_EQ(S_OK, DllCanUnloadNow());
    IClassFactory *cf = factory(CLSID_TestObject);
    EXPECT_EQ(S_FALSE, DllCanUnloadNow()) << "the class object itself is alive";
    ASSERT_EQ(S_OK, cf->LockServer(TRUE));
    IUnknown *obj = nullptr;
    ASSERT_EQ(S_OK, cf->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void **>(&obj)));
    cf->Release();
    EXPECT_EQ(S_FALSE, DllCanUnloadNow()) << "an object is alive and the server is locked";
    obj->Release();
    EXPECT_EQ(S_FALSE, DllCanUnloadNow()) << "the server is locked";
    EXPECT_TRUE(CClassFactory::IsLocked());

    // The lock is counted on the module, not on the class object.
    IClassFactory *again = factory(CLSID_TestObject);
    again->LockServer(FALSE);
    again->Release();
    EXPECT_FALSE(CClassFactory::IsLocked());
    EXPECT_EQ(S_OK, DllCanUnloadNow());
}

TEST_F(ComModuleEntryTest, EntryPointRecordsTheInstanceAndRunsInitRoutines)
{
    HINSTANCE fake = reinterpret_cast<HINSTANCE>(0x1234);
    g_initCalls = g_uninitCalls = 0;
    EXPECT_TRUE(DllEntryPoint(fake, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(fake, g_hInst);
    EXPECT_EQ(fake, AmGetModuleInstance());
    EXPECT_EQ(1, g_initCalls) << "one template has an init routine";
    EXPECT_TRUE(DllEntryPoint(fake, DLL_THREAD_ATTACH, nullptr));
    EXPECT_TRUE(DllEntryPoint(fake, DLL_PROCESS_DETACH, nullptr));
    EXPECT_EQ(1, g_uninitCalls);
    g_hInst = nullptr;
    EXPECT_NE(nullptr, AmGetModuleInstance()) << "without DllMain the handle is found from the code's address";
}

} // namespace

// CUnknown: QueryInterface rules, reference counts, aggregation and the
// live-object count.
#include "test_objects.h"

#include <gtest/gtest.h>

namespace {

IUnknown *identity(IUnknown *p)
{
    IUnknown *unk = nullptr;
    EXPECT_EQ(S_OK, p->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&unk)));
    unk->Release();
    return unk;
}

class ComUnknownTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_objectsBefore = CBaseObject::ObjectsActive();
        CTestObject::s_destroyed = 0;
    }
    void TearDown() override { EXPECT_EQ(m_objectsBefore, CBaseObject::ObjectsActive()) << "an object leaked"; }
    LONG m_objectsBefore = 0;
};

TEST_F(ComUnknownTest, QueryInterfaceIsReflexiveSymmetricAndTransitive)
{
    HRESULT hr = S_OK;
    CTestObject *obj = new CTestObject(nullptr, &hr);
    obj->NonDelegatingAddRef();
    ITestCounter *counter = nullptr;
    ASSERT_EQ(S_OK, obj->NonDelegatingQueryInterface(IID_ITestCounter, reinterpret_cast<void **>(&counter)));

    ITestCounter *again = nullptr;
    ASSERT_EQ(S_OK, counter->QueryInterface(IID_ITestCounter, reinterpret_cast<void **>(&again)));
    EXPECT_EQ(counter, again);
    IUnknown *unk = nullptr;
    ASSERT_EQ(S_OK, again->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&unk)));
    ITestCounter *back = nullptr;
    ASSERT_EQ(S_OK, unk->QueryInterface(IID_ITestCounter, reinterpret_cast<void **>(&back)));
    EXPECT_EQ(counter, back);
    EXPECT_EQ(identity(counter), identity(unk)) << "one identity for every interface";
    EXPECT_EQ(obj->GetOwner(), unk) << "not aggregated: the owner is the object's own unknown";

    back->Release();
    unk->Release();
    again->Release();
    counter->Release();
    EXPECT_EQ(0, CTestObject::s_destroyed);
    obj->NonDelegatingRelease();
    EXPECT_EQ(1, CTestObject::s_destroyed);
}

TEST_F(ComUnknownTest, UnknownInterfaceIsRefusedWithNullOut)
{
    HRESULT hr = S_OK;
    CTestObject *obj = new CTestObject(nullptr, &hr);
    obj->NonDelegatingAddRef();
    void *out = reinterpret_cast<void *>(0x1);
    EXPECT_EQ(E_NOINTERFACE, obj->NonDelegatingQueryInterface(IID_ITestOuter, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, obj->NonDelegatingQueryInterface(IID_ITestCounter, nullptr));
    EXPECT_EQ(E_POINTER, obj->NonDelegatingQueryInterface(IID_IUnknown, nullptr));
    obj->NonDelegatingRelease();
}

TEST_F(ComUnknownTest, ReferenceCountsFollowAddRefAndRelease)
{
    HRESULT hr = S_OK;
    CTestObject *obj = new CTestObject(nullptr, &hr);
    EXPECT_EQ(0, obj->RefCount()) << "a new object starts at zero";
    EXPECT_EQ(1u, obj->NonDelegatingAddRef());
    ITestCounter *counter = nullptr;
    obj->NonDelegatingQueryInterface(IID_ITestCounter, reinterpret_cast<void **>(&counter));
    EXPECT_EQ(2, obj->RefCount());
    EXPECT_EQ(3u, counter->AddRef());
    EXPECT_EQ(2u, counter->Release());
    EXPECT_EQ(1u, counter->Release());
    EXPECT_EQ(1, counter->Increment());
    EXPECT_EQ(0u, obj->NonDelegatingRelease());
    EXPECT_EQ(1, CTestObject::s_destroyed);
}

TEST_F(ComUnknownTest, AggregatedObjectDelegatesToItsOwner)
{
    HRESULT hr = S_OK;
    CTestOuter *outer = new CTestOuter(&hr);
    ASSERT_EQ(S_OK, hr);
    outer->NonDelegatingAddRef();
    EXPECT_EQ(2, CBaseObject::ObjectsActive() - m_objectsBefore);

    ITestCounter *counter = nullptr;
    ASSERT_EQ(S_OK, outer->NonDelegatingQueryInterface(IID_ITestCounter, reinterpret_cast<void **>(&counter)));
    EXPECT_EQ(2, outer->RefCount()) << "the inner interface counts on the outer object";
    EXPECT_EQ(identity(counter), outer->GetOwner()) << "the inner interface has the outer identity";

    ITestOuter *outerItf = nullptr;
    ASSERT_EQ(S_OK, counter->QueryInterface(IID_ITestOuter, reinterpret_cast<void **>(&outerItf)))
        << "the inner object answers the outer's interfaces";
    EXPECT_EQ(42, outerItf->OuterValue());
    outerItf->Release();

    counter->Release();
    EXPECT_EQ(1, outer->RefCount());
    outer->NonDelegatingRelease();
    EXPECT_EQ(1, CTestObject::s_destroyed) << "the outer object releases its inner object";
}

TEST_F(ComUnknownTest, LiveObjectCountFollowsConstructionAndDestruction)
{
    HRESULT hr = S_OK;
    auto *a = new CTestObject(nullptr, &hr);
    auto *b = new CTestObject(nullptr, &hr);
    EXPECT_EQ(m_objectsBefore + 2, CBaseObject::ObjectsActive());
    a->NonDelegatingAddRef();
    a->NonDelegatingRelease();
    EXPECT_EQ(m_objectsBefore + 1, CBaseObject::ObjectsActive());
    delete b;
}

TEST(CObjectName, TakesWideNarrowAndNullNames)
{
    CObjectName wide(NAME("wide"));
    CObjectName narrow("narrow");
    CObjectName none(NULL);
    EXPECT_STREQ(L"wide", static_cast<LPCTSTR>(wide));
    EXPECT_EQ(nullptr, static_cast<LPCTSTR>(narrow));
    EXPECT_EQ(nullptr, static_cast<LPCTSTR>(none));
}

} // namespace

#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>

using Microsoft::WRL::ComPtr;

// Outside the anonymous namespace: its identifier is a declared specialization.
struct IProbe : IUnknown {};
__CRT_UUID_DECL(IProbe, 0x6b1f3a10, 0x2c4d, 0x4e5f, 0x80, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77)

namespace {

// One object behind two interfaces; its count is what each step leaves.
class Counted : public IProbe {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **ppv) override
    {
        *ppv = static_cast<IProbe *>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    ULONG refs = 0;
};

TEST(ComPtr, ReferenceCountsAfterEachOperation)
{
    Counted a, b;
    std::string trace;
    auto step = [&](const char *name) {
        trace += std::string(name) + "=" + std::to_string(a.refs) + "/" + std::to_string(b.refs) + " ";
    };
    {
        ComPtr<IProbe> p(&a);
        step("ctor");
        ComPtr<IProbe> q(p);
        step("copy");
        ComPtr<IProbe> r(std::move(q));
        step("move");
        r = &b;
        step("assign-raw");
        r = std::move(p);
        step("move-assign");
        p.Swap(r);
        trace += p.Get() == &a && !r && !q ? "swapped " : "not-swapped ";
        b.AddRef();
        r.Attach(&b);
        step("attach");
        r.Detach()->Release();
        step("detach");
        ComPtr<IUnknown> u(&b);
        p->QueryInterface(__uuidof(IProbe), &u);
        step("out-param");
        trace += std::to_string(u.Reset()) + " ";
        step("reset");
    }
    step("scope-end");
    EXPECT_EQ("ctor=1/0 copy=2/0 move=2/0 assign-raw=1/1 move-assign=1/0 swapped attach=1/1 detach=1/0 "
              "out-param=2/0 1 reset=1/0 scope-end=0/0 ",
              trace);
}

} // namespace

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
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid != __uuidof(IUnknown) && riid != __uuidof(IProbe)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
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
        trace += q ? "q-held " : "q-empty ";
        r = p;
        step("assign-same");
        r = &b;
        step("assign-raw");
        r = std::move(p);
        step("move-assign");
        trace += p == nullptr ? "p-empty " : "p-held ";
        p.Swap(r);
        trace += p.Get() == &a && !r ? "swapped " : "not-swapped ";
        b.AddRef();
        r.Attach(&b);
        step("attach");
        IProbe *raw = r.Detach();
        step("detach");
        raw->Release();
        step("raw-release");
        ComPtr<IUnknown> u;
        trace += SUCCEEDED(p.As(&u)) && u == p ? "as " : "as-failed ";
        step("as");
        ComPtr<IProbe> v;
        trace += SUCCEEDED(u.As(&v)) ? "back " : "back-failed ";
        step("as-back");
        p->QueryInterface(__uuidof(IProbe), &v);
        step("out-param");
        IProbe *copy = nullptr;
        v.CopyTo(&copy);
        step("copy-to");
        copy->Release();
        trace += std::to_string(v.Reset()) + " ";
        step("reset");
        ComPtr<IUnknown> w(p);
        trace += w == p && !(w != p) && !(w < p) ? "equal " : "unequal ";
        p.ReleaseAndGetAddressOf();
        step("release-and-get");
    }
    step("scope-end");
    EXPECT_EQ(trace, "ctor=1/0 copy=2/0 move=2/0 q-empty assign-same=2/0 assign-raw=1/1 move-assign=1/0 p-empty "
                     "swapped attach=1/1 detach=1/1 raw-release=1/0 as as=2/0 back as-back=3/0 out-param=3/0 "
                     "copy-to=4/0 2 reset=2/0 equal release-and-get=2/0 scope-end=0/0 ");
}

} // namespace

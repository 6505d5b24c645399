// The decode parameters through IOrvexH264DecoderParameter2 and through the
// "Decode Parameters" property page.
#include "H264DecodeFilter/OrvexH264DecodeFilterPropertyPage.h"
#include "H264DecodeFilter/OrvexH264DecodeFilterResource.h"
#include "decode_graph.h"

#include <orvexcom.h>
#include <orvexdlg.h>

namespace {

// Modes outside 0 to 2 are refused and the old ones kept; the filter names its page.
TEST_F(DecodeGraphTest, ModesOutsideZeroToTwoAreRefusedAndTheOldOnesKept)
{
    IOrvexH264DecoderParameter2 *p = Parameters();
    std::string results;
    for (LONG mode : {2, -1, 3, 0x7FFFFFFF}) {
        const HRESULT deblocking = p->SetDeblockingSkipMode(mode), scaling = p->SetOutputScalingMode(mode);
        results += deblocking == S_OK && scaling == S_OK                   ? "set "
                   : deblocking == E_INVALIDARG && scaling == E_INVALIDARG ? "refused "
                                                                           : "? ";
        results += std::to_string(p->GetDeblockingSkipMode()) + std::to_string(p->GetOutputScalingMode()) + "\n";
    }
    CAUUID pages{};
    ASSERT_EQ(S_OK, m_decoder->GetPages(&pages));
    EXPECT_EQ("set 22\nrefused 22\nrefused 22\nrefused 22\n1", results + std::to_string(pages.cElems));
    EXPECT_EQ(CLSID_OrvexH264DecodeFilterPropertyPage, pages.pElems[0]);
    CoTaskMemFree(pages.pElems);
}

// A page site that takes status changes.
class PageSite : public IPropertyPageSite {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid != IID_IUnknown && riid != IID_IPropertyPageSite) return E_NOINTERFACE;
        *ppv = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP OnStatusChange(DWORD) override { return S_OK; }
    STDMETHODIMP GetLocaleID(LCID *) override { return E_NOTIMPL; }
    STDMETHODIMP GetPageContainer(IUnknown **) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG *) override { return E_NOTIMPL; }
};

// The connected output type has the size of the scaling it was made with:
// another scaling is refused until the output connects again, so no picture
// is written at one size into a type of another.
TEST_F(DecodeGraphTest, ScalingIsRefusedWhileTheOutputIsConnected)
{
    BuildMovieInput(MoviePath("video_only_faststart.mov"));
    ConnectSink(MEDIASUBTYPE_YV12);
    HRESULT hr = S_OK;
    auto *page = static_cast<COrvexH264DecodeFilterPropertyPage *>(
        COrvexH264DecodeFilterPropertyPage::CreateInstance(nullptr, &hr));
    ComPtr<IPropertyPage> prop;
    ASSERT_EQ(S_OK, page->NonDelegatingQueryInterface(IID_IPropertyPage, &prop));
    PageSite site;
    ASSERT_EQ(S_OK, prop->SetPageSite(&site));
    IUnknown *object = Parameters();
    ASSERT_EQ(S_OK, prop->SetObjects(1, &object));
    RECT rc{0, 0, 300, 200};
    ASSERT_EQ(S_OK, prop->Activate(nullptr, &rc, FALSE));
    ASSERT_TRUE(OrvexClickDlgButton(page->Dialog(), IDC_SCALING_HALF));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, prop->Apply());
    EXPECT_EQ(S_OK, prop->IsPageDirty());
    EXPECT_EQ(0, Parameters()->GetOutputScalingMode());
    EXPECT_EQ(S_OK, Parameters()->SetOutputScalingMode(0));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, Parameters()->SetOutputScalingMode(2));

    ASSERT_EQ(S_OK, m_graph->Disconnect(DecodeOut()));
    ASSERT_EQ(S_OK, m_graph->Disconnect(m_sink));
    EXPECT_EQ(S_OK, prop->Apply());
    EXPECT_EQ(1, Parameters()->GetOutputScalingMode());
    ASSERT_EQ(S_OK, prop->Deactivate());
    prop.Reset();
    EXPECT_EQ(0, OrvexDialogWindowCount());
}

} // namespace

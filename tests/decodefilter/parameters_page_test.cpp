// The decode parameters through IOrvexH264DecoderParameter2 and through the
// "Decode Parameters" property page.
#include "H264DecodeFilter/OrvexH264DecodeFilterPropertyPage.h"
#include "H264DecodeFilter/OrvexH264DecodeFilterResource.h"
#include "decode_graph.h"

#include <orvexcom.h>
#include <orvexdlg.h>

namespace {

TEST_F(DecodeGraphTest, ModesOutsideZeroToTwoAreRefusedAndTheOldOnesKept)
{
    IOrvexH264DecoderParameter2 *p = Parameters();
    auto modes = [p] {
        return std::to_string(p->GetDeblockingSkipMode()) + std::to_string(p->GetIYUVFlag()) +
               std::to_string(p->GetOutputScalingMode()) + " ";
    };
    std::string results = modes();
    results += p->SetDeblockingSkipMode(2) == S_OK && p->SetOutputScalingMode(1) == S_OK ? "set " : "";
    for (LONG bad : {-1, 3, 0x7FFFFFFF})
        results += p->SetDeblockingSkipMode(bad) == E_INVALIDARG && p->SetOutputScalingMode(bad) == E_INVALIDARG
                       ? "refused "
                       : "taken ";
    p->SetIYUVFlag(7);
    EXPECT_EQ("000 set refused refused refused 271 ", results + modes());
    CAUUID pages{};
    EXPECT_EQ(E_POINTER, m_decoder->GetPages(nullptr));
    ASSERT_EQ(S_OK, m_decoder->GetPages(&pages));
    ASSERT_EQ(1u, pages.cElems);
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

class PropertyPageTest : public DecodeGraphTest {
protected:
    void SetUp() override
    {
        DecodeGraphTest::SetUp();
        HRESULT hr = S_OK;
        m_pPage = static_cast<COrvexH264DecodeFilterPropertyPage *>(
            COrvexH264DecodeFilterPropertyPage::CreateInstance(nullptr, &hr));
        ASSERT_NE(nullptr, m_pPage);
        ASSERT_EQ(S_OK, m_pPage->NonDelegatingQueryInterface(IID_IPropertyPage, &m_pProp));
        ASSERT_EQ(S_OK, m_pProp->SetPageSite(&m_site));
    }
    void TearDown() override
    {
        m_pProp.Reset();
        EXPECT_EQ(0, OrvexDialogWindowCount());
    }
    void Show()
    {
        IUnknown *object = Parameters();
        ASSERT_EQ(S_OK, m_pProp->SetObjects(1, &object));
        RECT rc{0, 0, 300, 200};
        ASSERT_EQ(S_OK, m_pProp->Activate(nullptr, &rc, FALSE));
    }
    COrvexH264DecodeFilterPropertyPage *m_pPage = nullptr;
    ComPtr<IPropertyPage> m_pProp;
    PageSite m_site;
};

// The connected output type has the size of the scaling it was made with:
// another scaling is refused until the output connects again, so no picture
// is written at one size into a type of another.
TEST_F(PropertyPageTest, ScalingIsRefusedWhileTheOutputIsConnected)
{
    const std::string path = MoviePath("video_only_faststart.mov");
    BuildMovieInput(path);
    ConnectSink(MEDIASUBTYPE_YV12);
    Show();
    ASSERT_TRUE(OrvexClickDlgButton(m_pPage->Dialog(), IDC_SCALING_HALF));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, m_pProp->Apply());
    EXPECT_EQ(S_OK, m_pProp->IsPageDirty());
    EXPECT_EQ(0, Parameters()->GetOutputScalingMode());
    EXPECT_EQ(S_OK, Parameters()->SetOutputScalingMode(0));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, Parameters()->SetOutputScalingMode(2));

    ASSERT_EQ(S_OK, m_graph->Disconnect(DecodeOut()));
    ASSERT_EQ(S_OK, m_graph->Disconnect(m_sink));
    EXPECT_EQ(S_OK, m_pProp->Apply());
    EXPECT_EQ(1, Parameters()->GetOutputScalingMode());
    ASSERT_EQ(S_OK, m_pProp->Deactivate());
}

} // namespace

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

// A page site that counts status changes.
class CountingSite : public IPropertyPageSite {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid != IID_IUnknown && riid != IID_IPropertyPageSite) return E_NOINTERFACE;
        *ppv = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP OnStatusChange(DWORD dwFlags) override
    {
        if (dwFlags == PROPPAGESTATUS_DIRTY) ++dirty;
        return S_OK;
    }
    STDMETHODIMP GetLocaleID(LCID *) override { return E_NOTIMPL; }
    STDMETHODIMP GetPageContainer(IUnknown **) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG *) override { return E_NOTIMPL; }
    int dirty = 0;
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
    // The buttons checked (deblocking not/non-reference/all, scaling 1/2/4), the page's state, the modes.
    std::string State()
    {
        std::string text;
        for (int id : {IDC_DEBLOCKING_NOT_SKIP, IDC_DEBLOCKING_SKIP_NON_REF, IDC_DEBLOCKING_SKIP_ALL,
                       IDC_SCALING_ORIGINAL, IDC_SCALING_HALF, IDC_SCALING_QUARTER})
            text += IsDlgButtonChecked(m_pPage->Dialog(), id) == BST_CHECKED ? "x" : "-";
        return text + (m_pProp->IsPageDirty() == S_OK ? " dirty " : " clean ") +
               std::to_string(Parameters()->GetDeblockingSkipMode()) +
               std::to_string(Parameters()->GetOutputScalingMode()) + " ";
    }

    COrvexH264DecodeFilterPropertyPage *m_pPage = nullptr;
    ComPtr<IPropertyPage> m_pProp;
    CountingSite m_site;
};

// Commands before the page is shown mark nothing; clicks mark the page
// dirty, the modes change only on Apply, and the choice made on screen is
// kept when the page is hidden and applied again. Objects without the
// parameters are refused.
TEST_F(PropertyPageTest, ShowsTheFilterModesAndAppliesTheChosenOnes)
{
    EXPECT_EQ(TRUE, m_pPage->OnReceiveMessage(nullptr, WM_COMMAND, MAKEWPARAM(IDC_DEBLOCKING_SKIP_ALL, BN_CLICKED), 0));
    ASSERT_EQ(S_OK, Parameters()->SetDeblockingSkipMode(2));
    ASSERT_EQ(S_OK, Parameters()->SetOutputScalingMode(1));
    std::string states = std::to_string(m_site.dirty) + (m_pProp->IsPageDirty() == S_OK ? " dirty " : " clean ");
    Show();
    states += State();
    ASSERT_TRUE(OrvexClickDlgButton(m_pPage->Dialog(), IDC_DEBLOCKING_SKIP_ALL));
    ASSERT_TRUE(OrvexClickDlgButton(m_pPage->Dialog(), IDC_SCALING_QUARTER));
    states += State();
    ASSERT_EQ(S_OK, m_pProp->Apply());
    states += State();
    ASSERT_TRUE(OrvexClickDlgButton(m_pPage->Dialog(), IDC_DEBLOCKING_NOT_SKIP));
    ASSERT_EQ(S_OK, m_pProp->Deactivate());
    ASSERT_EQ(S_OK, m_pProp->Apply());
    EXPECT_EQ("0 clean -x--x- clean 21 --x--x dirty 21 --x--x clean 12 ", states);
    EXPECT_EQ(0, Parameters()->GetDeblockingSkipMode());
    EXPECT_EQ(3, m_site.dirty); // one status change a click
    PROPPAGEINFO info{};
    ASSERT_EQ(S_OK, m_pProp->GetPageInfo(&info));
    EXPECT_STREQ(L"Decode Parameters", info.pszTitle);
    CoTaskMemFree(info.pszTitle);
    EXPECT_EQ(S_OK, m_pProp->SetObjects(0, nullptr));
    ComPtr<CTestFilter> other(CTestFilter::Sink());
    IUnknown *object = static_cast<IBaseFilter *>(other.Get());
    EXPECT_EQ(E_NOINTERFACE, m_pProp->SetObjects(1, &object));
}

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

// CBasePropertyPage with the dialog model: a page with two groups of radio
// buttons editing a settings object, its site told when it becomes dirty,
// and the IPropertyPage rules on objects, sites and activation.
#include "cprop.h"

#include <orvexdlg.h>

#include <gtest/gtest.h>

namespace {

// {4D3C2B1A-0F9E-4D8C-B7A6-958473625104}
DEFINE_GUID(IID_ITestSettings, 0x4d3c2b1a, 0x0f9e, 0x4d8c, 0xb7, 0xa6, 0x95, 0x84, 0x73, 0x62, 0x51, 0x04);

constexpr int kDialog = 102;
constexpr int kTitle = 101;

struct ITestSettings : public IUnknown {
    STDMETHOD_(int, GetMode)() PURE;
    STDMETHOD(SetMode)(int mode) PURE;
};

class CTestSettings : public CUnknown, public ITestSettings {
public:
    int m_mode = 2;
    CTestSettings() : CUnknown(NAME("Settings"), NULL) {}
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override
    {
        if (riid == IID_ITestSettings) return GetInterface(static_cast<ITestSettings *>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    STDMETHODIMP_(int) GetMode() override { return m_mode; }
    STDMETHODIMP SetMode(int mode) override
    {
        if (mode < 0 || mode > 2) return E_INVALIDARG;
        m_mode = mode;
        return S_OK;
    }
};

// A page in the way a module writes one: radio buttons 501..503 choose the mode.
class CTestPage : public CBasePropertyPage {
public:
    ITestSettings *m_pSettings = nullptr;
    int m_mode = 0;
    bool m_active = false;

    CTestPage() : CBasePropertyPage(NAME("Test page"), NULL, kDialog, kTitle) {}

    HRESULT OnConnect(IUnknown *pUnknown) override
    {
        HRESULT hr = pUnknown->QueryInterface(IID_ITestSettings, (void **)&m_pSettings);
        if (FAILED(hr)) return E_NOINTERFACE;
        m_mode = m_pSettings->GetMode();
        return S_OK;
    }
    HRESULT OnDisconnect() override
    {
        if (m_pSettings) m_pSettings->Release();
        m_pSettings = nullptr;
        return S_OK;
    }
    HRESULT OnActivate() override
    {
        CheckRadioButton(m_Dlg, 501, 503, 501 + m_mode);
        m_active = true;
        return S_OK;
    }
    HRESULT OnDeactivate() override
    {
        m_active = false;
        ReadButtons();
        return S_OK;
    }
    HRESULT OnApplyChanges() override
    {
        ReadButtons();
        return m_pSettings->SetMode(m_mode);
    }
    INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override
    {
        if (uMsg == WM_COMMAND) {
            if (m_active) {
                m_bDirty = TRUE;
                if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
            }
            return TRUE;
        }
        return CBasePropertyPage::OnReceiveMessage(hwnd, uMsg, wParam, lParam);
    }
    void ReadButtons()
    {
        for (int id = 501; id <= 503; id++) {
            if (IsDlgButtonChecked(m_Dlg, id) == BST_CHECKED) {
                m_mode = id - 501;
                break;
            }
        }
    }
    HWND Dialog() const { return m_Dlg; }
};

class CTestSite : public IPropertyPageSite {
public:
    LONG m_cRef = 1;
    std::vector<DWORD> m_status;
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IPropertyPageSite) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override { return --m_cRef; }
    STDMETHODIMP OnStatusChange(DWORD dwFlags) override
    {
        m_status.push_back(dwFlags);
        return S_OK;
    }
    STDMETHODIMP GetLocaleID(LCID *) override { return E_NOTIMPL; }
    STDMETHODIMP GetPageContainer(IUnknown **) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG *) override { return E_NOTIMPL; }
};

const OrvexDialogControl kControls[] = {
    {501, L"BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, L"Mode 0", 14, 15, 41, 10},
    {502, L"BUTTON", BS_AUTORADIOBUTTON, L"Mode 1", 14, 29, 65, 10},
    {503, L"BUTTON", BS_AUTORADIOBUTTON, L"Mode 2", 14, 43, 97, 10},
    {-1, L"BUTTON", BS_GROUPBOX, L"Mode", 6, 6, 115, 53},
};
const OrvexDialogTemplate kTemplate = {DS_CONTROL | WS_CHILD, 195, 127, L"MS Shell Dlg", 9, 4, kControls};

class BasePropertyPageTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_objects = CBaseObject::ObjectsActive();
        ASSERT_TRUE(OrvexRegisterDialogTemplate(AmGetModuleInstance(), kDialog, &kTemplate));
        ASSERT_TRUE(OrvexRegisterStringResource(AmGetModuleInstance(), kTitle, L"Settings"));
        m_pPage = new CTestPage;
        m_pPage->NonDelegatingAddRef();
        m_pSettings = new CTestSettings;
        m_pSettings->NonDelegatingAddRef();
        m_pProp = static_cast<IPropertyPage *>(m_pPage);
    }
    void TearDown() override
    {
        m_pPage->NonDelegatingRelease();
        m_pSettings->NonDelegatingRelease();
        OrvexUnregisterResources(AmGetModuleInstance());
        EXPECT_EQ(1, m_site.m_cRef) << "the page let go of its site";
        EXPECT_EQ(0, OrvexDialogWindowCount());
        EXPECT_EQ(m_objects, CBaseObject::ObjectsActive());
    }
    void Open()
    {
        IUnknown *obj = m_pSettings->GetOwner();
        ASSERT_EQ(S_OK, m_pProp->SetPageSite(&m_site));
        ASSERT_EQ(S_OK, m_pProp->SetObjects(1, &obj));
        RECT rc{0, 0, 300, 200};
        ASSERT_EQ(S_OK, m_pProp->Activate(nullptr, &rc, FALSE));
    }
    LONG m_objects = 0;
    CTestPage *m_pPage = nullptr;
    CTestSettings *m_pSettings = nullptr;
    IPropertyPage *m_pProp = nullptr;
    CTestSite m_site;
};

TEST_F(BasePropertyPageTest, ShowsTheValueGetsDirtyOnAClickAndAppliesIt)
{
    Open();
    HWND dlg = m_pPage->Dialog();
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dlg, 503)) << "the object's value";
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(dlg, 501));
    EXPECT_TRUE(IsWindowVisible(dlg));
    RECT rc;
    GetWindowRect(dlg, &rc);
    EXPECT_EQ(300, rc.right - rc.left) << "moved to the site's rectangle";
    EXPECT_EQ(S_FALSE, m_pProp->IsPageDirty());

    m_pPage->m_active = false;
    EXPECT_EQ(TRUE, SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(501, BN_CLICKED), 0));
    EXPECT_EQ(S_FALSE, m_pProp->IsPageDirty()) << "not while inactive";
    EXPECT_TRUE(m_site.m_status.empty());
    m_pPage->m_active = true;

    ASSERT_TRUE(OrvexClickDlgButton(dlg, 502));
    EXPECT_EQ(S_OK, m_pProp->IsPageDirty());
    EXPECT_EQ(std::vector<DWORD>{PROPPAGESTATUS_DIRTY}, m_site.m_status);
    EXPECT_EQ(2, m_pSettings->m_mode) << "nothing changes before Apply";
    ASSERT_EQ(S_OK, m_pProp->Apply());
    EXPECT_EQ(1, m_pSettings->m_mode);
    EXPECT_EQ(S_FALSE, m_pProp->IsPageDirty());

    OrvexClickDlgButton(dlg, 501);
    ASSERT_EQ(S_OK, m_pProp->Deactivate());
    EXPECT_EQ(0, m_pPage->m_mode) << "deactivation reads the buttons";
    EXPECT_FALSE(IsWindow(dlg)) << "the dialog is gone";
    EXPECT_EQ(E_UNEXPECTED, m_pProp->Deactivate());
    ASSERT_EQ(S_OK, m_pProp->Apply()) << "Apply works without the dialog";
    EXPECT_EQ(0, m_pSettings->m_mode);
}

TEST_F(BasePropertyPageTest, ActivationNeedsAnObjectAndOnlyOneDialog)
{
    RECT rc{0, 0, 10, 10};
    EXPECT_EQ(E_UNEXPECTED, m_pProp->Activate(nullptr, &rc, FALSE));
    Open();
    EXPECT_EQ(E_UNEXPECTED, m_pProp->Activate(nullptr, &rc, FALSE));
    EXPECT_EQ(E_POINTER, m_pProp->Move(nullptr));
    EXPECT_EQ(E_INVALIDARG, m_pProp->Show(42));
    EXPECT_EQ(S_OK, m_pProp->Show(SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(m_pPage->Dialog()));
    m_pProp->Deactivate();
    EXPECT_EQ(E_UNEXPECTED, m_pProp->Show(SW_SHOW));
}

TEST_F(BasePropertyPageTest, ObjectsAndSitesFollowTheRules)
{
    IUnknown *obj = m_pSettings->GetOwner();
    IUnknown *two[2] = {obj, obj};
    EXPECT_EQ(E_UNEXPECTED, m_pProp->SetObjects(2, two));
    EXPECT_EQ(E_POINTER, m_pProp->SetObjects(1, nullptr));
    EXPECT_EQ(E_UNEXPECTED, m_pProp->Apply()) << "no object";
    ASSERT_EQ(S_OK, m_pProp->SetObjects(1, &obj));
    EXPECT_EQ(E_UNEXPECTED, m_pProp->Apply()) << "no site";
    EXPECT_EQ(E_UNEXPECTED, m_pProp->SetPageSite(nullptr));
    ASSERT_EQ(S_OK, m_pProp->SetPageSite(&m_site));
    EXPECT_EQ(2, m_site.m_cRef);
    EXPECT_EQ(E_UNEXPECTED, m_pProp->SetPageSite(&m_site));
    EXPECT_EQ(S_OK, m_pProp->Apply()) << "a clean page has nothing to apply";
    ASSERT_EQ(S_OK, m_pProp->SetObjects(0, nullptr));
    EXPECT_EQ(nullptr, m_pPage->m_pSettings);
    EXPECT_EQ(S_OK, m_pProp->SetPageSite(nullptr));
    EXPECT_EQ(E_NOTIMPL, m_pProp->Help(nullptr));
    EXPECT_EQ(E_NOTIMPL, m_pProp->TranslateAccelerator(nullptr));
}

TEST_F(BasePropertyPageTest, ObjectWithoutTheInterfaceIsRefused)
{
    class CNoSettings : public CUnknown {
    public:
        CNoSettings() : CUnknown(NAME("None"), NULL) {}
    };
    CNoSettings *none = new CNoSettings;
    none->NonDelegatingAddRef();
    IUnknown *unk = none->GetOwner();
    EXPECT_EQ(E_NOINTERFACE, m_pProp->SetObjects(1, &unk));
    none->NonDelegatingRelease();
}

TEST_F(BasePropertyPageTest, PageInfoHasTheTitleAndTheDialogSize)
{
    PROPPAGEINFO info;
    ASSERT_EQ(S_OK, m_pProp->GetPageInfo(&info));
    EXPECT_STREQ(L"Settings", info.pszTitle);
    EXPECT_EQ(sizeof(PROPPAGEINFO), info.cb);
    EXPECT_EQ(195 * 6 / 4, info.size.cx) << "the dialog's size in pixels";
    EXPECT_EQ(127 * 13 / 8, info.size.cy);
    CoTaskMemFree(info.pszTitle);
    EXPECT_EQ(0, OrvexDialogWindowCount()) << "the measuring dialog is gone";

    OrvexUnregisterResources(AmGetModuleInstance());
    ASSERT_EQ(S_OK, m_pProp->GetPageInfo(&info));
    EXPECT_STREQ(L"", info.pszTitle) << "no title resource";
    EXPECT_EQ(340, info.size.cx) << "the default size without a dialog";
    CoTaskMemFree(info.pszTitle);
    EXPECT_EQ(E_POINTER, m_pProp->GetPageInfo(nullptr));
}

TEST_F(BasePropertyPageTest, LastReleaseLetsGoOfSiteAndObject)
{
    Open();
    m_pProp->Deactivate();
    m_pPage->NonDelegatingAddRef();
    m_pPage->NonDelegatingRelease();
    EXPECT_EQ(2, m_site.m_cRef);
    // TearDown's release is the last: the site and the object go with it.
}

} // namespace

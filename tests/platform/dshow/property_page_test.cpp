// CBasePropertyPage over the dialog model: a page of two radio groups and a
// check box editing a settings object, its site told when it gets dirty,
// and the IPropertyPage rules on objects, sites and activation.
#include "cprop.h"

#include <orvexdlg.h>

#include <gtest/gtest.h>

namespace {

DEFINE_GUID(IID_ITestSettings, 0x4d3c2b1a, 0x0f9e, 0x4d8c, 0xb7, 0xa6, 0x95, 0x84, 0x73, 0x62, 0x51, 0x04);

constexpr int kDialog = 102, kTitle = 101;

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
    STDMETHODIMP SetMode(int mode) override { return m_mode = mode, S_OK; }
};

// A page as a module writes one: radio buttons 501..503 choose the mode.
class CTestPage : public CBasePropertyPage {
public:
    ITestSettings *m_pSettings = nullptr;
    CTestPage() : CBasePropertyPage(NAME("Test page"), NULL, kDialog, kTitle) {}
    HRESULT OnConnect(IUnknown *pUnknown) override
    {
        return pUnknown->QueryInterface(IID_ITestSettings, (void **)&m_pSettings);
    }
    HRESULT OnDisconnect() override
    {
        if (m_pSettings) m_pSettings->Release();
        m_pSettings = nullptr;
        return S_OK;
    }
    HRESULT OnActivate() override { return CheckRadioButton(m_Dlg, 501, 503, 501 + m_pSettings->GetMode()), S_OK; }
    HRESULT OnApplyChanges() override { return m_pSettings->SetMode(Chosen()); }
    INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override
    {
        if (uMsg != WM_COMMAND) return CBasePropertyPage::OnReceiveMessage(hwnd, uMsg, wParam, lParam);
        m_bDirty = TRUE;
        if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
        return TRUE;
    }
    int Chosen()
    {
        for (int id = 501; id <= 503; id++)
            if (IsDlgButtonChecked(m_Dlg, id) == BST_CHECKED) return id - 501;
        return -1;
    }
    // The check state of every button, group by group: "010 10 0".
    std::string Checks()
    {
        std::string text;
        for (int id : {501, 502, 503, 0, 511, 512, 0, 520})
            text += id == 0 ? ' ' : IsDlgButtonChecked(m_Dlg, id) == BST_CHECKED ? '1' : '0';
        return text;
    }
    HWND Dialog() const { return m_Dlg; }
};

class CTestSite : public IPropertyPageSite {
public:
    LONG m_cRef = 1;
    std::string m_status;
    STDMETHODIMP QueryInterface(REFIID, void **ppv) override { return *ppv = nullptr, E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override { return --m_cRef; }
    STDMETHODIMP OnStatusChange(DWORD dwFlags) override { return m_status += std::to_string(dwFlags), S_OK; }
    STDMETHODIMP GetLocaleID(LCID *) override { return E_NOTIMPL; }
    STDMETHODIMP GetPageContainer(IUnknown **) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG *) override { return E_NOTIMPL; }
};

const OrvexDialogControl kControls[] = {
    {501, L"BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, L"Mode 0", 14, 15, 41, 10},
    {503, L"BUTTON", BS_AUTORADIOBUTTON, L"Mode 2", 14, 43, 97, 10},
    {502, L"BUTTON", BS_AUTORADIOBUTTON, L"Mode 1", 14, 29, 65, 10},
    {-1, L"BUTTON", BS_GROUPBOX, L"Mode", 6, 6, 115, 53},
    {511, L"BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, L"Other A", 14, 70, 40, 10},
    {512, L"BUTTON", BS_AUTORADIOBUTTON, L"Other B", 14, 85, 40, 10},
    {520, L"BUTTON", BS_AUTOCHECKBOX | WS_GROUP, L"Check", 14, 100, 40, 10},
    {530, L"BUTTON", BS_PUSHBUTTON | WS_DISABLED, L"Disabled", 60, 100, 40, 10},
};
const OrvexDialogTemplate kTemplate = {DS_CONTROL | WS_CHILD, 195, 127, L"MS Shell Dlg", 9, 8, kControls};

class PropertyPage : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OrvexRegisterDialogTemplate(AmGetModuleInstance(), kDialog, &kTemplate));
        ASSERT_TRUE(OrvexRegisterStringResource(AmGetModuleInstance(), kTitle, L"Settings"));
        m_page->NonDelegatingAddRef();
        m_settings->NonDelegatingAddRef();
    }
    void TearDown() override
    {
        m_page->NonDelegatingRelease(); // the last reference lets go of site and object
        m_settings->NonDelegatingRelease();
        OrvexUnregisterResources(AmGetModuleInstance());
        EXPECT_EQ(1, m_site.m_cRef) << "the page let go of its site";
        EXPECT_EQ(0, OrvexDialogWindowCount());
        EXPECT_EQ(m_objects, CBaseObject::ObjectsActive());
    }
    LONG m_objects = CBaseObject::ObjectsActive();
    CTestPage *m_page = new CTestPage;
    CTestSettings *m_settings = new CTestSettings;
    IPropertyPage *m_prop = m_page;
    IUnknown *m_object = m_settings->GetOwner();
    CTestSite m_site;
};

TEST_F(PropertyPage, ShowsTheValueGetsDirtyOnAClickAndAppliesIt)
{
    RECT rc{0, 0, 300, 200};
    EXPECT_EQ(E_UNEXPECTED, m_prop->Activate(nullptr, &rc, FALSE)) << "no object yet";
    ASSERT_EQ(S_OK, m_prop->SetPageSite(&m_site));
    ASSERT_EQ(S_OK, m_prop->SetObjects(1, &m_object));
    ASSERT_EQ(S_OK, m_prop->Activate(nullptr, &rc, FALSE));
    EXPECT_EQ(E_UNEXPECTED, m_prop->Activate(nullptr, &rc, FALSE)) << "one dialog at a time";
    HWND dlg = m_page->Dialog();
    GetWindowRect(dlg, &rc);
    EXPECT_EQ(300, rc.right - rc.left) << "moved to the site's rectangle";
    EXPECT_EQ("001 00 0", m_page->Checks()) << "the object's value";
    EXPECT_EQ(S_FALSE, m_prop->IsPageDirty());

    ASSERT_TRUE(OrvexClickDlgButton(dlg, 502));
    ASSERT_TRUE(OrvexClickDlgButton(dlg, 512));
    EXPECT_EQ("010 01 0", m_page->Checks()) << "a click stays in its group";
    ASSERT_TRUE(OrvexClickDlgButton(dlg, 520));
    ASSERT_TRUE(OrvexClickDlgButton(dlg, 520));
    EXPECT_EQ("010 01 0", m_page->Checks()) << "a check box toggles";
    EXPECT_FALSE(OrvexClickDlgButton(dlg, 530)) << "disabled";
    EXPECT_EQ(S_OK, m_prop->IsPageDirty());
    EXPECT_EQ("1111", m_site.m_status) << "the site hears of every change";
    EXPECT_EQ(2, m_settings->m_mode) << "nothing changes before Apply";
    ASSERT_EQ(S_OK, m_prop->Apply());
    EXPECT_EQ(1, m_settings->m_mode);
    EXPECT_EQ(S_FALSE, m_prop->IsPageDirty());

    ASSERT_EQ(S_OK, m_prop->Deactivate());
    EXPECT_FALSE(IsWindow(dlg)) << "the dialog is gone";
    EXPECT_EQ(E_UNEXPECTED, m_prop->Deactivate());
}

TEST_F(PropertyPage, ObjectsSitesAndPageInfo)
{
    IUnknown *two[2] = {m_object, m_object};
    EXPECT_EQ(E_UNEXPECTED, m_prop->SetObjects(2, two));
    EXPECT_EQ(E_UNEXPECTED, m_prop->Apply()) << "no object";
    ASSERT_EQ(S_OK, m_prop->SetObjects(1, &m_object));
    EXPECT_EQ(E_UNEXPECTED, m_prop->Apply()) << "no site";
    EXPECT_EQ(E_UNEXPECTED, m_prop->SetPageSite(nullptr));
    ASSERT_EQ(S_OK, m_prop->SetPageSite(&m_site));
    EXPECT_EQ(2, m_site.m_cRef);
    EXPECT_EQ(E_UNEXPECTED, m_prop->SetPageSite(&m_site));
    EXPECT_EQ(S_OK, m_prop->Apply()) << "a clean page has nothing to apply";
    ASSERT_EQ(S_OK, m_prop->SetObjects(0, nullptr));
    EXPECT_EQ(nullptr, m_page->m_pSettings);

    PROPPAGEINFO info;
    ASSERT_EQ(S_OK, m_prop->GetPageInfo(&info));
    EXPECT_EQ(L"Settings " + std::to_wstring(195 * 6 / 4) + L"x" + std::to_wstring(127 * 13 / 8),
              std::wstring(info.pszTitle) + L" " + std::to_wstring(info.size.cx) + L"x" + std::to_wstring(info.size.cy))
        << "the title and the dialog's size in pixels";
    CoTaskMemFree(info.pszTitle);
}

} // namespace

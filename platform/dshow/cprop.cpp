// CBasePropertyPage: the page's life with its site, its object and its dialog.
#include "cprop.h"

#include "wxutil.h"

namespace {

void WideStringFromResource(LPWSTR pBuffer, int iResourceID)
{
    if (LoadStringW(AmGetModuleInstance(), static_cast<UINT>(iResourceID), pBuffer, STR_MAX_LENGTH) == 0) {
        pBuffer[0] = 0;
    }
}

// The size of dialog iResourceID, made and destroyed for the purpose.
BOOL GetDialogSize(int iResourceID, DLGPROC pDlgProc, LPARAM lParam, SIZE *pResult)
{
    HWND hwnd = CreateDialogParamW(AmGetModuleInstance(), MAKEINTRESOURCEW(iResourceID), NULL, pDlgProc, lParam);
    if (hwnd == NULL) return FALSE;
    RECT rc;
    GetWindowRect(hwnd, &rc);
    pResult->cx = rc.right - rc.left;
    pResult->cy = rc.bottom - rc.top;
    DestroyWindow(hwnd);
    return TRUE;
}

} // namespace

CBasePropertyPage::CBasePropertyPage(CObjectName pName, LPUNKNOWN pUnk, int DialogId, int TitleId)
    : CUnknown(pName, pUnk), m_pPageSite(NULL), m_hwnd(NULL), m_Dlg(NULL), m_bDirty(FALSE), m_TitleId(TitleId),
      m_DialogId(DialogId), m_bObjectSet(FALSE)
{
}

STDMETHODIMP_(ULONG) CBasePropertyPage::NonDelegatingAddRef()
{
    LONG lRef = InterlockedIncrement(&m_cRef);
    return lRef > 1 ? static_cast<ULONG>(lRef) : 1ul;
}

STDMETHODIMP_(ULONG) CBasePropertyPage::NonDelegatingRelease()
{
    LONG lRef = InterlockedDecrement(&m_cRef);
    if (lRef == 0) {
        InterlockedIncrement(&m_cRef); // guards the releases below
        if (m_pPageSite) SetPageSite(NULL);
        if (m_bObjectSet) SetObjects(0, NULL);
        delete this;
        return 0;
    }
    return lRef > 1 ? static_cast<ULONG>(lRef) : 1ul;
}

STDMETHODIMP CBasePropertyPage::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IPropertyPage) return GetInterface(static_cast<IPropertyPage *>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBasePropertyPage::GetPageInfo(LPPROPPAGEINFO pPageInfo)
{
    CheckPointer(pPageInfo, E_POINTER);
    WCHAR wszTitle[STR_MAX_LENGTH];
    WideStringFromResource(wszTitle, m_TitleId);
    LPOLESTR pszTitle = NULL;
    HRESULT hr = AMGetWideString(wszTitle, &pszTitle);
    if (FAILED(hr)) return hr;
    pPageInfo->cb = sizeof(PROPPAGEINFO);
    pPageInfo->pszTitle = pszTitle;
    pPageInfo->pszDocString = NULL;
    pPageInfo->pszHelpFile = NULL;
    pPageInfo->dwHelpContext = 0;
    // The default when the dialog cannot be measured.
    pPageInfo->size.cx = 340;
    pPageInfo->size.cy = 150;
    GetDialogSize(m_DialogId, DialogProc, 0L, &pPageInfo->size);
    return NOERROR;
}

INT_PTR CALLBACK CBasePropertyPage::DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        // No page when the dialog is only being measured.
        CBasePropertyPage *pPropertyPage = reinterpret_cast<CBasePropertyPage *>(lParam);
        if (pPropertyPage == NULL) return 1;
        pPropertyPage->m_Dlg = hwnd;
    }
    CBasePropertyPage *pPropertyPage = reinterpret_cast<CBasePropertyPage *>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (pPropertyPage == NULL) return 1;
    return pPropertyPage->OnReceiveMessage(hwnd, uMsg, wParam, lParam);
}

INT_PTR CBasePropertyPage::OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    UNREFERENCED_PARAMETER(hwnd);
    UNREFERENCED_PARAMETER(wParam);
    UNREFERENCED_PARAMETER(lParam);
    return uMsg == WM_INITDIALOG ? TRUE : FALSE;
}

STDMETHODIMP CBasePropertyPage::SetObjects(ULONG cObjects, LPUNKNOWN *ppUnk)
{
    if (cObjects == 1) {
        if (ppUnk == NULL || *ppUnk == NULL) return E_POINTER;
        m_bObjectSet = TRUE;
        return OnConnect(*ppUnk);
    }
    if (cObjects == 0) {
        m_bObjectSet = FALSE;
        return OnDisconnect();
    }
    return E_UNEXPECTED; // one page edits one object
}

STDMETHODIMP CBasePropertyPage::Activate(HWND hwndParent, LPCRECT pRect, BOOL fModal)
{
    UNREFERENCED_PARAMETER(fModal);
    CheckPointer(pRect, E_POINTER);
    if (m_bObjectSet == FALSE) return E_UNEXPECTED;
    if (m_hwnd) return E_UNEXPECTED;
    m_hwnd = CreateDialogParamW(AmGetModuleInstance(), MAKEINTRESOURCEW(m_DialogId), hwndParent, DialogProc,
                                reinterpret_cast<LPARAM>(this));
    if (m_hwnd == NULL) return E_OUTOFMEMORY;
    OnActivate();
    Move(pRect);
    return Show(SW_SHOWNORMAL);
}

STDMETHODIMP CBasePropertyPage::Move(LPCRECT pRect)
{
    CheckPointer(pRect, E_POINTER);
    if (m_hwnd == NULL) return E_UNEXPECTED;
    MoveWindow(m_hwnd, pRect->left, pRect->top, pRect->right - pRect->left, pRect->bottom - pRect->top, TRUE);
    return NOERROR;
}

STDMETHODIMP CBasePropertyPage::Show(UINT nCmdShow)
{
    if (m_hwnd == NULL) return E_UNEXPECTED;
    if (nCmdShow != SW_SHOW && nCmdShow != SW_SHOWNORMAL && nCmdShow != SW_HIDE) return E_INVALIDARG;
    ShowWindow(m_hwnd, static_cast<int>(nCmdShow));
    return NOERROR;
}

STDMETHODIMP CBasePropertyPage::Deactivate(void)
{
    if (m_hwnd == NULL) return E_UNEXPECTED;
    DWORD dwStyle = static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_EXSTYLE));
    SetWindowLongW(m_hwnd, GWL_EXSTYLE, static_cast<LONG>(dwStyle & ~WS_EX_CONTROLPARENT));
    OnDeactivate();
    DestroyWindow(m_hwnd);
    m_hwnd = NULL;
    m_Dlg = NULL;
    return NOERROR;
}

STDMETHODIMP CBasePropertyPage::SetPageSite(LPPROPERTYPAGESITE pPageSite)
{
    if (pPageSite) {
        if (m_pPageSite) return E_UNEXPECTED;
        m_pPageSite = pPageSite;
        m_pPageSite->AddRef();
    } else {
        if (m_pPageSite == NULL) return E_UNEXPECTED;
        m_pPageSite->Release();
        m_pPageSite = NULL;
    }
    return NOERROR;
}

STDMETHODIMP CBasePropertyPage::Apply()
{
    // Apply needs an object to apply to, not an open dialog.
    if (m_bObjectSet == FALSE) return E_UNEXPECTED;
    if (m_pPageSite == NULL) return E_UNEXPECTED;
    if (m_bDirty == FALSE) return NOERROR;
    HRESULT hr = OnApplyChanges();
    if (SUCCEEDED(hr)) m_bDirty = FALSE;
    return hr;
}

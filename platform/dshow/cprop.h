// CBasePropertyPage: IPropertyPage over a dialog of the module (dialog and
// title resources by id). The derived class connects to the object the page
// edits (OnConnect/OnDisconnect), fills and reads the dialog's controls
// (OnActivate/OnDeactivate), applies its values (OnApplyChanges) and handles
// control messages (OnReceiveMessage); it marks the page dirty and tells the
// page site with OnStatusChange.
#pragma once

#include <windows.h>

#include <ocidl.h>

#include "combase.h"

#define STR_MAX_LENGTH 128

class CBasePropertyPage : public IPropertyPage, public CUnknown {
protected:
    LPPROPERTYPAGESITE m_pPageSite; // one reference held
    HWND m_hwnd;                    // the page's dialog while active
    HWND m_Dlg;                     // the same dialog, as WM_INITDIALOG gave it
    BOOL m_bDirty;
    int m_TitleId;
    int m_DialogId;

    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

private:
    BOOL m_bObjectSet; // SetObjects has given an object

public:
    CBasePropertyPage(CObjectName pName, LPUNKNOWN pUnk, int DialogId, int TitleId);
    virtual ~CBasePropertyPage() {}

    DECLARE_IUNKNOWN

    virtual HRESULT OnConnect(IUnknown *pUnknown)
    {
        UNREFERENCED_PARAMETER(pUnknown);
        return NOERROR;
    }
    virtual HRESULT OnDisconnect() { return NOERROR; }
    virtual HRESULT OnActivate() { return NOERROR; }
    virtual HRESULT OnDeactivate() { return NOERROR; }
    virtual HRESULT OnApplyChanges() { return NOERROR; }
    // TRUE for WM_INITDIALOG, FALSE (not handled) for everything else.
    virtual INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv);
    // The last release lets go of the page site and the object first.
    STDMETHODIMP_(ULONG) NonDelegatingRelease();
    STDMETHODIMP_(ULONG) NonDelegatingAddRef();

    // A site to hold (E_UNEXPECTED if one is held), or NULL to let it go.
    STDMETHODIMP SetPageSite(LPPROPERTYPAGESITE pPageSite);
    // Creates the dialog, calls OnActivate, moves and shows it. Needs an
    // object (SetObjects) and no dialog yet (E_UNEXPECTED).
    STDMETHODIMP Activate(HWND hwndParent, LPCRECT prect, BOOL fModal);
    // Calls OnDeactivate, then destroys the dialog.
    STDMETHODIMP Deactivate(void);
    // The title from string resource TitleId, the size of the dialog.
    STDMETHODIMP GetPageInfo(LPPROPPAGEINFO pPageInfo);
    // One object: OnConnect; none: OnDisconnect; more: E_UNEXPECTED.
    STDMETHODIMP SetObjects(ULONG cObjects, LPUNKNOWN *ppUnk);
    STDMETHODIMP Show(UINT nCmdShow);
    STDMETHODIMP Move(LPCRECT prect);
    STDMETHODIMP IsPageDirty(void) { return m_bDirty ? S_OK : S_FALSE; }
    // Needs an object and a site; a dirty page calls OnApplyChanges and is
    // clean again when that succeeds.
    STDMETHODIMP Apply(void);
    STDMETHODIMP Help(LPCOLESTR lpszHelpDir)
    {
        UNREFERENCED_PARAMETER(lpszHelpDir);
        return E_NOTIMPL;
    }
    STDMETHODIMP TranslateAccelerator(LPMSG lpMsg)
    {
        UNREFERENCED_PARAMETER(lpMsg);
        return E_NOTIMPL;
    }
};

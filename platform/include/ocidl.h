// Property pages and property bags: ISpecifyPropertyPages, IPropertyPage,
// IPropertyPageSite and IPersistPropertyBag.
#pragma once

#include "objbase.h"
#include "winuser.h"

typedef struct tagCAUUID {
    ULONG cElems;
    GUID *pElems;
} CAUUID, *LPCAUUID;

typedef struct tagPROPPAGEINFO {
    ULONG cb;
    LPOLESTR pszTitle;
    SIZE size;
    LPOLESTR pszDocString;
    LPOLESTR pszHelpFile;
    DWORD dwHelpContext;
} PROPPAGEINFO, *LPPROPPAGEINFO;

typedef enum tagPROPPAGESTATUS {
    PROPPAGESTATUS_DIRTY = 0x1,
    PROPPAGESTATUS_VALIDATE = 0x2,
    PROPPAGESTATUS_CLEAN = 0x4
} PROPPAGESTATUS;

DEFINE_GUID(IID_ISpecifyPropertyPages, 0xB196B28B, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);
DEFINE_GUID(IID_IPropertyPageSite, 0xB196B28C, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);
DEFINE_GUID(IID_IPropertyPage, 0xB196B28D, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);
DEFINE_GUID(IID_IPersistPropertyBag, 0x37D84F60, 0x42CB, 0x11CE, 0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51);

struct ISpecifyPropertyPages : public IUnknown {
    STDMETHOD(GetPages)(CAUUID *pPages) PURE;
};
typedef ISpecifyPropertyPages *LPSPECIFYPROPERTYPAGES;

struct IPropertyPageSite : public IUnknown {
    STDMETHOD(OnStatusChange)(DWORD dwFlags) PURE;
    STDMETHOD(GetLocaleID)(LCID *pLocaleID) PURE;
    STDMETHOD(GetPageContainer)(IUnknown **ppUnk) PURE;
    STDMETHOD(TranslateAccelerator)(MSG *pMsg) PURE;
};
typedef IPropertyPageSite *LPPROPERTYPAGESITE;

struct IPropertyPage : public IUnknown {
    STDMETHOD(SetPageSite)(IPropertyPageSite *pPageSite) PURE;
    STDMETHOD(Activate)(HWND hWndParent, LPCRECT pRect, BOOL bModal) PURE;
    STDMETHOD(Deactivate)() PURE;
    STDMETHOD(GetPageInfo)(PROPPAGEINFO *pPageInfo) PURE;
    STDMETHOD(SetObjects)(ULONG cObjects, IUnknown **ppUnk) PURE;
    STDMETHOD(Show)(UINT nCmdShow) PURE;
    STDMETHOD(Move)(LPCRECT pRect) PURE;
    STDMETHOD(IsPageDirty)() PURE;
    STDMETHOD(Apply)() PURE;
    STDMETHOD(Help)(LPCOLESTR pszHelpDir) PURE;
    STDMETHOD(TranslateAccelerator)(MSG *pMsg) PURE;
};
typedef IPropertyPage *LPPROPERTYPAGE;

struct IPersistPropertyBag : public IPersist {
    STDMETHOD(InitNew)() PURE;
    STDMETHOD(Load)(IPropertyBag *pPropBag, IErrorLog *pErrorLog) PURE;
    STDMETHOD(Save)(IPropertyBag *pPropBag, BOOL fClearDirty, BOOL fSaveAllProperties) PURE;
};

// The OLE object interfaces a filter and a filter mapper meet: IPersist,
// IPersistStream, monikers and their enumerators, IEnumUnknown and IMalloc.
// Interfaces only named in a signature here (IStream, IBindCtx, ...) are left
// incomplete: nothing in this system implements them.
#pragma once

#include "unknwn.h"

struct IStream;
struct IBindCtx;
struct IEnumString;
struct IRunningObjectTable;
typedef IStream *LPSTREAM;
typedef IBindCtx *LPBC;

DEFINE_GUID(IID_IPersist, 0x0000010C, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IPersistStream, 0x00000109, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IMoniker, 0x0000000F, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IEnumMoniker, 0x00000102, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IEnumUnknown, 0x00000100, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IMalloc, 0x00000002, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IBindCtx, 0x0000000E, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IStream, 0x0000000C, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

struct IPersist : public IUnknown {
    STDMETHOD(GetClassID)(CLSID *pClassID) PURE;
};
typedef IPersist *LPPERSIST;

struct IPersistStream : public IPersist {
    STDMETHOD(IsDirty)() PURE;
    STDMETHOD(Load)(IStream *pStm) PURE;
    STDMETHOD(Save)(IStream *pStm, BOOL fClearDirty) PURE;
    STDMETHOD(GetSizeMax)(ULARGE_INTEGER *pcbSize) PURE;
};

struct IEnumMoniker;

struct IMoniker : public IPersistStream {
    STDMETHOD(BindToObject)(IBindCtx *pbc, IMoniker *pmkToLeft, REFIID riidResult, void **ppvResult) PURE;
    STDMETHOD(BindToStorage)(IBindCtx *pbc, IMoniker *pmkToLeft, REFIID riid, void **ppvObj) PURE;
    STDMETHOD(Reduce)(IBindCtx *pbc, DWORD dwReduceHowFar, IMoniker **ppmkToLeft, IMoniker **ppmkReduced) PURE;
    STDMETHOD(ComposeWith)(IMoniker *pmkRight, BOOL fOnlyIfNotGeneric, IMoniker **ppmkComposite) PURE;
    STDMETHOD(Enum)(BOOL fForward, IEnumMoniker **ppenumMoniker) PURE;
    STDMETHOD(IsEqual)(IMoniker *pmkOtherMoniker) PURE;
    STDMETHOD(Hash)(DWORD *pdwHash) PURE;
    STDMETHOD(IsRunning)(IBindCtx *pbc, IMoniker *pmkToLeft, IMoniker *pmkNewlyRunning) PURE;
    STDMETHOD(GetTimeOfLastChange)(IBindCtx *pbc, IMoniker *pmkToLeft, FILETIME *pFileTime) PURE;
    STDMETHOD(Inverse)(IMoniker **ppmk) PURE;
    STDMETHOD(CommonPrefixWith)(IMoniker *pmkOther, IMoniker **ppmkPrefix) PURE;
    STDMETHOD(RelativePathTo)(IMoniker *pmkOther, IMoniker **ppmkRelPath) PURE;
    STDMETHOD(GetDisplayName)(IBindCtx *pbc, IMoniker *pmkToLeft, LPOLESTR *ppszDisplayName) PURE;
    STDMETHOD(ParseDisplayName)
    (IBindCtx *pbc, IMoniker *pmkToLeft, LPOLESTR pszDisplayName, ULONG *pchEaten, IMoniker **ppmkOut) PURE;
    STDMETHOD(IsSystemMoniker)(DWORD *pdwMksys) PURE;
};
typedef IMoniker *LPMONIKER;

struct IEnumMoniker : public IUnknown {
    STDMETHOD(Next)(ULONG celt, IMoniker **rgelt, ULONG *pceltFetched) PURE;
    STDMETHOD(Skip)(ULONG celt) PURE;
    STDMETHOD(Reset)() PURE;
    STDMETHOD(Clone)(IEnumMoniker **ppenum) PURE;
};
typedef IEnumMoniker *LPENUMMONIKER;

struct IEnumUnknown : public IUnknown {
    STDMETHOD(Next)(ULONG celt, IUnknown **rgelt, ULONG *pceltFetched) PURE;
    STDMETHOD(Skip)(ULONG celt) PURE;
    STDMETHOD(Reset)() PURE;
    STDMETHOD(Clone)(IEnumUnknown **ppenum) PURE;
};

struct IMalloc : public IUnknown {
    STDMETHOD_(void *, Alloc)(SIZE_T cb) PURE;
    STDMETHOD_(void *, Realloc)(void *pv, SIZE_T cb) PURE;
    STDMETHOD_(void, Free)(void *pv) PURE;
    STDMETHOD_(SIZE_T, GetSize)(void *pv) PURE;
    STDMETHOD_(int, DidAlloc)(void *pv) PURE;
    STDMETHOD_(void, HeapMinimize)() PURE;
};
typedef IMalloc *LPMALLOC;

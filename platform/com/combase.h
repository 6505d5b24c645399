// The COM object base classes: CBaseObject (the module's live-object count),
// CUnknown (reference counting, aggregation), GetInterface, DECLARE_IUNKNOWN
// and the factory template a module's class table is made of.
#pragma once

#include <objbase.h>
#include <strmif.h>

#include "wxdebug.h"

// The debug name a base-class constructor takes: wide text (NAME("...")),
// a narrow string literal, or none (NULL). Names are kept only as a hint.
class CObjectName {
public:
    CObjectName(LPCTSTR pName) : m_pName(pName) {}
    template <size_t N> CObjectName(const char (&)[N]) : m_pName(NULL) {}
    operator LPCTSTR() const { return m_pName; }

private:
    LPCTSTR m_pName;
};

// The object count that DllCanUnloadNow reads: every CBaseObject of the
// module (filters, pins, allocators, samples' owners, class factories) is
// counted from construction to destruction.
class CBaseObject {
    CBaseObject(const CBaseObject &) = delete;
    CBaseObject &operator=(const CBaseObject &) = delete;

    LPCTSTR m_pName;

protected:
    static volatile LONG m_cObjects;

public:
    CBaseObject(CObjectName pName);
    virtual ~CBaseObject();

    static LONG ObjectsActive() { return __atomic_load_n(&m_cObjects, __ATOMIC_SEQ_CST); }
    LPCTSTR Name() const { return m_pName; }
};

// The IUnknown of an object that is not handed out as the owner's identity:
// calls on it reach the object's own reference count and interface table,
// whatever outer object aggregates it.
DECLARE_INTERFACE(INonDelegatingUnknown)
{
    STDMETHOD(NonDelegatingQueryInterface)(THIS_ REFIID, LPVOID *) PURE;
    STDMETHOD_(ULONG, NonDelegatingAddRef)(THIS) PURE;
    STDMETHOD_(ULONG, NonDelegatingRelease)(THIS) PURE;
};
typedef INonDelegatingUnknown *PNDUNKNOWN;

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
    // The non-delegating unknown as a real IUnknown: a not aggregated object
    // uses it as its owner, an aggregating object holds it to control this one.
    class CInnerUnknown : public IUnknown {
        CUnknown *const m_pObject;

    public:
        explicit CInnerUnknown(CUnknown *pObject) : m_pObject(pObject) {}
        STDMETHODIMP QueryInterface(REFIID riid, void **ppv)
        {
            return m_pObject->NonDelegatingQueryInterface(riid, ppv);
        }
        STDMETHODIMP_(ULONG) AddRef() { return m_pObject->NonDelegatingAddRef(); }
        STDMETHODIMP_(ULONG) Release() { return m_pObject->NonDelegatingRelease(); }
    };

    CInnerUnknown m_InnerUnknown;
    const LPUNKNOWN m_pUnk; // the owner: the aggregating object, or our own inner unknown

protected:
    volatile LONG m_cRef;

public:
    CUnknown(CObjectName pName, LPUNKNOWN pUnk);
    CUnknown(CObjectName pName, LPUNKNOWN pUnk, HRESULT *phr);
    virtual ~CUnknown() {}

    // The identity that every interface of this object delegates to.
    LPUNKNOWN GetOwner() const { return m_pUnk; }
    // This object's own IUnknown, which reaches the Non-Delegating methods.
    LPUNKNOWN GetNonDelegatingUnknown() { return &m_InnerUnknown; }

    STDMETHODIMP NonDelegatingQueryInterface(REFIID, void **);
    STDMETHODIMP_(ULONG) NonDelegatingAddRef();
    STDMETHODIMP_(ULONG) NonDelegatingRelease();
};

// Hands out pUnk through ppv with one reference added.
STDAPI GetInterface(LPUNKNOWN pUnk, void **ppv);

// The IUnknown methods of a class derived from CUnknown: all three delegate
// to the owner. Written without 'override' as in the SDK; clang is told not
// to count them when a derived class marks its own methods 'override'.
#ifdef __clang__
#define ORVEX_OVERRIDE_CHECK_OFF                                                                                       \
    _Pragma("clang diagnostic push") _Pragma("clang diagnostic ignored \"-Winconsistent-missing-override\"")
#define ORVEX_OVERRIDE_CHECK_ON _Pragma("clang diagnostic pop")
#else
#define ORVEX_OVERRIDE_CHECK_OFF
#define ORVEX_OVERRIDE_CHECK_ON
#endif
#define DECLARE_IUNKNOWN                                                                                               \
    ORVEX_OVERRIDE_CHECK_OFF                                                                                           \
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv)                                                               \
    {                                                                                                                  \
        return GetOwner()->QueryInterface(riid, ppv);                                                                  \
    }                                                                                                                  \
    STDMETHODIMP_(ULONG) AddRef()                                                                                      \
    {                                                                                                                  \
        return GetOwner()->AddRef();                                                                                   \
    }                                                                                                                  \
    STDMETHODIMP_(ULONG) Release()                                                                                     \
    {                                                                                                                  \
        return GetOwner()->Release();                                                                                  \
    }                                                                                                                  \
    ORVEX_OVERRIDE_CHECK_ON

typedef CUnknown *(CALLBACK *LPFNNewCOMObject)(LPUNKNOWN pUnkOuter, HRESULT *phr);
typedef void(CALLBACK *LPFNInitRoutine)(BOOL bLoading, const CLSID *rclsid);

// One row of a module's class table g_Templates.
class CFactoryTemplate {
public:
    const WCHAR *m_Name;
    const CLSID *m_ClsID;
    LPFNNewCOMObject m_lpfnNew;
    LPFNInitRoutine m_lpfnInit;
    const AMOVIESETUP_FILTER *m_pAMovieSetup_Filter;

    BOOL IsClassID(REFCLSID rclsid) const { return IsEqualCLSID(*m_ClsID, rclsid) ? TRUE : FALSE; }
    CUnknown *CreateInstance(LPUNKNOWN pUnk, HRESULT *phr) const
    {
        CheckPointer(phr, NULL);
        return m_lpfnNew(pUnk, phr);
    }
};

// Defined by the module: its class table and the number of rows.
extern CFactoryTemplate g_Templates[];
extern int g_cTemplates;

// The module's instance handle, recorded by DllEntryPoint.
extern HINSTANCE g_hInst;
extern DWORD g_amPlatform;
// g_hInst, or when no loader has called DllEntryPoint, the handle of the
// module this code is linked into.
HINSTANCE AmGetModuleInstance();

// The module's DllMain calls this: on process attach it records the instance
// handle and runs the templates' init routines, on detach their counterparts.
extern "C" BOOL WINAPI DllEntryPoint(HINSTANCE hInstance, ULONG ulReason, LPVOID pv);

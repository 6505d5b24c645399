// The macros COM headers and Windows code declare interfaces and methods with.
#pragma once

#include "windef.h"

#ifndef EXTERN_C
#define EXTERN_C extern "C"
#endif

#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define STDAPI EXTERN_C HRESULT STDAPICALLTYPE
#define STDAPI_(type) EXTERN_C type STDAPICALLTYPE
#define WINOLEAPI STDAPI
#define WINOLEAPI_(type) STDAPI_(type)
#define PURE = 0
#define THIS_
#define THIS void

#ifndef interface
#define interface struct
#endif
#define DECLARE_INTERFACE(iface) interface iface
#define DECLARE_INTERFACE_(iface, baseiface) interface iface : public baseiface
#define MIDL_INTERFACE(x) struct
#define DECLSPEC_UUID(x)
#define DECLSPEC_NOVTABLE
#define DECLSPEC_SELECTANY

#ifndef NOERROR
#define NOERROR 0
#endif

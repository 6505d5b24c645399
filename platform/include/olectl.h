// Control and server-registration declarations: the exports an in-process
// server offers and the self-registration result codes.
#pragma once

#include "ocidl.h"

#ifndef SELFREG_E_TYPELIB
#define SELFREG_E_TYPELIB _HRESULT_TYPEDEF_(0x80040200L)
#endif
#ifndef SELFREG_E_CLASS
#define SELFREG_E_CLASS _HRESULT_TYPEDEF_(0x80040201L)
#endif

// The exports of an in-process server. They keep default visibility so that
// a module built with hidden symbols still exports them.
#define ORVEX_DLL_EXPORT __attribute__((visibility("default")))
extern "C" {
ORVEX_DLL_EXPORT HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv);
ORVEX_DLL_EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow(void);
ORVEX_DLL_EXPORT HRESULT STDAPICALLTYPE DllRegisterServer(void);
ORVEX_DLL_EXPORT HRESULT STDAPICALLTYPE DllUnregisterServer(void);
}

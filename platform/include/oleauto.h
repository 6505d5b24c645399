// BSTR and VARIANT helpers of the automation library. A BSTR carries its
// length in bytes in the 32-bit word before its first character and ends with
// a zero character that the length does not count.
#pragma once

#include "oaidl.h"

#ifndef DISP_E_BADVARTYPE
#define DISP_E_BADVARTYPE _HRESULT_TYPEDEF_(0x80020008L)
#endif

extern "C" {
BSTR WINAPI SysAllocString(const OLECHAR *psz);
BSTR WINAPI SysAllocStringLen(const OLECHAR *strIn, UINT ui);
void WINAPI SysFreeString(BSTR bstrString);
UINT WINAPI SysStringLen(BSTR pbstr);
UINT WINAPI SysStringByteLen(BSTR bstr);

void WINAPI VariantInit(VARIANTARG *pvarg);
HRESULT WINAPI VariantClear(VARIANTARG *pvarg);
HRESULT WINAPI VariantCopy(VARIANTARG *pvargDest, const VARIANTARG *pvargSrc);
}

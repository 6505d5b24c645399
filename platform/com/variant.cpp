// VARIANT lifetime: strings are owned, interfaces hold one reference, and
// by-reference values own nothing. Arrays and records are not supported.
#include <objbase.h>

namespace {

bool isPlainValue(VARTYPE vt)
{
    if (vt & VT_BYREF) return true;
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_ERROR:
    case VT_BOOL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_HRESULT:
        return true;
    default:
        return false;
    }
}

bool isSupported(VARTYPE vt)
{
    return isPlainValue(vt) || vt == VT_BSTR || vt == VT_UNKNOWN || vt == VT_DISPATCH;
}

} // namespace

extern "C" void WINAPI VariantInit(VARIANTARG *pvarg)
{
    if (!pvarg) return;
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
    pvarg->llVal = 0;
}

extern "C" HRESULT WINAPI VariantClear(VARIANTARG *pvarg)
{
    if (!pvarg) return E_INVALIDARG;
    if (!isSupported(pvarg->vt)) return DISP_E_BADVARTYPE;
    switch (pvarg->vt) {
    case VT_BSTR:
        SysFreeString(pvarg->bstrVal);
        break;
    case VT_UNKNOWN:
        if (pvarg->punkVal) pvarg->punkVal->Release();
        break;
    case VT_DISPATCH:
        if (pvarg->pdispVal) pvarg->pdispVal->Release();
        break;
    default:
        break;
    }
    VariantInit(pvarg);
    return S_OK;
}

extern "C" HRESULT WINAPI VariantCopy(VARIANTARG *pvargDest, const VARIANTARG *pvargSrc)
{
    if (!pvargDest || !pvargSrc) return E_INVALIDARG;
    if (pvargDest == pvargSrc) return S_OK;
    if (!isSupported(pvargSrc->vt)) return DISP_E_BADVARTYPE;
    HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr)) return hr;
    VARIANT copy = *pvargSrc;
    switch (copy.vt) {
    case VT_BSTR:
        if (pvargSrc->bstrVal) {
            copy.bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
            if (!copy.bstrVal) return E_OUTOFMEMORY;
        }
        break;
    case VT_UNKNOWN:
        if (copy.punkVal) copy.punkVal->AddRef();
        break;
    case VT_DISPATCH:
        if (copy.pdispVal) copy.pdispVal->AddRef();
        break;
    default:
        break;
    }
    *pvargDest = copy;
    return S_OK;
}

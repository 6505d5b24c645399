// Registration of one filter's setup data with a filter mapper.
#include <windows.h>

#include <uuids.h>

#include "dllsetup.h"

namespace {

// The registry's "not found", met when a filter that was never registered is
// unregistered first.
constexpr HRESULT kNotRegistered = _HRESULT_TYPEDEF_(0x80070002L);

const CLSID &orNull(const CLSID *p)
{
    return p ? *p : GUID_NULL;
}

} // namespace

STDAPI AMovieSetupRegisterFilter2(const AMOVIESETUP_FILTER *const psetupdata, IFilterMapper2 *pIFM2, BOOL bRegister)
{
    if (psetupdata == NULL) return S_FALSE;
    CheckPointer(pIFM2, E_POINTER);
    // Registering again replaces the pins, so only the filter is removed first.
    HRESULT hr = pIFM2->UnregisterFilter(&CLSID_LegacyAmFilterCategory, NULL, *psetupdata->clsID);
    if (bRegister) {
        REGFILTER2 rf2;
        rf2.dwVersion = 1;
        rf2.dwMerit = psetupdata->dwMerit;
        rf2.cPins = psetupdata->nPins;
        rf2.rgPins = psetupdata->lpPin;
        hr = pIFM2->RegisterFilter(*psetupdata->clsID, psetupdata->strName, NULL, &CLSID_LegacyAmFilterCategory, NULL,
                                   &rf2);
    }
    return hr == kNotRegistered ? NOERROR : hr;
}

STDAPI AMovieSetupRegisterFilter(const AMOVIESETUP_FILTER *const psetupdata, IFilterMapper *pIFM, BOOL bRegister)
{
    if (psetupdata == NULL) return S_FALSE;
    CheckPointer(pIFM, E_POINTER);
    const CLSID &clsid = *psetupdata->clsID;
    HRESULT hr = pIFM->UnregisterFilter(clsid);
    if (bRegister) {
        hr = pIFM->RegisterFilter(clsid, psetupdata->strName, psetupdata->dwMerit);
        for (UINT m1 = 0; SUCCEEDED(hr) && m1 < psetupdata->nPins; m1++) {
            const AMOVIESETUP_PIN &pin = psetupdata->lpPin[m1];
            hr = pIFM->RegisterPin(clsid, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                                   orNull(pin.clsConnectsToFilter), pin.strConnectsToPin);
            for (UINT m2 = 0; SUCCEEDED(hr) && m2 < pin.nMediaTypes; m2++) {
                hr = pIFM->RegisterPinType(clsid, pin.strName, orNull(pin.lpMediaType[m2].clsMajorType),
                                           orNull(pin.lpMediaType[m2].clsMinorType));
            }
        }
    }
    return hr == kNotRegistered ? NOERROR : hr;
}

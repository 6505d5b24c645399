// The decode filter's two pins: the framework's transform pins under their
// own names and identifiers ("In" and "Out"). The output pin also hands out
// empty samples and delivers them for frame output.
#pragma once

#include <streams.h>

class COrvexH264DecodeFilterInputPin : public CTransformInputPin {
public:
    COrvexH264DecodeFilterInputPin(CTransformFilter *pFilter, HRESULT *phr);
    STDMETHODIMP QueryId(LPWSTR *Id) override;
};

class COrvexH264DecodeFilterOutputPin : public CTransformOutputPin {
public:
    COrvexH264DecodeFilterOutputPin(CTransformFilter *pFilter, HRESULT *phr);
    STDMETHODIMP QueryId(LPWSTR *Id) override;

    // An empty sample of the pin's allocator: no times, no flags. Blocks
    // while every sample is in use; VFW_E_NOT_COMMITTED once decommitted.
    HRESULT GetEmptySample(IMediaSample **ppSample);
    // The connected input pin's Receive.
    HRESULT DeliverSample(IMediaSample *pSample);
};

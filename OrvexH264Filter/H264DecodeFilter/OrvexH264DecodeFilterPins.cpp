#include "H264DecodeFilter/OrvexH264DecodeFilterPins.h"

COrvexH264DecodeFilterInputPin::COrvexH264DecodeFilterInputPin(CTransformFilter *pFilter, HRESULT *phr)
    : CTransformInputPin(NAME("OrvexH264DecodeFilterInputPin"), pFilter, phr, L"OrvexH264DecodeFilterInputPin")
{
}

STDMETHODIMP COrvexH264DecodeFilterInputPin::QueryId(LPWSTR *Id)
{
    return AMGetWideString(L"In", Id);
}

COrvexH264DecodeFilterOutputPin::COrvexH264DecodeFilterOutputPin(CTransformFilter *pFilter, HRESULT *phr)
    : CTransformOutputPin(NAME("OrvexH264DecodeFilterOutputPin"), pFilter, phr, L"OrvexH264DecodeFilterOutputPin")
{
}

STDMETHODIMP COrvexH264DecodeFilterOutputPin::QueryId(LPWSTR *Id)
{
    return AMGetWideString(L"Out", Id);
}

HRESULT COrvexH264DecodeFilterOutputPin::GetEmptySample(IMediaSample **ppSample)
{
    return GetDeliveryBuffer(ppSample, NULL, NULL, 0);
}

HRESULT COrvexH264DecodeFilterOutputPin::DeliverSample(IMediaSample *pSample)
{
    return Deliver(pSample);
}

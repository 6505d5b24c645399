#include "H264DecodeFilter/OrvexH264DecoderParameter2Impl.h"

namespace {

bool IsMode(LONG mode)
{
    return mode >= 0 && mode <= 2;
}

} // namespace

STDMETHODIMP_(LONG) COrvexH264DecoderParameter2Impl::GetDeblockingSkipMode()
{
    return m_deblockingSkipMode.load(std::memory_order_relaxed);
}

STDMETHODIMP COrvexH264DecoderParameter2Impl::SetDeblockingSkipMode(LONG mode)
{
    if (!IsMode(mode)) return E_INVALIDARG;
    m_deblockingSkipMode.store(mode, std::memory_order_relaxed);
    return S_OK;
}

STDMETHODIMP_(BYTE) COrvexH264DecoderParameter2Impl::GetIYUVFlag()
{
    return m_IYUVFlag.load(std::memory_order_relaxed);
}

STDMETHODIMP COrvexH264DecoderParameter2Impl::SetIYUVFlag(BYTE flag)
{
    m_IYUVFlag.store(flag, std::memory_order_relaxed);
    return S_OK;
}

STDMETHODIMP_(LONG) COrvexH264DecoderParameter2Impl::GetOutputScalingMode()
{
    return m_outputScalingMode.load(std::memory_order_relaxed);
}

STDMETHODIMP COrvexH264DecoderParameter2Impl::SetOutputScalingMode(LONG mode)
{
    if (!IsMode(mode)) return E_INVALIDARG;
    m_outputScalingMode.store(mode, std::memory_order_relaxed);
    return S_OK;
}

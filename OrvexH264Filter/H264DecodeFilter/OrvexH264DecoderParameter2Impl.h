// The three decode parameters behind IOrvexH264DecoderParameter2, a base of
// the decode filter. They live only in the filter object and start at 0.
// Written on the application's thread and read when types are proposed or
// checked (also on the output thread) and at the start of streaming: each is
// a single atomic value, so a reader sees the old or the new one whole.
#pragma once

#include "H264DecodeFilter/IOrvexH264DecoderParameter2.h"

#include <atomic>

class COrvexH264DecoderParameter2Impl : public IOrvexH264DecoderParameter2 {
public:
    STDMETHODIMP_(LONG) GetDeblockingSkipMode() override;
    STDMETHODIMP SetDeblockingSkipMode(LONG mode) override;
    STDMETHODIMP_(BYTE) GetIYUVFlag() override;
    STDMETHODIMP SetIYUVFlag(BYTE flag) override;
    STDMETHODIMP_(LONG) GetOutputScalingMode() override;
    STDMETHODIMP SetOutputScalingMode(LONG mode) override;

protected:
    COrvexH264DecoderParameter2Impl() = default;
    ~COrvexH264DecoderParameter2Impl() = default;

private:
    std::atomic<LONG> m_deblockingSkipMode{0};
    std::atomic<BYTE> m_IYUVFlag{0};
    std::atomic<LONG> m_outputScalingMode{0};
};

// The decode filter's user settings: the deblocking filter skip mode, the
// output scaling and whether IYUV is offered as a fourth output type. The
// getters answer the value itself, not a status code.
#pragma once

#include <objbase.h>

#include "common/OrvexGuids.h"

DECLARE_INTERFACE_(IOrvexH264DecoderParameter2, IUnknown)
{
    // 0 not skipped, 1 skipped for all pictures, 2 for non-reference pictures only.
    STDMETHOD_(LONG, GetDeblockingSkipMode)() PURE;
    // S_OK for 0, 1 or 2; E_INVALIDARG (nothing changed) for anything else.
    STDMETHOD(SetDeblockingSkipMode)(LONG mode) PURE;
    STDMETHOD_(BYTE, GetIYUVFlag)() PURE;
    // Any value is kept as given; non-zero offers IYUV.
    STDMETHOD(SetIYUVFlag)(BYTE flag) PURE;
    // 0 original size, 1 half, 2 quarter.
    STDMETHOD_(LONG, GetOutputScalingMode)() PURE;
    // S_OK for 0, 1 or 2; E_INVALIDARG (nothing changed) for anything else.
    STDMETHOD(SetOutputScalingMode)(LONG mode) PURE;
};

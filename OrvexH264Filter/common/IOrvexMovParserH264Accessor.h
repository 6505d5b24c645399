// What the parser filter tells the decode filter about its video stream: the
// first parameter sets of the AVC configuration record, the media figures and
// the image description. Everything handed out stays owned by the parser's
// video stream info and lives as long as the video pin.
#pragma once

#include <objbase.h>

#include "common/OrvexGuids.h"

class CMyImageDescription;

DECLARE_INTERFACE_(IOrvexMovParserH264Accessor, IUnknown)
{
    // The first SPS and PPS as NAL unit bytes without a length prefix.
    STDMETHOD(GetParameterSets)(BYTE **ppSPS, DWORD *pcbSPS, BYTE **ppPPS, DWORD *pcbPPS) PURE;
    // Media time scale (units per second), duration in those units, sample count.
    STDMETHOD(GetMediaInfo)(LONG *plTimeScale, LONG *plDuration, LONG *plSampleCount) PURE;
    // The copy of the video track's first sample description; not counted.
    STDMETHOD_(CMyImageDescription *, GetImageDescription)() PURE;
};

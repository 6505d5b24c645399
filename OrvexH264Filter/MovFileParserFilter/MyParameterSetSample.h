// A parameter-set sample: one SPS or PPS NAL unit behind a 4-byte big-endian
// length, marked by its stream identifier so the decode filter can tell it
// from stream data (which carries identifier 0).
#pragma once

#include "common/MyParameterSetStreamIds.h"

#include <strmif.h>

// Fills sample with the length prefix and the unit, sets its data length and
// stream identifier, and leaves it without times or flags. VFW_E_BUFFER_OVERFLOW
// (and the sample untouched) when the buffer cannot hold prefix and unit;
// E_POINTER without bytes.
HRESULT FillParameterSetSample(IMediaSample *sample, const BYTE *unit, WORD length, DWORD streamId);

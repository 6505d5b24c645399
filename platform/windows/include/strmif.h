// strmif.h of mingw-w64 with the SDK names it lacks: the filter setup
// records, shared with the Linux build's strmif.h.
#pragma once

#include_next <strmif.h>

#include "../../include/amoviesetup.h"

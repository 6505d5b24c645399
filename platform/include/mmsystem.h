// The multimedia system header: on this platform its wave formats and
// four-character codes are those of mmreg.h.
#pragma once

#include "mmreg.h"

// Everything an application or a filter needs of DirectShow: the COM library,
// the interfaces, media and format types, result and event codes.
#pragma once

#include "windows.h"
#include "objbase.h"
#include "ocidl.h"
#include "olectl.h"
#include "mmreg.h"
#include "strmif.h"
#include "amvideo.h"
#include "control.h"
#include "evcode.h"
#include "uuids.h"
#include "vfwmsgs.h"

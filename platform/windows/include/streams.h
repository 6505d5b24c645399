// The DirectShow base classes over the SDK headers of mingw-w64: everything
// a filter module includes. The class headers live beside their sources in
// platform/com and platform/dshow; linking orvex_strmbase puts them on the
// include path.
#pragma once

#include <dshow.h>

#include "combase.h"
#include "classfactory.h"
#include "dllsetup.h"
#include "wxdebug.h"
#include "wxutil.h"
#include "wxlist.h"
#include "reftime.h"
#include "fourcc.h"
#include "mtype.h"
#include "amfilter.h"
#include "transfrm.h"
#include "ctlutil.h"
#include "cprop.h"

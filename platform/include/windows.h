// The Win32 API as the module uses it, re-created for Linux.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "guiddef.h"
#include "winbase.h"

// Windows only: the one translation unit that defines the module's GUIDs
// and media types (elsewhere DEFINE_GUID only declares them).
#include <windows.h>

#include <initguid.h>

#include "common/OrvexGuids.h"
#include "MovFileParserFilter/MovParserMediaTypes.h"

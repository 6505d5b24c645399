// On Windows the page's dialog and title live in the module's resource
// script (module/OrvexH264Filter.rc), which the loader maps with the module.
#include "H264DecodeFilter/OrvexH264DecodeFilterResource.h"

void RegisterDecodeFilterPageResources() {}

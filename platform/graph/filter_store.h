// The filter mapper's registry layout, as the system's filter mapper keeps it:
//   HKEY_CLASSES_ROOT\CLSID\{category}\Instance\{instance}
//       "FriendlyName" = the filter's name, "CLSID" = "{filter class}",
//       "FilterData"   = the registration record (filter_data.h)
//   HKEY_CLASSES_ROOT\CLSID\{ActiveMovieCategories}\Instance\{category}
//       "FriendlyName", "CLSID", "Merit" for each category made with CreateCategory
// The instance name is the filter's class identifier unless the caller
// names it.
#pragma once

#include <string>
#include <vector>

#include "filter_data.h"

namespace orvex::graph {

struct FilterEntry {
    CLSID category = GUID_NULL;
    std::wstring instance;
    CLSID clsid = GUID_NULL;
    std::wstring name;
    std::wstring dataText; // "FilterData" as stored
    FilterData data;
};

std::wstring InstanceKeyPath(REFCLSID category, const std::wstring &instance);

HRESULT WriteFilterEntry(const FilterEntry &entry);
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) for an instance that is not
// registered; E_FAIL for one whose values are unreadable.
HRESULT ReadFilterEntry(REFCLSID category, const std::wstring &instance, FilterEntry &entry);
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when nothing was registered.
HRESULT DeleteFilterEntry(REFCLSID category, const std::wstring &instance);

HRESULT WriteCategory(REFCLSID category, DWORD merit, const std::wstring &description);
// The legacy filter category first, then every category made with CreateCategory.
std::vector<CLSID> FilterCategories();

// Every filter of every category, in category order; entries whose values
// cannot be read are left out.
std::vector<FilterEntry> ReadAllFilters();

// The module registered for a COM class: CLSID\{clsid}\InprocServer32's
// default value. REGDB_E_CLASSNOTREG when there is none.
HRESULT RegisteredModule(REFCLSID clsid, std::wstring &path);

} // namespace orvex::graph

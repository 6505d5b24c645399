// A filter's registration data (REGFILTER2) as the filter mapper keeps it in
// the registry: text in the "FilterData" value, one item per line:
//   merit 0x00600001
//   pin "Input" flags 0x00000000 instances 0 [category {GUID}] [connects {GUID} "pin"]
//   type {major} {minor}                  (belongs to the pin above)
//   medium {GUID} 0x00000000 0x00000000   (belongs to the pin above)
// Pins registered with version 1 records keep their names; version 2 pins
// have none ("").
#pragma once

#include <strmif.h>

#include <string>
#include <utility>
#include <vector>

namespace orvex::graph {

struct PinData {
    std::wstring name;
    DWORD flags = 0; // REG_PINFLAG_B_*
    UINT instances = 0;
    CLSID category = GUID_NULL;
    CLSID connectsToFilter = GUID_NULL;
    std::wstring connectsToPin;
    std::vector<std::pair<GUID, GUID>> types; // major, minor
    std::vector<REGPINMEDIUM> mediums;

    bool IsOutput() const { return (flags & REG_PINFLAG_B_OUTPUT) != 0; }
    bool IsRendered() const { return (flags & REG_PINFLAG_B_RENDERER) != 0; }
};

struct FilterData {
    DWORD merit = 0;
    std::vector<PinData> pins;
};

// The data of a version 1 or 2 record. E_POINTER for a record whose counts
// promise arrays it does not have, E_INVALIDARG for another version.
HRESULT FilterDataFromRegFilter2(const REGFILTER2 &rf2, FilterData &out);

std::wstring FormatFilterData(const FilterData &data);
// False for text FormatFilterData would not write.
bool ParseFilterData(const std::wstring &text, FilterData &out);

// "{XXXXXXXX-...}" and back; false for text that is not a GUID.
std::wstring GuidText(REFGUID guid);
bool GuidFromText(const std::wstring &text, GUID &guid);

} // namespace orvex::graph

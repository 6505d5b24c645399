// Which registered filters fit a connection: the search behind
// IFilterMapper2::EnumMatchingFilters and the graph's intelligent connect.
// A requested GUID_NULL matches anything; a registered GUID_NULL matches
// anything too unless an exact match is asked for.
#pragma once

#include <utility>
#include <vector>

#include "filter_store.h"

namespace orvex::graph {

struct FilterQuery {
    bool exactMatch = false;
    DWORD minMerit = 0; // filters below it are left out
    bool inputNeeded = false;
    std::vector<std::pair<GUID, GUID>> inputTypes; // none: any input pin will do
    const REGPINMEDIUM *inputMedium = nullptr;
    const CLSID *inputCategory = nullptr;
    bool render = false; // the matching input pin must be rendered
    bool outputNeeded = false;
    std::vector<std::pair<GUID, GUID>> outputTypes;
    const REGPINMEDIUM *outputMedium = nullptr;
    const CLSID *outputCategory = nullptr;
};

bool FilterMatches(const FilterData &data, const FilterQuery &query);

// The matching filters by merit, highest first (then by name); a class
// registered in several categories is listed once.
std::vector<FilterEntry> FindFilters(const FilterQuery &query);

} // namespace orvex::graph

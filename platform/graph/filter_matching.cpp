// The filter search.
#include "filter_matching.h"

#include <algorithm>
#include <cstring>

namespace orvex::graph {

namespace {

bool guidMatches(const GUID &requested, const GUID &registered, bool exact)
{
    if (requested == GUID_NULL || requested == registered) return true;
    return !exact && registered == GUID_NULL;
}

bool typeMatches(const PinData &pin, const std::vector<std::pair<GUID, GUID>> &types, bool exact)
{
    if (types.empty()) return true;
    for (const auto &[major, minor] : types) {
        for (const auto &[pinMajor, pinMinor] : pin.types) {
            if (guidMatches(major, pinMajor, exact) && guidMatches(minor, pinMinor, exact)) return true;
        }
    }
    return false;
}

bool mediumMatches(const PinData &pin, const REGPINMEDIUM *medium)
{
    if (!medium) return true;
    for (const REGPINMEDIUM &m : pin.mediums) {
        if (m.clsMedium == medium->clsMedium && m.dw1 == medium->dw1 && m.dw2 == medium->dw2) return true;
    }
    return false;
}

bool pinMatches(const PinData &pin, bool output, const std::vector<std::pair<GUID, GUID>> &types,
                const REGPINMEDIUM *medium, const CLSID *category, bool render, bool exact)
{
    if (pin.IsOutput() != output) return false;
    if (render && !pin.IsRendered()) return false;
    if (category && pin.category != *category) return false;
    return mediumMatches(pin, medium) && typeMatches(pin, types, exact);
}

bool hasPin(const FilterData &data, bool output, const std::vector<std::pair<GUID, GUID>> &types,
            const REGPINMEDIUM *medium, const CLSID *category, bool render, bool exact)
{
    return std::any_of(data.pins.begin(), data.pins.end(), [&](const PinData &pin) {
        return pinMatches(pin, output, types, medium, category, render, exact);
    });
}

} // namespace

bool FilterMatches(const FilterData &data, const FilterQuery &q)
{
    if (data.merit < q.minMerit) return false;
    if (q.inputNeeded && !hasPin(data, false, q.inputTypes, q.inputMedium, q.inputCategory, q.render, q.exactMatch)) {
        return false;
    }
    if (q.outputNeeded && !hasPin(data, true, q.outputTypes, q.outputMedium, q.outputCategory, false, q.exactMatch)) {
        return false;
    }
    return true;
}

std::vector<FilterEntry> FindFilters(const FilterQuery &query)
{
    std::vector<FilterEntry> found;
    for (FilterEntry &entry : ReadAllFilters()) {
        if (!FilterMatches(entry.data, query)) continue;
        auto same =
            std::find_if(found.begin(), found.end(), [&](const FilterEntry &f) { return f.clsid == entry.clsid; });
        if (same == found.end()) {
            found.push_back(std::move(entry));
        } else if (entry.data.merit > same->data.merit) {
            *same = std::move(entry);
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const FilterEntry &a, const FilterEntry &b) {
        if (a.data.merit != b.data.merit) return a.data.merit > b.data.merit;
        return a.name < b.name;
    });
    return found;
}

} // namespace orvex::graph

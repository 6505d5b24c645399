// `orvex filters`: what the registry holds: the filters registered with the
// filter mapper (name, class, module, merit, pins and their media types) and
// the other COM classes with a module.
#pragma once

namespace orvex {

// Returns the exit status: 0, or 2 when the registry cannot be read.
int runFilters();

} // namespace orvex

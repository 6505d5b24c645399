// Where the filters come from: the module file beside the program, or one
// the user names.
#pragma once

#include <string>

namespace orvex {

constexpr const char *kModuleFileName = "OrvexH264Filter.ax";

// The folder of the running program plus the module's file name.
std::string moduleBesideProgram();

// An absolute form of path (the registry must name the module wherever
// orvex runs from later).
std::string absolutePath(const std::string &path);

} // namespace orvex

// One picture as an 8-bit RGB PNG (libpng), written through OutputFile.
#pragma once

#include "picture_layout.h"

#include <cstdint>
#include <string>

namespace orvex {

// A top-down RGB24 or RGB32 picture (blue, green, red bytes); throws
// OutputError.
void writePng(const std::string &path, const PictureLayout &layout, const uint8_t *data, size_t size);

} // namespace orvex

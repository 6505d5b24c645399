// Loading a movie file the way the parser filter does, for the commands that
// look at what loading gives without building a graph.
#pragma once

#include "MovFileParserFilter/MovieStreamLoader.h"

#include <string>

namespace orvex {

constexpr int kExitCannotLoad = 2;

// Loads path (UTF-8). On failure writes "orvex: cannot load PATH: NAME
// (0xXXXXXXXX)" and a line per refused track on standard error and returns
// false.
bool loadMovie(const std::string &path, CMyMovieStreams *streams);

// Wide text (pin names) as UTF-8.
std::string narrow(const wchar_t *text);
// UTF-8 as wide text; empty for text that is not valid UTF-8.
std::wstring widen(const std::string &text);

} // namespace orvex

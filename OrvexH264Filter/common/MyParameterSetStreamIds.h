// The stream identifiers that mark the parser's parameter-set samples, shared
// by the parser that writes them and the decode filter that reads them.
// Ordinary samples carry AM_STREAM_MEDIA (0).
#pragma once

#include <windows.h>

constexpr DWORD kSequenceParameterSetStreamId = 0x80000000;
constexpr DWORD kPictureParameterSetStreamId = 0x80000001;

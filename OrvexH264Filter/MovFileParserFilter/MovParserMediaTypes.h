// Media type identifiers the parser's output pins offer beyond the SDK's:
// the H.264 subtype of an 'avc1' sample description, and the parser's own AAC
// subtype and format type with the layout of that format block.
#pragma once

#include <windows.h>

// 'avc1' by the FOURCC rule (the characters as they stand in the file).
DEFINE_GUID(MEDIASUBTYPE_AVC1, 0x31637661, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71);

// {E8FA9B26-7C3D-440C-9715-9C25646F0C87}: AAC frames as stored in the movie.
DEFINE_GUID(MEDIASUBTYPE_MovParserAAC, 0xe8fa9b26, 0x7c3d, 0x440c, 0x97, 0x15, 0x9c, 0x25, 0x64, 0x6f, 0x0c, 0x87);

// {C0E99841-F4DE-479D-B581-3F738022B436}: the AAC format block below.
DEFINE_GUID(FORMAT_MovParserAACConfig, 0xc0e99841, 0xf4de, 0x479d, 0xb5, 0x81, 0x3f, 0x73, 0x80, 0x22, 0xb4, 0x36);

// The AAC format block, little-endian: channels, bits per sample, the 16.16
// sample rate and the size of the configuration bytes that follow (the
// 'esds' contents after its version and flags, as stored in the file).
#pragma pack(push, 1)
struct MovParserAACConfigHeader {
    WORD nChannels;
    WORD wBitsPerSample;
    DWORD dwSampleRate; // 16.16 fixed point
    DWORD cbConfig;
};
#pragma pack(pop)
static_assert(sizeof(MovParserAACConfigHeader) == 12, "AAC format block layout");

// Layouts of the sample description records in a 'stsd' atom. In a copy made
// by GetMediaSampleDescription the fixed fields below are in host byte order;
// the compressor name and the extension atoms after the fixed part stay as
// they are in the file (extension atoms big-endian).
#pragma once

#include <windows.h>

#include <cstddef>

#pragma pack(push, 2)

// Common head of every description.
struct MyQTSampleDescriptionHead {
    DWORD descSize;   // the whole entry, header included
    DWORD dataFormat; // four-character code, e.g. 'avc1', 'sowt'
    DWORD resvd1;
    WORD resvd2;
    WORD dataRefIndex;
};

// Video ('vide'): extension atoms follow from 86 to the entry's end.
struct MyQTImageDescription {
    MyQTSampleDescriptionHead head;
    WORD version;
    WORD revisionLevel;
    DWORD vendor;
    DWORD temporalQuality;
    DWORD spatialQuality;
    SHORT width;
    SHORT height;
    DWORD hRes; // 16.16 fixed point
    DWORD vRes; // 16.16 fixed point
    DWORD dataSize;
    WORD frameCount;
    BYTE name[32]; // length byte and up to 31 characters
    WORD depth;
    SHORT clutID;
};

// Sound ('soun'), versions 0 and 1: version 0 ends at 36, version 1 at 52.
struct MyQTSoundDescription {
    MyQTSampleDescriptionHead head;
    SHORT version;
    WORD revisionLevel;
    DWORD vendor;
    WORD numChannels;
    WORD sampleSize; // bits
    WORD compressionID;
    WORD packetSize;
    DWORD sampleRate; // 16.16 fixed point, unsigned
    // Version 1 only.
    DWORD samplesPerPacket;
    DWORD bytesPerPacket;
    DWORD bytesPerFrame;
    DWORD bytesPerSample;
};

// Sound, version 2: ends at 72.
struct MyQTSoundDescriptionV2 {
    MyQTSampleDescriptionHead head;
    SHORT version;
    WORD revisionLevel;
    DWORD vendor;
    WORD always3;
    WORD always16;
    WORD alwaysMinus2;
    WORD always0;
    DWORD always65536;
    DWORD sizeOfStructOnly;
    double audioSampleRate;
    DWORD numAudioChannels;
    DWORD always7F000000;
    DWORD constBitsPerChannel;
    DWORD formatSpecificFlags;
    DWORD constBytesPerAudioPacket;
    DWORD constLPCMFramesPerAudioPacket;
};

#pragma pack(pop)

constexpr DWORD kMyQTSampleDescriptionHeadSize = 16;
constexpr DWORD kMyQTImageDescriptionSize = 86;
constexpr DWORD kMyQTSoundDescriptionV0Size = 36;
constexpr DWORD kMyQTSoundDescriptionV1Size = 52;
constexpr DWORD kMyQTSoundDescriptionV2Size = 72;

static_assert(sizeof(MyQTSampleDescriptionHead) == kMyQTSampleDescriptionHeadSize);
static_assert(sizeof(MyQTImageDescription) == kMyQTImageDescriptionSize);
static_assert(offsetof(MyQTImageDescription, width) == 32 && offsetof(MyQTImageDescription, name) == 50 &&
              offsetof(MyQTImageDescription, depth) == 82);
static_assert(sizeof(MyQTSoundDescription) == kMyQTSoundDescriptionV1Size);
static_assert(offsetof(MyQTSoundDescription, sampleRate) == 32 && offsetof(MyQTSoundDescription, bytesPerFrame) == 44);
static_assert(sizeof(MyQTSoundDescriptionV2) == kMyQTSoundDescriptionV2Size);
static_assert(offsetof(MyQTSoundDescriptionV2, audioSampleRate) == 40 &&
              offsetof(MyQTSoundDescriptionV2, constBitsPerChannel) == 56);

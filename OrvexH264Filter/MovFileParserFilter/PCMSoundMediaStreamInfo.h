// PCM sound ('raw ', 'sowt') of a plain movie: the plain sound index and a
// WAVEFORMATEX media type.
#pragma once

#include "MovFileParserFilter/SoundMediaStreamInfo.h"

class CPCMSoundMediaStreamInfo : public CSoundMediaStreamInfo {
public:
    CPCMSoundMediaStreamInfo() = default;
    ~CPCMSoundMediaStreamInfo() override;

    void BuildMediaType(const CMyQTMedia *media) override;
};

// The PCM media type of sound description 1: MEDIATYPE_Audio,
// MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx. Throws the bare value
// CMyQTException::kSoundDescriptionVersion2 for a version-2 description, and
// CMyQTException kUnsupportedDescription for one with 0 channels, or with
// frames of no bytes (bytes per frame, or its low 16 bits that become
// nBlockAlign, 0 or below), where the format block would divide by zero or
// say nothing usable.
void BuildPCMMediaType(const CMyQTMedia *media, CMediaType *mediaType);

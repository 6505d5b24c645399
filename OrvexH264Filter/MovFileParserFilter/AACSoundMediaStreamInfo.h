// AAC sound ('mp4a' with an 'esds') of a plain movie: the plain sound index
// and the parser's own AAC media type (MovParserMediaTypes.h).
#pragma once

#include "MovFileParserFilter/SoundMediaStreamInfo.h"

class CAACSoundMediaStreamInfo : public CSoundMediaStreamInfo {
public:
    CAACSoundMediaStreamInfo() = default;
    ~CAACSoundMediaStreamInfo() override;

    // Throws the bare value CMyQTException::kSoundDescriptionVersion2 for a
    // version-2 description and "Not AAC media" for one without 'esds'.
    void BuildMediaType(const CMyQTMedia *media) override;
};

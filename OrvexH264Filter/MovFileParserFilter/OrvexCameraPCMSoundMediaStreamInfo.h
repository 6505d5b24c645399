// PCM sound of a camera movie. The camera stores one second of sound a
// chunk, the last chunk possibly shorter (then told by a second 'stsc'
// entry), so the index is one entry a chunk with times from the chunk
// numbers alone; the media type is PCM whatever the description's format.
#pragma once

#include "MovFileParserFilter/SoundMediaStreamInfo.h"

class COrvexCameraPCMSoundMediaStreamInfo : public CSoundMediaStreamInfo {
public:
    COrvexCameraPCMSoundMediaStreamInfo() = default;
    ~COrvexCameraPCMSoundMediaStreamInfo() override;

    // Throws CMyQTException kBadTableEntry for a track that breaks the camera
    // layout: a sample rate below 1 Hz or frames of no bytes, no 'stsc'
    // entry, a first 'stsc' entry whose chunks do not hold one second of
    // frames, a chunk larger than 4 GiB, or a second 'stsc' entry that is not
    // the last chunk's; a missing table or description, or one too short,
    // throws as the reading layer does.
    void BuildSampleIndex(const CMyQTMedia *media, ULONGLONG lastMediaByte) override;
    void BuildMediaType(const CMyQTMedia *media) override;
};

// Sound stream info: the plain sound index, one entry a chunk (or the rest
// of one), by the per-sample lookup. The media type is the derived class's.
#pragma once

#include "MovFileParserFilter/QuickTimeMediaStreamInfo.h"

class CSoundMediaStreamInfo : public CQuickTimeMediaStreamInfo {
public:
    ~CSoundMediaStreamInfo() override;

    void BuildSampleIndex(const CMyQTMedia *media, ULONGLONG lastMediaByte) override;

protected:
    // Sound stream infos are made empty; the loader then builds the index
    // and the media type.
    CSoundMediaStreamInfo() = default;
};

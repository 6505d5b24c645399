// The H.264 video stream of a plain QuickTime movie: the plain video index,
// the video media type with temporal compression on, and the track's AVC
// configuration record, whose first SPS and PPS the decode filter asks for.
#pragma once

#include "MovFileParserFilter/VideoMediaStreamInfo.h"
#include "MyH264/MyAVCConfiguration.h"

#include <memory>

class CH264MediaStreamInfo : public CVideoMediaStreamInfo {
public:
    CH264MediaStreamInfo(const CMyQTMedia *media, ULONGLONG lastMediaByte);
    ~CH264MediaStreamInfo() override;

    void BuildMediaType(const CMyQTMedia *media) override;

    // Null when the record was refused.
    const CMyAVCConfiguration *GetAVCConfiguration() const { return m_pAVCConfiguration.get(); }

private:
    std::unique_ptr<CMyAVCConfiguration> m_pAVCConfiguration;
};

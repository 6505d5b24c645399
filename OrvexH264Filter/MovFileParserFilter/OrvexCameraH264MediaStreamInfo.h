// The H.264 video stream of a camera movie. The camera stores one sample a
// chunk, a constant frame duration and a sync sample every gop samples, so
// the index is read from the tables directly: offsets from 'stco', sizes
// from the 'stsz' table, times from the first 'stts' entry, sync flags from
// the distance of the first two 'stss' entries.
#pragma once

#include "MovFileParserFilter/VideoMediaStreamInfo.h"
#include "MyH264/MyAVCConfiguration.h"

#include <memory>

class COrvexCameraH264MediaStreamInfo : public CVideoMediaStreamInfo {
public:
    // Throws CMyQTException for a track that breaks the camera layout: fewer
    // than two 'stss' entries or a second not after the first (kBadTableEntry),
    // a first 'stts' duration of 0 (kBadTableEntry), fewer 'stco' entries or
    // 'stsz' table entries than samples (kOutsideAtom), a missing table.
    COrvexCameraH264MediaStreamInfo(const CMyQTMedia *media, ULONGLONG lastMediaByte);
    ~COrvexCameraH264MediaStreamInfo() override;

    void BuildSampleIndex(const CMyQTMedia *media, ULONGLONG lastMediaByte) override;
    void BuildMediaType(const CMyQTMedia *media) override;

    const CMyAVCConfiguration *GetAVCConfiguration() const { return m_pAVCConfiguration.get(); }

private:
    std::unique_ptr<CMyAVCConfiguration> m_pAVCConfiguration;
};

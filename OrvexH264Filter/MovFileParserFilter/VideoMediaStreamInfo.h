// Video stream info: the plain video index (one entry a sample, by the
// per-sample lookup) and the video media type, plus the media figures and the
// image description that the decode filter asks the parser for.
#pragma once

#include "MovFileParserFilter/QuickTimeMediaStreamInfo.h"
#include "MyQuickTimeAPIs/MySampleDescription.h"

#include <memory>

class CMyAVCConfiguration;

class CVideoMediaStreamInfo : public CQuickTimeMediaStreamInfo {
public:
    // Builds the index and the media type from the media's tables.
    CVideoMediaStreamInfo(const CMyQTMedia *media, ULONGLONG lastMediaByte);
    ~CVideoMediaStreamInfo() override;

    // Index, media type, then the media figures.
    void Init(const CMyQTMedia *media, ULONGLONG lastMediaByte) override;
    void BuildSampleIndex(const CMyQTMedia *media, ULONGLONG lastMediaByte) override;
    void BuildMediaType(const CMyQTMedia *media) override;

    LONG GetMediaTimeScale() const { return m_mediaTimeScale; }
    LONG GetMediaDuration() const { return m_mediaDuration; }
    LONG GetSampleCount() const { return m_sampleCount; }
    // Copy of sample description 1, or null before the media type is built.
    const CMyImageDescription *GetImageDescription() const { return m_pImageDescription.get(); }

protected:
    // For the derived classes, whose constructors run Init themselves so that
    // their own index and media type builders are the ones called.
    CVideoMediaStreamInfo() = default;

    // The video media type of sample description 1, with temporal
    // compression as given.
    void BuildVideoMediaType(const CMyQTMedia *media, BOOL temporalCompression);

private:
    LONG m_mediaTimeScale = 0;
    LONG m_mediaDuration = 0;
    LONG m_sampleCount = 0;
    std::unique_ptr<CMyImageDescription> m_pImageDescription;
};

// The AVC configuration record of an H.264 video stream info (plain or
// camera), or null for another kind or when the record was refused.
const CMyAVCConfiguration *GetAVCConfiguration(const CVideoMediaStreamInfo *info);

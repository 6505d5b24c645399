// Where the index builders get their samples from: the answers of the
// reading layer's GetMediaSampleReference for one media. CMySampleRefPerCall
// asks the reading layer itself, which walks every table from its first entry
// on each call; CMySampleRefCursor (MySampleRefCursor.h) gives the same
// answers in time linear in the tables when the times asked do not decrease.
#pragma once

#include <windows.h>

class CMyQTMedia;

// The outputs of one GetMediaSampleReference call.
struct MySampleRef {
    DWORD dataOffset = 0;
    DWORD size = 0;
    LONG sampleTime = 0;
    LONG durationPerSample = 0;
    LONG sampleDescriptionIndex = 0;
    LONG numberOfSamples = 0;
    WORD sampleFlags = 0;
};

class CMySampleRefSource {
public:
    virtual ~CMySampleRefSource() = default;
    // As GetMediaSampleReference(media, ..., time, ..., maxNumberOfSamples, ...):
    // the same outputs, and the same exceptions where it throws.
    virtual void Lookup(LONG time, LONG maxNumberOfSamples, MySampleRef *ref) = 0;
};

class CMySampleRefPerCall : public CMySampleRefSource {
public:
    explicit CMySampleRefPerCall(const CMyQTMedia *media) : m_media(media) {}
    void Lookup(LONG time, LONG maxNumberOfSamples, MySampleRef *ref) override;

private:
    const CMyQTMedia *m_media;
};

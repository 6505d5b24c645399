// The time stamps of one received media sample and the start of the segment
// it came in. They travel with the sample to the decoder and from there
// with the picture it gives, so a picture is stamped with its own sample's
// times against its own segment.
#pragma once

#include <streams.h>

#include <memory>

struct CSampleTimeInfo {
    // A record of pSample's times: each pair is taken unless the sample's
    // getter fails (the success code that reports a missing stop time
    // counts as having the time). Throws std::bad_alloc.
    static std::unique_ptr<CSampleTimeInfo> FromSample(IMediaSample *pSample);

    // Each copies its pair and answers true only when the sample had it.
    bool GetTime(REFERENCE_TIME *pStart, REFERENCE_TIME *pStop) const;
    bool GetMediaTime(LONGLONG *pStart, LONGLONG *pStop) const;

    bool m_hasTime = false;
    REFERENCE_TIME m_start = -1;
    REFERENCE_TIME m_stop = -1;
    bool m_hasMediaTime = false;
    LONGLONG m_mediaStart = -1;
    LONGLONG m_mediaStop = -1;
    // The segment start in force when the sample arrived.
    REFERENCE_TIME m_segmentStart = 0;
};

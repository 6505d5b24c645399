// The time stamps of one received media sample, kept in arrival order beside
// the output data queue and paired with the decoded pictures first in,
// first out.
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
};

#include "H264DecodeFilter/MySampleTimeInfo.h"

std::unique_ptr<CSampleTimeInfo> CSampleTimeInfo::FromSample(IMediaSample *pSample)
{
    auto pInfo = std::make_unique<CSampleTimeInfo>();
    REFERENCE_TIME start = -1, stop = -1;
    if (SUCCEEDED(pSample->GetTime(&start, &stop))) {
        pInfo->m_hasTime = true;
        pInfo->m_start = start;
        pInfo->m_stop = stop;
    }
    LONGLONG mediaStart = -1, mediaStop = -1;
    if (SUCCEEDED(pSample->GetMediaTime(&mediaStart, &mediaStop))) {
        pInfo->m_hasMediaTime = true;
        pInfo->m_mediaStart = mediaStart;
        pInfo->m_mediaStop = mediaStop;
    }
    return pInfo;
}

bool CSampleTimeInfo::GetTime(REFERENCE_TIME *pStart, REFERENCE_TIME *pStop) const
{
    if (!m_hasTime) return false;
    if (pStart) *pStart = m_start;
    if (pStop) *pStop = m_stop;
    return true;
}

bool CSampleTimeInfo::GetMediaTime(LONGLONG *pStart, LONGLONG *pStop) const
{
    if (!m_hasMediaTime) return false;
    if (pStart) *pStart = m_mediaStart;
    if (pStop) *pStop = m_mediaStop;
    return true;
}

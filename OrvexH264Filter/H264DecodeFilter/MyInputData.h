// Records of the input side: a compressed sample as a list of its NAL units,
// and the record the input data queue carries (a sample or the end-of-stream
// marker). The sample's bytes are not copied: the record holds a reference on
// the upstream sample until it is deleted.
#pragma once

#include "H264DecodeFilter/MySampleTimeInfo.h"

#include <streams.h>
#include <wrl/client.h>

#include <memory>
#include <vector>

class CMyInputData {
public:
    // Takes a reference on pSample (not null) and finds its NAL units: a run
    // of units, each behind a 4-byte big-endian length. The scan stops at the
    // first length that runs past the sample's data, so a truncated unit and
    // everything after it are left out.
    explicit CMyInputData(IMediaSample *pSample);
    // Releases the sample.
    virtual ~CMyInputData();

    CMyInputData(const CMyInputData &) = delete;
    CMyInputData &operator=(const CMyInputData &) = delete;

    DWORD GetNALCount() const { return static_cast<DWORD>(m_NALOffsets.size()); }
    // Unit i's payload (after its length field); null when i is not below the count.
    const BYTE *GetNALPointer(DWORD i) const;
    // Unit i's payload length; 0 when i is not below the count.
    DWORD GetNALSize(DWORD i) const;

    IMediaSample *GetSample() const { return m_pSample.Get(); }

private:
    // The sample's buffer, asked for anew on each use.
    const BYTE *Buffer() const;

    Microsoft::WRL::ComPtr<IMediaSample> m_pSample;
    // Offset of each unit's length field from the start of the buffer.
    std::vector<DWORD> m_NALOffsets;
};

struct CMyInputMediaSampleData {
    static constexpr LONG kSample = 0;
    static constexpr LONG kEndOfStream = -1;
    // A new segment: the decoder gives every picture before it, as at the
    // end of the stream, and the segment follows them.
    static constexpr LONG kNewSegment = -2;

    LONG m_kind = kSample;
    std::unique_ptr<CMyInputData> m_pData; // null in the markers
    // A media sample's times; null for parameter sets and the markers.
    std::unique_ptr<CSampleTimeInfo> m_pTime;
    REFERENCE_TIME m_segmentStart = 0, m_segmentStop = 0;
    double m_rate = 0.0;
};

// CMyDecoder11: the decode filter's bridge to the decoder library. It keeps
// what the filter learned about the stream when its input connected (the
// parameter sets, the display size, the video signal description), picks the
// library's output format from the output media type, opens and frees the
// library instance, and runs one decoding step at a time. During a step the
// library calls back in: as its reader, the wrapper hands out the NAL units
// of the samples in the input data queue; as its writer, it builds picture
// records and queues them on the output data queue.
//
// No lock of its own: the steps and every callback run on the upstream
// thread under the filter's receive lock; the other operations come from the
// application's thread while connecting and changing state.
#pragma once

#include "H264DecodeFilter/MyInputDataQueue.h"
#include "H264DecodeFilter/MyOutputDataQueue.h"
#include "MyH264/MyH264PPS.h"
#include "MyH264/MyH264SPS.h"
#include "MyH264/MyVideoSignalInfo.h"
#include "OrvexIPPH264DecLib.h"

#include <streams.h>

#include <atomic>
#include <deque>
#include <memory>

class CMyImageDescription;

class CMyDecoder11 : public OrvexIPP::AbstractReader, public OrvexIPP::AbstractWriter {
public:
    // Most pictures that may wait in the output data queue before a step runs.
    static constexpr DWORD kMaxQueuedPictures = 10;

    // Neither queue is owned; both outlive the wrapper.
    CMyDecoder11(CMyInputDataQueue *pInput, CMyOutputDataQueue *pOutput);
    // Frees a library instance still open.
    ~CMyDecoder11() override;

    CMyDecoder11(const CMyDecoder11 &) = delete;
    CMyDecoder11 &operator=(const CMyDecoder11 &) = delete;

    // Forgets the parameter sets and the video signal description; the
    // display size stays.
    void ResetStreamInfo();
    // Parses both parameter sets (NAL units with their header byte) and takes
    // the display size and the video signal description from them and the
    // image description. E_POINTER for a missing argument; E_INVALIDARG when
    // a set is refused (the sets held before are kept); E_OUTOFMEMORY.
    HRESULT SetParameterSets(const BYTE *pSPS, WORD cbSPS, const BYTE *pPPS, WORD cbPPS,
                             const CMyImageDescription *pDescription);
    // E_UNEXPECTED while either dimension is unknown (0).
    HRESULT GetDisplaySize(DWORD *pWidth, DWORD *pHeight) const;

    // 0, 1 or 2, used by the next CreateDecoder; E_INVALIDARG (mode kept) otherwise.
    HRESULT SetDeblockingSkipMode(LONG mode);
    HRESULT SetOutputScalingMode(LONG mode);
    // The library output format for the media type's subtype: YV12 1, RGB32
    // 5, RGB24 6, IYUV 0; RGB from a full-range stream 7. Passed on to an
    // open instance (E_FAIL if refused). VFW_E_TYPE_NOT_ACCEPTED (format id
    // kept) for any other subtype; E_POINTER.
    HRESULT SetOutputFormat(const CMediaType *pmt);

    // Opens a library instance with the current format, deblocking skip and
    // scaling, with this object as reader and writer.
    bool CreateDecoder();
    // Aborts the input data queue, wakes a step waiting for room, frees the
    // instance and drops the sample being read.
    void FreeDecoder();

    // End and start of a flush on the input side.
    void StartInput();
    void AbortInput();

    // The library's DecodeHeader (1 = success); 0 without an instance.
    LONG DecodeHeader();
    // One decoding step after waiting for room in the output data queue:
    // -1 a decoding error (the library is reset and the sample being read
    // dropped), 2 the end of the stream or a new segment reached (every
    // picture before it is queued, then the end-of-stream or new-segment
    // record), 0 when the wait was ended or failed, else the library's result.
    LONG DecodeFrame();
    // Resets the library and drops the sample and the picture in progress.
    void Flush();

    LONG GetOutputFormatId() const { return m_formatId.load(std::memory_order_relaxed); }
    LONG GetDeblockingSkipMode() const { return m_deblockingSkip; }
    LONG GetOutputScalingMode() const { return m_scaling; }
    const CMyVideoSignalInfo &GetVideoSignal() const { return m_videoSignal; }
    const CMyH264SPS *GetSPS() const { return m_pSPS.get(); }
    const CMyH264PPS *GetPPS() const { return m_pPPS.get(); }
    bool HasDecoder() const { return m_pDecoder != nullptr; }

    // Reader callbacks.
    int32_t GetDataSize(uint32_t *pSize, int32_t *pStatus) override;
    int32_t ReadData(uint8_t *pBuffer, uint32_t size, int32_t flags) override;
    // Writer callbacks.
    int32_t WriteData(const uint8_t *pData, uint32_t size) override;
    int32_t SetStatus(const OrvexIPP::WriterStatus *pInfo) override;

private:
    struct DecoderDeleter {
        void operator()(OrvexIPP::AVCDecoder *pDecoder) const;
    };
    using DecoderPtr = std::unique_ptr<OrvexIPP::AVCDecoder, DecoderDeleter>;

    // Waits while more than kMaxQueuedPictures records are queued; false
    // when the wait ended otherwise than by room.
    bool WaitForRoom();
    void DropInputRecord();
    void DropPicture();
    // Queues what the end marker stands for, after the pictures before it.
    void PushEndMarker();
    void StartPicture(const OrvexIPP::WriterStatus &info);

    CMyInputDataQueue *m_pInput;
    CMyOutputDataQueue *m_pOutput;
    std::atomic<LONG> m_formatId{AVCD_PARAM_OUTPUT_FORMAT_ID_YV12};
    LONG m_deblockingSkip = AVCD_DEBLOCKING_SKIP_NONE;
    LONG m_scaling = AVCD_OUTPUT_SCALING_ORIGINAL;
    std::unique_ptr<CMyH264SPS> m_pSPS;
    std::unique_ptr<CMyH264PPS> m_pPPS;
    DecoderPtr m_pDecoder;
    DWORD m_displayWidth = 0;
    DWORD m_displayHeight = 0;

    // The sample whose units the library is reading.
    std::unique_ptr<CMyInputMediaSampleData> m_pInputRecord;
    DWORD m_NALCount = 0;
    DWORD m_nextNAL = 0;
    // The marker (end of stream, new segment) that ended the input the
    // library is draining; what follows its pictures.
    std::unique_ptr<CMyInputMediaSampleData> m_pEndMarker;
    // The times of the pictures read and not yet written, one per first
    // slice of a picture, in reading order: pictures leave the library in
    // that order. A sample that starts no picture (SEI only) adds none; a
    // decoding error, after which the library has written all it will of
    // what it read, drops those left, so no picture takes another's time.
    std::deque<CSampleTimeInfo> m_pictureTimes;

    // The picture being written: m_pPicture owns it, at most one of the
    // typed views below points at it.
    uint32_t m_writerStatus = 0;
    std::unique_ptr<CMyOutputData> m_pPicture;
    CMyYUVBuffer *m_pYUV = nullptr;
    CMyRGBBuffer *m_pRGB = nullptr;

    // Shared with the picture records, which give their buffers back to it
    // wherever they are deleted.
    std::shared_ptr<CMyPixelBufferPool> m_pPixelBuffers;

    CAMEvent m_evStop{TRUE};
    CMyVideoSignalInfo m_videoSignal;
};

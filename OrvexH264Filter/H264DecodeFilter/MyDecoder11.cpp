#include "H264DecodeFilter/MyDecoder11.h"

#include "MyQuickTimeAPIs/MySampleDescription.h"
#include "common/MyTrace.h"

#include <cstring>
#include <new>

void CMyDecoder11::DecoderDeleter::operator()(OrvexIPP::AVCDecoder *pDecoder) const
{
    pDecoder->Close();
    FreeAVCDecInstance(pDecoder);
}

namespace {

// Pictures alive at once while the output queue is full: those queued, the
// few one step may add beyond the limit (the library gives up what its frame
// threads hold when a stream ends), the one being delivered and the one being
// written. The pool keeps that many, so that a queue that fills and drains
// again does not free buffers only to fault in fresh ones.
constexpr DWORD kPixelBuffersKept = CMyDecoder11::kMaxQueuedPictures + 4;

} // namespace

CMyDecoder11::CMyDecoder11(CMyInputDataQueue *pInput, CMyOutputDataQueue *pOutput)
    : m_pInput(pInput), m_pOutput(pOutput), m_pPixelBuffers(std::make_shared<CMyPixelBufferPool>(kPixelBuffersKept))
{
}

CMyDecoder11::~CMyDecoder11()
{
    // The instance goes first, while everything it might call back into exists.
    m_pDecoder.reset();
}

// --- stream information ----------------------------------------------------

void CMyDecoder11::ResetStreamInfo()
{
    m_pSPS.reset();
    m_pPPS.reset();
    m_videoSignal = CMyVideoSignalInfo{};
}

HRESULT CMyDecoder11::SetParameterSets(const BYTE *pSPS, WORD cbSPS, const BYTE *pPPS, WORD cbPPS,
                                       const CMyImageDescription *pDescription)
{
    if (!pSPS || !pPPS || !pDescription) return E_POINTER;
    try {
        // Both sets are parsed before either replaces what is held, so a
        // refusal leaves the earlier pair whole.
        auto pNewSPS = std::make_unique<CMyH264SPS>(cbSPS, pSPS);
        auto pNewPPS = std::make_unique<CMyH264PPS>(cbPPS, pPPS);

        DWORD width = 0, height = 0;
        BOOL cropping = FALSE;
        RECT crop{};
        pNewSPS->GetPictureRect(&width, &height, &cropping, &crop);
        if (cropping) {
            width = static_cast<DWORD>(crop.right - crop.left);
            height = static_cast<DWORD>(crop.bottom - crop.top);
        }
        const CMyVideoSignalInfo signal = GetVideoSignalInfo(pNewSPS.get(), pDescription);

        m_pSPS = std::move(pNewSPS);
        m_pPPS = std::move(pNewPPS);
        m_displayWidth = width;
        m_displayHeight = height;
        m_videoSignal = signal;
        TraceVideoSignalInfo(m_videoSignal);
        return S_OK;
    } catch (const char *refusal) {
        MyTrace("CMyDecoder11::SetParameterSets : %s \n", refusal);
        return E_INVALIDARG;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CMyDecoder11::GetDisplaySize(DWORD *pWidth, DWORD *pHeight) const
{
    if (!pWidth || !pHeight) return E_POINTER;
    *pWidth = m_displayWidth;
    *pHeight = m_displayHeight;
    return m_displayWidth == 0 || m_displayHeight == 0 ? E_UNEXPECTED : S_OK;
}

// --- decode parameters and output format ----------------------------------

namespace {

bool IsMode(LONG mode)
{
    return mode >= 0 && mode <= 2;
}

} // namespace

HRESULT CMyDecoder11::SetDeblockingSkipMode(LONG mode)
{
    if (!IsMode(mode)) return E_INVALIDARG;
    m_deblockingSkip = mode;
    return S_OK;
}

HRESULT CMyDecoder11::SetOutputScalingMode(LONG mode)
{
    if (!IsMode(mode)) return E_INVALIDARG;
    m_scaling = mode;
    return S_OK;
}

HRESULT CMyDecoder11::SetOutputFormat(const CMediaType *pmt)
{
    if (!pmt) return E_POINTER;
    const GUID &subtype = *pmt->Subtype();
    LONG id;
    if (subtype == MEDIASUBTYPE_YV12) {
        id = AVCD_PARAM_OUTPUT_FORMAT_ID_YV12;
    } else if (subtype == MEDIASUBTYPE_RGB32) {
        id = AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32;
    } else if (subtype == MEDIASUBTYPE_RGB24) {
        id = AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24;
    } else if (subtype == MEDIASUBTYPE_IYUV) {
        id = AVCD_PARAM_OUTPUT_FORMAT_ID_I420;
    } else {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    // The library converts full-range streams to RGB only as 24-bit pixels;
    // frame output widens them for RGB32.
    if (id != AVCD_PARAM_OUTPUT_FORMAT_ID_YV12 && id != AVCD_PARAM_OUTPUT_FORMAT_ID_I420 &&
        m_videoSignal.m_video_full_range_flag)
        id = AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24;

    // An open instance must take the format first: pictures are made by the
    // id, so the id may not name a format the library does not write.
    if (m_pDecoder && m_pDecoder->SetParam(AVCD_PARAM_OUTPUT_FORMAT, id) != AVCD_RESULT_SUCCESS) return E_FAIL;
    m_formatId.store(id, std::memory_order_relaxed);
    return S_OK;
}

// --- the library instance --------------------------------------------------

bool CMyDecoder11::CreateDecoder()
{
    // Opening again without FreeDecoder replaces the instance.
    m_pDecoder.reset();
    m_pDecoder.reset(CreateAVCDecInstance());
    if (!m_pDecoder) return false;

    const struct {
        int32_t id;
        LONG value;
    } params[] = {
        {AVCD_PARAM_OUTPUT_FORMAT, GetOutputFormatId()},
        {AVCD_PARAM_DEBLOCKING_SKIP, m_deblockingSkip},
        {AVCD_PARAM_OUTPUT_SCALING, m_scaling},
    };
    for (const auto &param : params) {
        if (m_pDecoder->SetParam(param.id, static_cast<int64_t>(param.value)) != AVCD_RESULT_SUCCESS) return false;
    }
    if (m_pDecoder->Initialize(static_cast<OrvexIPP::AbstractReader *>(this),
                               static_cast<OrvexIPP::AbstractWriter *>(this)) != AVCD_RESULT_SUCCESS)
        return false;
    m_evStop.Reset();
    return true;
}

void CMyDecoder11::FreeDecoder()
{
    m_pInput->Abort();
    m_evStop.Set();
    m_pDecoder.reset();
    DropInputRecord();
    DropPicture();
    m_pictureTimes.clear();
    m_pEndMarker.reset();
}

void CMyDecoder11::StartInput()
{
    m_pInput->ResetEvents();
}

void CMyDecoder11::AbortInput()
{
    m_pInput->Abort();
}

LONG CMyDecoder11::DecodeHeader()
{
    if (!m_pDecoder) return AVCD_RESULT_FAILURE;
    return m_pDecoder->DecodeHeader();
}

bool CMyDecoder11::WaitForRoom()
{
    while (m_pOutput->GetCount() > kMaxQueuedPictures) {
        const HANDLE events[2] = {m_evStop, m_pOutput->GetTakenEvent()};
        const DWORD result = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (result == WAIT_OBJECT_0) return false;
        if (result == WAIT_OBJECT_0 + 1) continue;
        if (result == WAIT_FAILED) {
            MyTrace("CMyDecoder11::DecodeFrame : WaitForMultipleObjects Error %u \n",
                    static_cast<unsigned>(GetLastError()));
        } else {
            MyTrace("CMyDecoder11::DecodeFrame : WaitForMultipleObjects Unknown result 0x%08X \n",
                    static_cast<unsigned>(result));
        }
        return false;
    }
    return true;
}

LONG CMyDecoder11::DecodeFrame()
{
    if (!WaitForRoom()) return 0;
    if (!m_pDecoder) {
        DropInputRecord();
        return AVCD_DECODE_ERROR;
    }
    const int32_t result = m_pDecoder->Decode();
    if (result == AVCD_DECODE_ERROR) {
        m_pDecoder->Reset(0);
        DropInputRecord();
        m_pictureTimes.clear(); // all the library will write of what it read is written
        return AVCD_DECODE_ERROR;
    }
    if (result == AVCD_DECODE_END_OF_STREAM) {
        PushEndMarker();
        m_pDecoder->Reset(0);
        DropInputRecord();
        m_pictureTimes.clear();
        return AVCD_DECODE_END_OF_STREAM;
    }
    return result;
}

void CMyDecoder11::PushEndMarker()
{
    const std::unique_ptr<CMyInputMediaSampleData> pMarker = std::move(m_pEndMarker);
    if (pMarker && pMarker->m_kind == CMyInputMediaSampleData::kNewSegment) {
        m_pOutput->PushNewSegment(pMarker->m_segmentStart, pMarker->m_segmentStop, pMarker->m_rate);
    } else {
        m_pOutput->PushEndOfStream();
    }
}

void CMyDecoder11::Flush()
{
    if (m_pDecoder) m_pDecoder->Reset(0);
    DropInputRecord();
    DropPicture();
    m_pictureTimes.clear();
    m_pEndMarker.reset();
}

// --- reader ------------------------------------------------------------------

namespace {

// The first slice of a picture: a coded slice (1) or an IDR slice (5) whose
// first_mb_in_slice, ue(v) right after the header byte, is 0 (a single 1 bit).
bool StartsPicture(const BYTE *pUnit, DWORD size)
{
    if (!pUnit || size < 2) return false;
    const BYTE type = pUnit[0] & 0x1F;
    return (type == 1 || type == 5) && (pUnit[1] & 0x80) != 0;
}

} // namespace

void CMyDecoder11::DropInputRecord()
{
    m_pInputRecord.reset();
    m_NALCount = 0;
    m_nextNAL = 0;
}

int32_t CMyDecoder11::GetDataSize(uint32_t *pSize, int32_t *pStatus)
{
    // A record with nothing (more) to hand out is used up: an empty sample
    // is released at once and the next record is looked at.
    while (!m_pInputRecord || m_nextNAL >= m_NALCount) {
        DropInputRecord();
        // Taken without waiting: the step runs on the very thread that
        // queues the samples, so a wait for more could never end. An empty
        // queue answers "no more input", and the library goes on from
        // where it stopped at the next step.
        std::unique_ptr<CMyInputMediaSampleData> pRecord = m_pInput->TryPop();
        if (!pRecord) {
            if (pStatus) *pStatus = AVCD_READER_STATUS_NO_MORE_INPUT;
            return 0;
        }
        if (pRecord->m_kind == CMyInputMediaSampleData::kEndOfStream ||
            pRecord->m_kind == CMyInputMediaSampleData::kNewSegment) {
            // Both end the input: the library gives every picture it holds.
            m_pEndMarker = std::move(pRecord);
            if (pStatus) *pStatus = AVCD_READER_STATUS_END_OF_STREAM;
            return 0;
        }
        if (!pRecord->m_pData) continue;
        m_NALCount = pRecord->m_pData->GetNALCount();
        m_pInputRecord = std::move(pRecord);
    }
    if (pSize) *pSize = m_pInputRecord->m_pData->GetNALSize(m_nextNAL);
    return 4;
}

int32_t CMyDecoder11::ReadData(uint8_t *pBuffer, uint32_t size, int32_t flags)
{
    (void)flags;
    if (!m_pInputRecord || m_nextNAL >= m_NALCount) return 0;
    const CMyInputData &data = *m_pInputRecord->m_pData;
    const BYTE *pUnit = data.GetNALPointer(m_nextNAL);
    const DWORD available = data.GetNALSize(m_nextNAL);
    // Never more than the unit holds: a larger request gets the unit and a
    // short count, which the library takes for a corrupt unit.
    DWORD count = size < available ? size : available;
    if (!pBuffer || !pUnit) count = 0;
    if (count) std::memcpy(pBuffer, pUnit, count);
    if (StartsPicture(pUnit, available)) {
        const CSampleTimeInfo *pTime = m_pInputRecord->m_pTime.get();
        m_pictureTimes.push_back(pTime ? *pTime : CSampleTimeInfo{});
    }
    if (++m_nextNAL == m_NALCount) DropInputRecord();
    return static_cast<int32_t>(count);
}

// --- writer ------------------------------------------------------------------

void CMyDecoder11::DropPicture()
{
    m_pYUV = nullptr;
    m_pRGB = nullptr;
    m_pPicture.reset();
    m_writerStatus = 0;
}

void CMyDecoder11::StartPicture(const OrvexIPP::WriterStatus &info)
{
    DropPicture();
    const LONG format = GetOutputFormatId();
    // The record takes the size of the rows the library writes, which is
    // what frame output reads them at: the library announces it; without
    // that, it is the display size at the output scaling.
    const DWORD width = info.width ? info.width : m_displayWidth >> m_scaling;
    const DWORD height = info.height ? info.height : m_displayHeight >> m_scaling;
    try {
        switch (format) {
        case AVCD_PARAM_OUTPUT_FORMAT_ID_I420:
        case AVCD_PARAM_OUTPUT_FORMAT_ID_YV12: {
            auto pYUV = std::make_unique<CMyYUVBuffer>(width, height, format, m_pPixelBuffers);
            m_pYUV = pYUV.get();
            m_pPicture = std::move(pYUV);
            break;
        }
        case AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32:
        case AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24:
        case AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24: {
            auto pRGB = std::make_unique<CMyRGBBuffer>(width, height, format, m_pPixelBuffers);
            m_pRGB = pRGB.get();
            m_pPicture = std::move(pRGB);
            break;
        }
        default:
            break; // no record for an unknown format
        }
    } catch (const std::bad_alloc &) {
        // The picture is lost; its writes go nowhere.
        DropPicture();
    }
}

int32_t CMyDecoder11::SetStatus(const OrvexIPP::WriterStatus *pInfo)
{
    if (!pInfo) return 0;
    const uint32_t status = pInfo->status;
    if (status == AVCD_WRITER_STATUS_PICTURE_START) {
        StartPicture(*pInfo);
    } else if (status == AVCD_WRITER_STATUS_PICTURE_DONE) {
        // The oldest times read belong to this picture, also when its record
        // could not be made.
        CSampleTimeInfo time;
        if (!m_pictureTimes.empty()) {
            time = m_pictureTimes.front();
            m_pictureTimes.pop_front();
        }
        if (m_pPicture) {
            if (m_pYUV) m_pYUV->ClearUnwritten();
            if (m_pRGB) m_pRGB->ClearUnwritten();
            m_pPicture->SetTimeInfo(time);
            m_pYUV = nullptr;
            m_pRGB = nullptr;
            m_pOutput->PushFrame(std::move(m_pPicture));
        }
    }
    m_writerStatus = status;
    return 0;
}

int32_t CMyDecoder11::WriteData(const uint8_t *pData, uint32_t size)
{
    switch (m_writerStatus) {
    case AVCD_WRITER_STATUS_PICTURE_START:
        if (m_pYUV) m_pYUV->WriteY(pData, size);
        if (m_pRGB) m_pRGB->Write(pData, size);
        break;
    case AVCD_WRITER_STATUS_CB_PLANE:
        if (m_pYUV) m_pYUV->WriteU(pData, size);
        break;
    case AVCD_WRITER_STATUS_CR_PLANE:
        if (m_pYUV) m_pYUV->WriteV(pData, size);
        break;
    default:
        break;
    }
    return 0;
}

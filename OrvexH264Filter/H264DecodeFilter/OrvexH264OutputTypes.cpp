#include "H264DecodeFilter/OrvexH264OutputTypes.h"

#include "MovFileParserFilter/MovParserMediaTypes.h"
#include "OrvexIPPH264DecLib.h"

#include <cstdint>
#include <cstdlib>

namespace {

const GUID *const kOutputSubtypes[] = {&MEDIASUBTYPE_YV12, &MEDIASUBTYPE_RGB32, &MEDIASUBTYPE_RGB24,
                                       &MEDIASUBTYPE_IYUV};

constexpr DWORD kFourccAvc1 = MAKEFOURCC('a', 'v', 'c', '1');
constexpr DWORD kFourccYV12 = MAKEFOURCC('Y', 'V', '1', '2');
constexpr DWORD kFourccIYUV = MAKEFOURCC('I', 'Y', 'U', 'V');

const VIDEOINFOHEADER *VideoInfo(const CMediaType *pmt)
{
    if (*pmt->FormatType() != FORMAT_VideoInfo || !pmt->Format() || pmt->FormatLength() < sizeof(VIDEOINFOHEADER))
        return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER *>(pmt->Format());
}

bool IsRectEmptyAt(const RECT &rc)
{
    return rc.right <= rc.left || rc.bottom <= rc.top;
}

// Bytes of a row of width pixels of bits each, padded to 4 bytes.
uint64_t PaddedRow(uint64_t width, uint64_t bits)
{
    return ((width * bits + 31) & ~uint64_t{31}) / 8;
}

// Planar rows are an even number, so the chroma planes hold the last row.
uint64_t EvenUp(uint64_t rows)
{
    return (rows + 1) & ~uint64_t{1};
}

} // namespace

int OfferedOutputSubtypeCount(bool iyuv)
{
    return iyuv ? 4 : 3;
}

const GUID *OfferedOutputSubtype(int position, bool iyuv)
{
    if (position < 0 || position >= OfferedOutputSubtypeCount(iyuv)) return nullptr;
    return kOutputSubtypes[position];
}

bool IsOfferedOutputSubtype(const GUID &subtype, bool iyuv)
{
    for (int i = 0; i < OfferedOutputSubtypeCount(iyuv); ++i) {
        if (subtype == *kOutputSubtypes[i]) return true;
    }
    return false;
}

bool IsAcceptedInputType(const CMediaType *pmt)
{
    if (!pmt || *pmt->Type() != MEDIATYPE_Video || *pmt->Subtype() != MEDIASUBTYPE_AVC1) return false;
    const VIDEOINFOHEADER *pvi = VideoInfo(pmt);
    return pvi && pvi->bmiHeader.biCompression == kFourccAvc1;
}

bool IsAcceptedOutputShape(const CMediaType *pmt, bool iyuv)
{
    if (!pmt || *pmt->Type() != MEDIATYPE_Video || !IsOfferedOutputSubtype(*pmt->Subtype(), iyuv)) return false;
    const VIDEOINFOHEADER *pvi = VideoInfo(pmt);
    if (!pvi) return false;
    const RECT &src = pvi->rcSource;
    const RECT &dst = pvi->rcTarget;
    if (src.left != dst.left || src.top != dst.top || src.right != dst.right || src.bottom != dst.bottom) return false;
    if (src.left != 0 || src.top != 0) return false;
    const BITMAPINFOHEADER &bih = pvi->bmiHeader;
    switch (bih.biCompression) {
    case kFourccYV12:
    case kFourccIYUV:
        return true;
    case BI_RGB:
    case BI_BITFIELDS:
        // RGB rows are written top-down only.
        return bih.biHeight <= 0;
    default:
        return false;
    }
}

bool OutputSubtypeFitsFormat(const GUID &subtype, LONG formatId)
{
    if (subtype == MEDIASUBTYPE_YV12) return formatId == AVCD_PARAM_OUTPUT_FORMAT_ID_YV12;
    if (subtype == MEDIASUBTYPE_IYUV) return formatId == AVCD_PARAM_OUTPUT_FORMAT_ID_I420;
    if (subtype == MEDIASUBTYPE_RGB32)
        return formatId == AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32 || formatId == AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24;
    if (subtype == MEDIASUBTYPE_RGB24)
        return formatId == AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24 || formatId == AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24;
    return false;
}

const char *OutputSubtypeName(const GUID &subtype)
{
    if (subtype == MEDIASUBTYPE_YV12) return "MEDIASUBTYPE_YV12";
    if (subtype == MEDIASUBTYPE_RGB32) return "MEDIASUBTYPE_RGB32";
    if (subtype == MEDIASUBTYPE_RGB24) return "MEDIASUBTYPE_RGB24";
    if (subtype == MEDIASUBTYPE_IYUV) return "MEDIASUBTYPE_IYUV";
    return "Unknown Subtype";
}

const char *DecoderOutputFormatName(LONG formatId)
{
    switch (formatId) {
    case AVCD_PARAM_OUTPUT_FORMAT_ID_I420:
        return "AVCD_PARAM_OUTPUT_FORMAT_ID_I420";
    case AVCD_PARAM_OUTPUT_FORMAT_ID_YV12:
        return "AVCD_PARAM_OUTPUT_FORMAT_ID_YV12";
    case AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32:
        return "AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32";
    case AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24:
        return "AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24";
    case AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24:
        return "AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24";
    default:
        return "Unknown Decoder Output Format";
    }
}

void GetOutputVisibleSize(const VIDEOINFOHEADER &vih, LONGLONG *pWidth, LONGLONG *pHeight)
{
    const RECT &rc = vih.rcTarget;
    if (!IsRectEmptyAt(rc)) {
        *pWidth = LONGLONG{rc.right} - rc.left;
        *pHeight = LONGLONG{rc.bottom} - rc.top;
    } else {
        *pWidth = vih.bmiHeader.biWidth;
        *pHeight = std::llabs(LONGLONG{vih.bmiHeader.biHeight});
    }
}

bool OutputSampleSize(const GUID &subtype, DWORD width, DWORD height, DWORD *pSize)
{
    uint64_t size;
    if (subtype == MEDIASUBTYPE_RGB32) {
        size = uint64_t{width} * 4 * height;
    } else if (subtype == MEDIASUBTYPE_RGB24) {
        size = PaddedRow(width, 24) * height;
    } else {
        // At the stride and the even height of the proposed planar type.
        const uint64_t luma = PaddedRow(width, 8) * EvenUp(height);
        size = luma + 2 * (luma / 4);
    }
    if (size > 0x7FFFFFFF) return false;
    *pSize = static_cast<DWORD>(size);
    return true;
}

HRESULT BuildOutputMediaType(CMediaType *pmt, const GUID &subtype, const DecodeStreamFigures &figures)
{
    DWORD sampleSize = 0;
    if (!OutputSampleSize(subtype, figures.width, figures.height, &sampleSize)) return E_FAIL;

    VIDEOINFOHEADER vih{};
    // Without a time scale or a whole frame duration the rate is unknown: 0.
    const DWORD perFrame = figures.sampleCount ? figures.duration / figures.sampleCount : 0;
    if (figures.timeScale && perFrame) {
        vih.AvgTimePerFrame = LONGLONG{10000000} * perFrame / figures.timeScale;
        // 128-bit: a large time scale times a large picture would wrap 64 bits.
        const unsigned __int128 bits = static_cast<unsigned __int128>(figures.timeScale) * sampleSize * 8;
        vih.dwBitRate = static_cast<DWORD>(bits / perFrame);
    }
    BITMAPINFOHEADER &bih = vih.bmiHeader;
    bih.biSize = sizeof(BITMAPINFOHEADER);
    bih.biWidth = static_cast<LONG>(figures.width);
    bih.biPlanes = 1;
    const LONG height = static_cast<LONG>(figures.height);
    if (subtype == MEDIASUBTYPE_YV12 || subtype == MEDIASUBTYPE_IYUV) {
        bih.biBitCount = 12;
        bih.biCompression = subtype == MEDIASUBTYPE_YV12 ? kFourccYV12 : kFourccIYUV;
        // The buffer is laid out at the padded stride and an even height, so
        // that its chroma planes (half the stride, half the rows) hold every
        // chroma sample of an odd size; the picture is the rectangle within.
        bih.biWidth = static_cast<LONG>(PaddedRow(figures.width, 8));
        bih.biHeight = static_cast<LONG>(EvenUp(figures.height));
        if (bih.biWidth != static_cast<LONG>(figures.width) || bih.biHeight != height)
            vih.rcSource = vih.rcTarget = RECT{0, 0, static_cast<LONG>(figures.width), height};
    } else {
        bih.biBitCount = subtype == MEDIASUBTYPE_RGB32 ? 32 : 24;
        bih.biCompression = BI_RGB;
        bih.biHeight = -height; // top-down
    }
    bih.biSizeImage = sampleSize;

    pmt->ResetFormatBuffer();
    pmt->InitMediaType();
    pmt->SetType(&MEDIATYPE_Video);
    pmt->SetSubtype(&subtype);
    pmt->SetFormatType(&FORMAT_VideoInfo);
    pmt->SetSampleSize(sampleSize);
    pmt->SetTemporalCompression(FALSE);
    if (!pmt->SetFormat(reinterpret_cast<BYTE *>(&vih), sizeof(vih))) return E_OUTOFMEMORY;
    return S_OK;
}

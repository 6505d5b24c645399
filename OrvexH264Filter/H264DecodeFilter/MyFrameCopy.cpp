#include "H264DecodeFilter/MyFrameCopy.h"

#include "H264DecodeFilter/OrvexH264OutputTypes.h"
#include "OrvexIPPH264DecLib.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace {

static_assert(std::endian::native == std::endian::little, "pixel words are read little-endian");

bool IsPlanarFormat(LONG formatId)
{
    return formatId == AVCD_PARAM_OUTPUT_FORMAT_ID_I420 || formatId == AVCD_PARAM_OUTPUT_FORMAT_ID_YV12;
}

bool IsRGBFormat(LONG formatId)
{
    return formatId == AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32 || formatId == AVCD_PARAM_OUTPUT_FORMAT_ID_RGB24 ||
           formatId == AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24;
}

// Bytes per pixel of the picture's own rows.
LONGLONG SourcePixelBytes(LONG formatId)
{
    return formatId == AVCD_PARAM_OUTPUT_FORMAT_ID_RGB32 ? 4 : 3;
}

// Bytes per pixel written into the sample.
LONGLONG DestPixelBytes(const MyFrameLayout &layout, LONG formatId)
{
    if (formatId == AVCD_PARAM_OUTPUT_FORMAT_ID_FullRangeRGB24 && layout.subtype == MEDIASUBTYPE_RGB32) return 4;
    return SourcePixelBytes(formatId);
}

// The end of rows rows of rowBytes each, stride apart from offset; -1 when
// the rows would overlap.
LONGLONG RowsExtent(LONGLONG offset, LONGLONG rows, LONGLONG rowBytes, LONGLONG stride)
{
    if (rows <= 0 || rowBytes <= 0) return offset;
    if (stride < rowBytes) return -1;
    return offset + (rows - 1) * stride + rowBytes;
}

struct PlanarPlaces {
    LONGLONG firstChroma;
    LONGLONG secondChroma;
};

PlanarPlaces ChromaPlaces(const MyFrameLayout &layout)
{
    const LONGLONG first = layout.lumaStride * layout.lumaPlaneRows;
    return {first, first + layout.chromaStride * (layout.lumaPlaneRows / 2)};
}

// The chroma rows and row bytes copied: half the copy size rounded up, so an
// odd size keeps its last chroma column and row, within the type's chroma
// planes.
LONGLONG ChromaCopyWidth(const MyFrameLayout &layout)
{
    return std::min((layout.copyWidth + 1) / 2, layout.chromaStride);
}

LONGLONG ChromaCopyRows(const MyFrameLayout &layout)
{
    return std::min((layout.copyHeight + 1) / 2, layout.lumaPlaneRows / 2);
}

void CopyRows(const BYTE *pSource, LONGLONG sourceStride, BYTE *pDest, LONGLONG destStride, LONGLONG rows,
              LONGLONG rowBytes)
{
    if (rowBytes <= 0 || rows <= 0) return;
    // Rows back to back on both sides: the whole plane in one call.
    if (sourceStride == rowBytes && destStride == rowBytes) {
        std::memcpy(pDest, pSource, static_cast<size_t>(rows * rowBytes));
        return;
    }
    for (LONGLONG row = 0; row < rows; ++row) {
        std::memcpy(pDest + row * destStride, pSource + row * sourceStride, static_cast<size_t>(rowBytes));
    }
}

} // namespace

MyFrameLayout GetFrameLayout(const CMediaType &mt, const CMyOutputData &picture)
{
    MyFrameLayout layout;
    layout.subtype = *mt.Subtype();
    const auto &vih = *reinterpret_cast<const VIDEOINFOHEADER *>(mt.Format());
    LONGLONG visibleWidth = 0, visibleHeight = 0;
    GetOutputVisibleSize(vih, &visibleWidth, &visibleHeight);
    layout.copyWidth = std::clamp<LONGLONG>(visibleWidth, 0, picture.GetWidth());
    layout.copyHeight = std::clamp<LONGLONG>(visibleHeight, 0, picture.GetHeight());

    const BITMAPINFOHEADER &bih = vih.bmiHeader;
    layout.lumaStride = bih.biWidth;
    layout.chromaStride = bih.biWidth / 2;
    layout.lumaPlaneRows = bih.biHeight < 0 ? -LONGLONG{bih.biHeight} : LONGLONG{bih.biHeight};
    layout.rgbStride = ((LONGLONG{bih.biBitCount} * bih.biWidth + 31) & ~LONGLONG{31}) / 8;
    return layout;
}

LONGLONG FrameCopyExtent(const MyFrameLayout &layout, LONG formatId)
{
    const LONGLONG width = layout.copyWidth;
    const LONGLONG height = layout.copyHeight;
    if (IsPlanarFormat(formatId)) {
        const LONGLONG luma = RowsExtent(0, height, width, layout.lumaStride);
        const PlanarPlaces places = ChromaPlaces(layout);
        const LONGLONG chromaRow = ChromaCopyWidth(layout);
        const LONGLONG chromaRows = ChromaCopyRows(layout);
        const LONGLONG first = RowsExtent(places.firstChroma, chromaRows, chromaRow, layout.chromaStride);
        const LONGLONG second = RowsExtent(places.secondChroma, chromaRows, chromaRow, layout.chromaStride);
        if (luma < 0 || first < 0 || second < 0 || places.firstChroma < 0) return -1;
        // The chroma planes follow the luma plane; one that starts inside it
        // would overwrite luma rows.
        if (places.firstChroma < luma) return -1;
        return std::max({luma, first, second});
    }
    if (IsRGBFormat(formatId)) return RowsExtent(0, height, width * DestPixelBytes(layout, formatId), layout.rgbStride);
    return 0;
}

HRESULT CopyFrame(const MyFrameLayout &layout, const CMyOutputData &picture, BYTE *pDest, LONG cbDest)
{
    const LONG formatId = picture.GetFormat();
    const LONGLONG extent = FrameCopyExtent(layout, formatId);
    if (extent < 0 || extent > cbDest || !pDest) return VFW_E_BUFFER_OVERFLOW;
    const LONGLONG width = layout.copyWidth;
    const LONGLONG height = layout.copyHeight;

    // Source rows are read at the length the decoder wrote them, the
    // picture's own width, whatever part of them is copied.
    const LONGLONG sourceWidth = picture.GetWidth();
    const LONGLONG sourceHeight = picture.GetHeight();

    if (IsPlanarFormat(formatId)) {
        const auto *pYUV = dynamic_cast<const CMyYUVBuffer *>(&picture);
        const LONGLONG chromaRow = ChromaCopyWidth(layout);
        const LONGLONG chromaRows = ChromaCopyRows(layout);
        const LONGLONG sourceChromaRow = (sourceWidth + 1) / 2;
        const LONGLONG sourceChromaSize = sourceChromaRow * ((sourceHeight + 1) / 2);
        if (!pYUV || pYUV->GetYSize() < sourceWidth * sourceHeight || pYUV->GetUSize() < sourceChromaSize ||
            pYUV->GetVSize() < sourceChromaSize)
            return VFW_E_BUFFER_OVERFLOW;
        // YV12 carries V before U, IYUV U before V.
        const bool yv12 = formatId == AVCD_PARAM_OUTPUT_FORMAT_ID_YV12;
        const BYTE *pFirst = yv12 ? pYUV->GetV() : pYUV->GetU();
        const BYTE *pSecond = yv12 ? pYUV->GetU() : pYUV->GetV();
        const PlanarPlaces places = ChromaPlaces(layout);
        CopyRows(pYUV->GetY(), sourceWidth, pDest, layout.lumaStride, height, width);
        CopyRows(pFirst, sourceChromaRow, pDest + places.firstChroma, layout.chromaStride, chromaRows, chromaRow);
        CopyRows(pSecond, sourceChromaRow, pDest + places.secondChroma, layout.chromaStride, chromaRows, chromaRow);
        return S_OK;
    }
    if (!IsRGBFormat(formatId)) return S_OK;

    const LONGLONG sourceRow = sourceWidth * SourcePixelBytes(formatId);
    if (LONGLONG{picture.GetPixels().GetSize()} < sourceRow * sourceHeight) return VFW_E_BUFFER_OVERFLOW;
    const BYTE *pSource = picture.GetPixels().GetData();
    if (DestPixelBytes(layout, formatId) == 4 && SourcePixelBytes(formatId) == 3) {
        for (LONGLONG row = 0; row < height; ++row) {
            RepackRGB24ToRGB32(pSource + row * sourceRow, pDest + row * layout.rgbStride, static_cast<DWORD>(width));
        }
        return S_OK;
    }
    CopyRows(pSource, sourceRow, pDest, layout.rgbStride, height, width * SourcePixelBytes(formatId));
    return S_OK;
}

void RepackRGB24ToRGB32(const BYTE *pSource, BYTE *pDest, DWORD pixels)
{
    DWORD done = 0;
    // Four pixels at a time: three source words become four destination words.
    for (; done + 4 <= pixels; done += 4) {
        uint32_t w[3];
        std::memcpy(w, pSource + done * 3, sizeof(w));
        const uint32_t p[4] = {w[0] & 0xFFFFFF, (w[0] >> 24) | ((w[1] & 0xFFFF) << 8),
                               (w[1] >> 16) | ((w[2] & 0xFF) << 16), w[2] >> 8};
        std::memcpy(pDest + done * 4, p, sizeof(p));
    }
    for (; done < pixels; ++done) {
        const BYTE *s = pSource + done * 3;
        BYTE *d = pDest + done * 4;
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = 0;
    }
}

// Copying a decoded picture record into an output sample laid out as the
// output media type says: planar rows at the type's strides (Y, V, U for
// YV12 and Y, U, V for IYUV), RGB rows at the padded DIB stride, and 24-bit
// full-range pixels widened to 32 bits for RGB32. Only the rows and the
// width both sides have are copied; nothing is written past the sample.
#pragma once

#include "H264DecodeFilter/MyOutputData.h"

#include <streams.h>

struct MyFrameLayout {
    GUID subtype{};
    LONGLONG copyWidth = 0;  // pixels copied per row
    LONGLONG copyHeight = 0; // rows copied
    // Planar: luma and chroma row strides, and the rows of the luma plane,
    // which place the chroma planes. RGB: the row stride.
    LONGLONG lumaStride = 0;
    LONGLONG chromaStride = 0;
    LONGLONG lumaPlaneRows = 0;
    LONGLONG rgbStride = 0;
};

// The layout of the picture in an output sample of type pmt (which holds a
// whole VIDEOINFOHEADER). The copy size is the smaller of the type's visible
// size and the picture's size.
MyFrameLayout GetFrameLayout(const CMediaType &mt, const CMyOutputData &picture);

// The bytes past the start of the sample that the copy writes to; -1 when
// the layout cannot be written without rows overlapping (a stride shorter
// than the row, or negative).
LONGLONG FrameCopyExtent(const MyFrameLayout &layout, LONG formatId);

// Copies the picture into pDest of cbDest bytes. VFW_E_BUFFER_OVERFLOW when
// the sample cannot hold the copy or the picture holds fewer bytes than it
// reads; S_OK otherwise (also for formats that copy nothing).
HRESULT CopyFrame(const MyFrameLayout &layout, const CMyOutputData &picture, BYTE *pDest, LONG cbDest);

// One row of 24-bit pixels into 32-bit pixels, the fourth byte 0.
void RepackRGB24ToRGB32(const BYTE *pSource, BYTE *pDest, DWORD pixels);

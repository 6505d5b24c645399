// The media type rules of the decode filter, free of filter state: which
// input it takes, which output subtypes it offers (IYUV only when asked),
// the shape an output type must have, which decoder output formats fit
// which subtype, and the output types it proposes with their sizes.
#pragma once

#include <streams.h>

// The number of output subtypes offered: 3, or 4 with IYUV.
int OfferedOutputSubtypeCount(bool iyuv);
// The position-th offered subtype (YV12, RGB32, RGB24, IYUV), or null.
const GUID *OfferedOutputSubtype(int position, bool iyuv);
bool IsOfferedOutputSubtype(const GUID &subtype, bool iyuv);

// Video, 'avc1', FORMAT_VideoInfo with a whole VIDEOINFOHEADER, biCompression 'avc1'.
bool IsAcceptedInputType(const CMediaType *pmt);
// Major type, offered subtype, FORMAT_VideoInfo with a whole
// VIDEOINFOHEADER, equal rectangles at the origin, a known compression and,
// for RGB, top-down rows. Sizes are not looked at.
bool IsAcceptedOutputShape(const CMediaType *pmt, bool iyuv);
// True when pictures of the decoder output format id can be copied into
// the subtype: YV12 1, IYUV 0, RGB32 5 or 7, RGB24 6 or 7.
bool OutputSubtypeFitsFormat(const GUID &subtype, LONG formatId);

// Names used in trace lines.
const char *OutputSubtypeName(const GUID &subtype);
const char *DecoderOutputFormatName(LONG formatId);

// The picture size an output type describes: rcTarget when it is not
// empty, else biWidth and the magnitude of biHeight. The type must hold a
// whole VIDEOINFOHEADER.
void GetOutputVisibleSize(const VIDEOINFOHEADER &vih, LONGLONG *pWidth, LONGLONG *pHeight);

// The stream figures the proposed output types carry.
struct DecodeStreamFigures {
    DWORD width = 0;  // pixels, after scaling
    DWORD height = 0; // pixels, after scaling
    DWORD timeScale = 0;
    DWORD duration = 0;
    DWORD sampleCount = 0;
};

// The bytes of one picture of the subtype at the size: planar 4:2:0 with
// rows padded to 4 bytes and an even number of rows, RGB32 unpadded, RGB24 padded to 4 bytes. False
// when it does not fit a sample's 32-bit signed size.
bool OutputSampleSize(const GUID &subtype, DWORD width, DWORD height, DWORD *pSize);
// Fills pmt with the proposed output type of the subtype. E_FAIL when the
// picture is too large for a sample, E_OUTOFMEMORY.
HRESULT BuildOutputMediaType(CMediaType *pmt, const GUID &subtype, const DecodeStreamFigures &figures);

// Video format blocks: VIDEOINFOHEADER (88 bytes) and VIDEOINFO, with the
// SDK's helper macros for bitmap sizes.
#pragma once

#include <cstddef>

#include "strmif.h"
#include "wingdi.h"

typedef struct tagVIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
} VIDEOINFOHEADER;

#define iPALETTE_COLORS 256
#define iMASK_COLORS 3

typedef struct {
    RGBQUAD bmiColors[iPALETTE_COLORS];
    DWORD dwBitMasks[iMASK_COLORS];
} TRUECOLORINFO;

typedef struct tagVIDEOINFO {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
    union {
        RGBQUAD bmiColors[iPALETTE_COLORS];
        DWORD dwBitMasks[iMASK_COLORS];
        TRUECOLORINFO TrueColorInfo;
    };
} VIDEOINFO;

static_assert(sizeof(VIDEOINFOHEADER) == 88, "VIDEOINFOHEADER layout");
static_assert(offsetof(VIDEOINFOHEADER, AvgTimePerFrame) == 40 && offsetof(VIDEOINFOHEADER, bmiHeader) == 48,
              "VIDEOINFOHEADER layout");
static_assert(offsetof(VIDEOINFO, bmiColors) == 88 && sizeof(TRUECOLORINFO) == 1036, "VIDEOINFO layout");

#define WIDTHBYTES(bits) ((DWORD)(((bits) + 31) & (~31)) / 8)
#define DIBWIDTHBYTES(bi) (DWORD) WIDTHBYTES((DWORD)(bi).biWidth *(DWORD)(bi).biBitCount)
#define _DIBSIZE(bi) (DIBWIDTHBYTES(bi) * (DWORD)(bi).biHeight)
#define DIBSIZE(bi) ((bi).biHeight < 0 ? (-1) * (_DIBSIZE(bi)) : _DIBSIZE(bi))

#define SIZE_EGA_PALETTE (16 * sizeof(RGBQUAD))
#define SIZE_PALETTE (iPALETTE_COLORS * sizeof(RGBQUAD))
#define SIZE_MASKS (iMASK_COLORS * sizeof(DWORD))
#define SIZE_PREHEADER (offsetof(VIDEOINFOHEADER, bmiHeader))
#define SIZE_VIDEOHEADER (sizeof(BITMAPINFOHEADER) + SIZE_PREHEADER)

#define HEADER(pVideoInfo) (&(((VIDEOINFOHEADER *)(pVideoInfo))->bmiHeader))
#define BIT_MASKS_MATCH(pbmi1, pbmi2)                                                                                  \
    (std::memcmp(((VIDEOINFO *)(pbmi1))->dwBitMasks, ((VIDEOINFO *)(pbmi2))->dwBitMasks, SIZE_MASKS) == 0)

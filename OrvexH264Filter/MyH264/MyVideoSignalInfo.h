// The video signal description a picture is to be shown with: the five VUI
// values that say how to turn the decoded samples into colours. Taken from
// the SPS's VUI, else from the sample description's 'colr' and 'gama'
// extensions, else the values H.264 gives these fields when absent.
#pragma once

#include <windows.h>

class CMyH264SPS;
class CMyImageDescription;

struct CMyVideoSignalInfo {
    LONG m_video_format = 5; // unspecified
    LONG m_video_full_range_flag = 0;
    LONG m_colour_primaries = 2; // unspecified
    LONG m_transfer_characteristics = 2;
    LONG m_matrix_coefficients = 2;
};

// Either argument may be null.
CMyVideoSignalInfo GetVideoSignalInfo(const CMyH264SPS *pSPS, const CMyImageDescription *pDescription);

// Applies a sample description's 'colr' and 'gama' extension atoms (each
// pointing at the atom's size field, or null) to info: 'colr' gives the
// primaries, transfer and matrix; a gamma of exactly 2.2 gives transfer 4.
// An atom too short for the value read from it changes nothing.
void ApplyColourExtensions(CMyVideoSignalInfo &info, const BYTE *pColr, const BYTE *pGama);

// Writes info as five trace lines.
void TraceVideoSignalInfo(const CMyVideoSignalInfo &info);

#include "MyH264/MyVideoSignalInfo.h"

#include "common/MyTrace.h"

namespace {

constexpr DWORD kGamma22 = 0x00023333; // 2.2 in 16.16 fixed point
constexpr LONG kTransferGamma22 = 4;   // transfer_characteristics: gamma 2.2 curve

DWORD ReadU32(const BYTE *p)
{
    return (DWORD{p[0]} << 24) | (DWORD{p[1]} << 16) | (DWORD{p[2]} << 8) | p[3];
}

LONG ReadU16(const BYTE *p)
{
    return static_cast<LONG>((p[0] << 8) | p[1]);
}

} // namespace

void ApplyColourExtensions(CMyVideoSignalInfo &info, const BYTE *pColr, const BYTE *pGama)
{
    // 'colr': size, type, colour parameter type, then primaries, transfer
    // and matrix as 16-bit values.
    if (pColr && ReadU32(pColr) >= 18) {
        info.m_colour_primaries = ReadU16(pColr + 12);
        info.m_transfer_characteristics = ReadU16(pColr + 14);
        info.m_matrix_coefficients = ReadU16(pColr + 16);
    }
    // 'gama': size, type, then the gamma in 16.16 fixed point.
    if (pGama && ReadU32(pGama) >= 12 && ReadU32(pGama + 8) == kGamma22) {
        info.m_transfer_characteristics = kTransferGamma22;
    }
}

void TraceVideoSignalInfo(const CMyVideoSignalInfo &info)
{
    static const char *const kFormats[] = {"Component", "PAL", "NTSC", "SECAM", "MAC", "Unspecified"};
    if (info.m_video_format >= 0 && info.m_video_format <= 5)
        MyTrace("video_format : %s \n", kFormats[info.m_video_format]);
    else
        MyTrace("video_format : Unknown video format %d \n", static_cast<int>(info.m_video_format));
    MyTrace(info.m_video_full_range_flag ? "video_full_range_flag : ON \n" : "video_full_range_flag : off \n");
    MyTrace("colour_primaries : %d \n", static_cast<int>(info.m_colour_primaries));
    MyTrace("transfer_characteristics : %d \n", static_cast<int>(info.m_transfer_characteristics));
    MyTrace("matrix_coefficients : %d \n", static_cast<int>(info.m_matrix_coefficients));
}

// FOURCCMap: the media subtype GUID of a four-character code,
// {XXXXXXXX-0000-0010-8000-00AA00389B71} with the code as first field.
#pragma once

#include <windows.h>

#include <mmreg.h>

#include "combase.h"

class FOURCCMap : public GUID {
public:
    FOURCCMap() { SetFOURCC(DWORD(0)); }
    FOURCCMap(DWORD Fourcc) { SetFOURCC(Fourcc); }
    FOURCCMap(const GUID *pGuid) { SetFOURCC(pGuid); }

    DWORD GetFOURCC() const { return Data1; }
    void SetFOURCC(DWORD fourcc)
    {
        Data1 = fourcc;
        Data2 = 0x0000;
        Data3 = 0x0010;
        static const BYTE kData4[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        for (int i = 0; i < 8; i++)
            Data4[i] = kData4[i];
    }
    void SetFOURCC(const GUID *pGuid) { *static_cast<GUID *>(this) = *pGuid; }
};

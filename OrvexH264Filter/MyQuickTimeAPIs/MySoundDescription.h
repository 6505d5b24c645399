// An owned, host-order copy of one sound description of a sound media. The
// copy is at least 52 bytes long and reads as zero beyond the entry's end.
// Only versions 0 and 1 are served.
#pragma once

#include <windows.h>

#include "MyQuickTimeAPIs/MyQTHandle.h"
#include "MyQuickTimeAPIs/MyQTMedia.h"

class CMySoundDescription {
public:
    // Copies description index (1-based) of media; throws what
    // GetMediaSampleDescription throws, and a version-2 description throws the
    // bare value CMyQTException::kSoundDescriptionVersion2.
    CMySoundDescription(const CMyQTMedia *media, LONG index);
    CMySoundDescription(const CMySoundDescription &) = delete;
    CMySoundDescription &operator=(const CMySoundDescription &) = delete;

    const CMyQTHandle *GetHandle() const { return m_handle.get(); }
    DWORD GetDataFormat() const;
    SHORT GetVersion() const;
    // Version 0: channels × (sample size ÷ 8); version 1: the bytes-per-frame field.
    LONG GetBytesPerFrame() const;
    // Integer part of the 16.16 sample rate.
    WORD GetSampleRate() const;
    SHORT GetNumberOfChannels() const;
    // Bits per sample.
    WORD GetSampleSize() const;

private:
    CMyQTHandlePtr m_handle;
};

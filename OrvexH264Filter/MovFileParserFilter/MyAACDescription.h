// The AAC view of a sound media's description 1: an 'mp4a' description that
// carries an 'esds' atom among its extension atoms, directly or inside
// (nested) 'wave' atoms. Its figures and the elementary stream descriptor
// make the AAC format block.
#pragma once

#include "MyQuickTimeAPIs/MyQTHandle.h"

#include <windows.h>

class CMyQTMedia;

class CMyAACDescription {
public:
    // Throws the text "Not AAC media" when the description is not of that
    // kind, and what the reading layer throws when it cannot be copied.
    explicit CMyAACDescription(const CMyQTMedia *media);
    CMyAACDescription(const CMyAACDescription &) = delete;
    CMyAACDescription &operator=(const CMyAACDescription &) = delete;

    WORD GetNumberOfChannels() const;
    WORD GetSampleSize() const;
    // 16.16 fixed point.
    DWORD GetSampleRate() const;
    // The 'esds' contents after its header and version-and-flags word.
    DWORD GetConfigurationSize() const;
    const BYTE *GetConfiguration() const;

    static constexpr const char kNotAACMedia[] = "Not AAC media";

private:
    CMyQTHandlePtr m_description;
    const BYTE *m_esds = nullptr;
};

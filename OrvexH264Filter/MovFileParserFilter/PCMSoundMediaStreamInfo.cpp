#include "MovFileParserFilter/PCMSoundMediaStreamInfo.h"

#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MySoundDescription.h"

#include <mmreg.h>
#include <uuids.h>

#include <new>

CPCMSoundMediaStreamInfo::~CPCMSoundMediaStreamInfo() = default;

void CPCMSoundMediaStreamInfo::BuildMediaType(const CMyQTMedia *media)
{
    BuildPCMMediaType(media, &m_mediaType);
}

void BuildPCMMediaType(const CMyQTMedia *media, CMediaType *mediaType)
{
    const CMySoundDescription description(media, 1);
    const WORD channels = WORD(description.GetNumberOfChannels());
    const LONG bytesPerFrame = description.GetBytesPerFrame();
    const WORD blockAlign = WORD(bytesPerFrame);
    if (channels == 0 || bytesPerFrame <= 0 || blockAlign == 0)
        throw CMyQTException(CMyQTException::kUnsupportedDescription);

    WAVEFORMATEX wfx = {};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = channels;
    wfx.nSamplesPerSec = description.GetSampleRate();
    wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * blockAlign;
    wfx.nBlockAlign = blockAlign;
    wfx.wBitsPerSample = WORD(bytesPerFrame / channels * 8);
    wfx.cbSize = 0;

    mediaType->SetType(&MEDIATYPE_Audio);
    mediaType->SetSubtype(&MEDIASUBTYPE_PCM);
    mediaType->SetTemporalCompression(FALSE);
    mediaType->SetFormatType(&FORMAT_WaveFormatEx);
    if (!mediaType->SetFormat(reinterpret_cast<BYTE *>(&wfx), sizeof(wfx))) throw std::bad_alloc();
}

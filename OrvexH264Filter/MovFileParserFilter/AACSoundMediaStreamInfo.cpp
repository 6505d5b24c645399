#include "MovFileParserFilter/AACSoundMediaStreamInfo.h"

#include "MovFileParserFilter/MovParserMediaTypes.h"
#include "MovFileParserFilter/MyAACDescription.h"
#include "MyQuickTimeAPIs/MySoundDescription.h"

#include <uuids.h>

#include <cstring>
#include <memory>
#include <new>

CAACSoundMediaStreamInfo::~CAACSoundMediaStreamInfo() = default;

void CAACSoundMediaStreamInfo::BuildMediaType(const CMyQTMedia *media)
{
    // Only its version matters here: version 2 is not served.
    const CMySoundDescription description(media, 1);

    m_mediaType.SetType(&MEDIATYPE_Audio);
    m_mediaType.SetSubtype(&MEDIASUBTYPE_MovParserAAC);
    m_mediaType.SetVariableSize();
    m_mediaType.SetTemporalCompression(FALSE);
    m_mediaType.SetFormatType(&FORMAT_MovParserAACConfig);

    const CMyAACDescription aac(media);
    MovParserAACConfigHeader header;
    header.nChannels = aac.GetNumberOfChannels();
    header.wBitsPerSample = aac.GetSampleSize();
    header.dwSampleRate = aac.GetSampleRate();
    header.cbConfig = aac.GetConfigurationSize();
    const ULONG length = ULONG(sizeof(header) + header.cbConfig);
    auto block = std::make_unique<BYTE[]>(length);
    std::memcpy(block.get(), &header, sizeof(header));
    std::memcpy(block.get() + sizeof(header), aac.GetConfiguration(), header.cbConfig);
    if (!m_mediaType.SetFormat(block.get(), length)) throw std::bad_alloc();
}

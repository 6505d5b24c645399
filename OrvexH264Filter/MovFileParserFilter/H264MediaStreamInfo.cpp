#include "MovFileParserFilter/H264MediaStreamInfo.h"

#include "MyH264/MyAVCSampleEntry.h"

CH264MediaStreamInfo::CH264MediaStreamInfo(const CMyQTMedia *media, ULONGLONG lastMediaByte)
    : m_pAVCConfiguration(CreateAVCConfiguration(media))
{
    Init(media, lastMediaByte);
}

CH264MediaStreamInfo::~CH264MediaStreamInfo() = default;

void CH264MediaStreamInfo::BuildMediaType(const CMyQTMedia *media)
{
    BuildVideoMediaType(media, TRUE);
}

// The H.264 sample entry of a track: an 'avc1' image description carrying an
// acceptable AVC configuration record, in a track without composition time
// offsets. Neither function lets an exception out.
#pragma once

#include "MyH264/MyAVCConfiguration.h"

#include <memory>

class CMyQTMedia;

// The configuration record of the media's only sample description, or null
// when the media is not served as H.264 video.
std::unique_ptr<CMyAVCConfiguration> CreateAVCConfiguration(const CMyQTMedia *media);

// True if CreateAVCConfiguration would give a record. With pConfiguration, it
// is emptied first and receives the record on success.
bool CheckAVCSampleEntry(const CMyQTMedia *media, std::unique_ptr<CMyAVCConfiguration> *pConfiguration = nullptr);

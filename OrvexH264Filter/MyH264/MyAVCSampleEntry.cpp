#include "MyH264/MyAVCSampleEntry.h"

#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTDescriptionLayouts.h"
#include "MyQuickTimeAPIs/MyQTHandle.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"
#include "common/MyTrace.h"

#include <cstring>

namespace {

std::unique_ptr<CMyAVCConfiguration> FindConfiguration(const CMyQTMedia *media)
{
    if (GetMediaSampleDescriptionCount(media) != 1) return nullptr;

    CMyQTHandlePtr description(NewHandle(0));
    GetMediaSampleDescription(media, 1, description.get());
    const DWORD size = GetHandleSize(description.get());
    const BYTE *data = description->GetData();
    if (size < kMyQTImageDescriptionSize) return nullptr;
    DWORD dataFormat = 0; // host order in the copy
    std::memcpy(&dataFormat, data + offsetof(MyQTSampleDescriptionHead, dataFormat), sizeof dataFormat);
    if (dataFormat != MyQTFourCC("avc1")) return nullptr;

    // Display order must be decode order: the decode path has no reordering.
    if (MediaHasCompositionTimes(media)) {
        MyTrace("Has 'ctts' atom \n");
        return nullptr;
    }

    // Extension atoms, big-endian, up to the end of the copy.
    DWORD position = kMyQTImageDescriptionSize;
    while (size - position > kMyQTAtomHeaderSize) {
        const DWORD atomSize = MyQTReadBE32(data + position);
        const DWORD atomType = MyQTReadBE32(data + position + 4);
        // A size below the header's own cannot be stepped over soundly.
        if (atomSize < kMyQTAtomHeaderSize) return nullptr;
        if (atomType == CMyAVCConfiguration::kAVCConfigurationAtom)
            return std::make_unique<CMyAVCConfiguration>(data + position, size - position);
        if (atomSize > size - position) return nullptr;
        position += atomSize;
    }
    return nullptr;
}

} // namespace

std::unique_ptr<CMyAVCConfiguration> CreateAVCConfiguration(const CMyQTMedia *media)
{
    try {
        return FindConfiguration(media);
    } catch (...) {
        // A refused record, a malformed description or a failed allocation:
        // the track is simply not served as H.264 video.
        return nullptr;
    }
}

bool CheckAVCSampleEntry(const CMyQTMedia *media, std::unique_ptr<CMyAVCConfiguration> *pConfiguration)
{
    if (pConfiguration) pConfiguration->reset();
    std::unique_ptr<CMyAVCConfiguration> configuration = CreateAVCConfiguration(media);
    const bool served = configuration != nullptr;
    if (pConfiguration) *pConfiguration = std::move(configuration);
    return served;
}

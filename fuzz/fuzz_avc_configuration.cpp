// Feeds arbitrary bytes to CMyAVCConfiguration as an 'avcC' atom. The input is
// copied into a buffer of exactly its size so that any read behind it is
// caught; accepted records are then asked for everything the decode path
// asks of them.
#include "MyH264/MyAVCConfiguration.h"
#include "MyH264/MyVideoSignalInfo.h"

#include <orvexdebug.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

void DiscardLine(const char *, void *) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Refusals trace a line; keep them off the system log.
    OrvexSetDebugListener(&DiscardLine, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 0xFFFFFFFFu) return 0;
    std::unique_ptr<BYTE[]> copy(new BYTE[size]);
    if (size) std::memcpy(copy.get(), data, size);
    try {
        CMyAVCConfiguration record(copy.get(), static_cast<DWORD>(size));
        const CMyH264SPS &sps = record.GetSPS();
        DWORD width = 0, height = 0;
        BOOL cropping = FALSE;
        RECT crop{};
        sps.GetPictureRect(&width, &height, &cropping, &crop);
        // An accepted set always leaves a picture to show.
        if (crop.left < 0 || crop.top < 0 || crop.right <= crop.left || crop.bottom <= crop.top ||
            crop.right > static_cast<LONG>(width) || crop.bottom > static_cast<LONG>(height))
            __builtin_trap();
        const CMyVideoSignalInfo info = GetVideoSignalInfo(&sps, nullptr);
        TraceVideoSignalInfo(info);
    } catch (const char *) {
        // A refusal: the expected outcome for most inputs.
    }
    return 0;
}

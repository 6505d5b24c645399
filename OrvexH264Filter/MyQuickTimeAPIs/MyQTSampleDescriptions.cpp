#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"

#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTDescriptionLayouts.h"
#include "MyQuickTimeAPIs/MyQTException.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace {

constexpr DWORD kStsdCount = 12;
constexpr DWORD kStsdEntries = 16;

const BYTE *RequireSampleDescriptions(const CMyQTMedia *media)
{
    if (!media) throw CMyQTException(CMyQTException::kMissingAtom);
    if (!media->GetSampleDescriptions()) throw CMyQTException(CMyQTException::kNoSampleDescriptions);
    return media->GetSampleDescriptions();
}

// Converts the big-endian fields of a copy in place; a field that does not lie
// wholly inside the entry reads as zero.
class FieldConverter {
public:
    FieldConverter(BYTE *copy, DWORD size) : m_copy(copy), m_size(size) {}

    void Swap(DWORD offset, DWORD width)
    {
        if (offset >= m_size) return;
        if (offset + width > m_size) {
            // A field cut by the entry's end reads as zero, like the fields beyond it.
            std::memset(m_copy + offset, 0, m_size - offset);
            return;
        }
        if constexpr (std::endian::native == std::endian::big) return;
        std::reverse(m_copy + offset, m_copy + offset + width);
    }
    // Consecutive fields of the given widths from offset on.
    void SwapRun(DWORD offset, std::initializer_list<DWORD> widths)
    {
        for (DWORD width : widths) {
            Swap(offset, width);
            offset += width;
        }
    }
    SHORT Version() const
    {
        if (m_size < 18) return 0;
        return SHORT(MyQTReadBE16(m_copy + 16));
    }

private:
    BYTE *m_copy;
    DWORD m_size;
};

void ConvertHead(FieldConverter &fields)
{
    fields.SwapRun(0, {4, 4, 4, 2, 2});
}

void ConvertImageDescription(FieldConverter &fields)
{
    ConvertHead(fields);
    // version .. height, resolutions, data size, frame count; the name (50..81) stays.
    fields.SwapRun(16, {2, 2, 4, 4, 4, 2, 2, 4, 4, 4, 2});
    fields.SwapRun(82, {2, 2});
}

void ConvertSoundDescription(FieldConverter &fields)
{
    SHORT version = fields.Version();
    ConvertHead(fields);
    fields.SwapRun(16, {2, 2, 4});
    switch (version) {
    case 0:
        fields.SwapRun(24, {2, 2, 2, 2, 4});
        break;
    case 1:
        fields.SwapRun(24, {2, 2, 2, 2, 4, 4, 4, 4, 4});
        break;
    case 2:
        fields.SwapRun(24, {2, 2, 2, 2, 4, 4});
        fields.Swap(40, 8); // the sample rate, an IEEE double
        fields.SwapRun(48, {4, 4, 4, 4, 4, 4});
        break;
    default:
        throw CMyQTException(CMyQTException::kUnsupportedDescription);
    }
}

} // namespace

LONG GetMediaSampleDescriptionCount(const CMyQTMedia *media)
{
    LONG count = LONG(MyQTAtomReadBE32(RequireSampleDescriptions(media), kStsdCount));
    if (count < 0) throw CMyQTException(CMyQTException::kBadSampleDescriptionCount);
    return count;
}

void GetMediaSampleDescription(const CMyQTMedia *media, LONG index, CMyQTHandle *handle)
{
    const BYTE *stsd = RequireSampleDescriptions(media);
    if (index < 1 || index > GetMediaSampleDescriptionCount(media)) throw CMyQTException(CMyQTException::kBadArgument);

    // Walk by the entries' size fields; each entry must lie inside 'stsd'.
    ULONGLONG stsdSize = MyQTAtomSize(stsd);
    ULONGLONG offset = kStsdEntries;
    DWORD entrySize = 0;
    for (LONG k = 1;; ++k) {
        if (offset + 4 > stsdSize) throw CMyQTException(CMyQTException::kOutsideAtom);
        entrySize = MyQTReadBE32(stsd + offset);
        if (entrySize < kMyQTAtomHeaderSize || offset + entrySize > stsdSize)
            throw CMyQTException(CMyQTException::kOutsideAtom);
        if (k == index) break;
        offset += entrySize;
    }

    // The block is cleared first, so fields beyond a short entry read as zero.
    SetHandleSize(handle, std::max(entrySize, kMyQTImageDescriptionSize));
    std::memset(handle->GetData(), 0, handle->GetCapacity());
    std::memcpy(handle->GetData(), stsd + offset, entrySize);
    SetHandleSize(handle, entrySize);

    DWORD mediaType = 0;
    GetMediaHandlerDescription(media, &mediaType, nullptr, nullptr);
    FieldConverter fields(handle->GetData(), entrySize);
    switch (mediaType) {
    case MyQTFourCC("vide"):
        ConvertImageDescription(fields);
        break;
    case MyQTFourCC("soun"):
        ConvertSoundDescription(fields);
        break;
    case MyQTFourCC("text"):
        ConvertHead(fields);
        break;
    default:
        throw CMyQTException(CMyQTException::kUnsupportedDescription);
    }
}

#include "MovFileParserFilter/MyAACDescription.h"

#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTDescriptionLayouts.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"
#include "common/MyTrace.h"

#include <cstddef>
#include <cstring>

namespace {

// The 'esds' header and its version-and-flags word.
constexpr DWORD kEsdsHeaderSize = 12;
// 'wave' atoms nested deeper than this are not searched; QuickTime writes one.
constexpr int kMaxWaveDepth = 8;

template <typename T> T ReadHostField(const CMyQTHandle *handle, size_t offset)
{
    T value;
    std::memcpy(&value, handle->GetData() + offset, sizeof(value));
    return value;
}

// The 'esds' among the atoms in [begin, begin + length), or null. An atom
// whose size is below 8 or runs past what remains ends the walk, so nothing
// outside the range is read.
const BYTE *FindEsds(const BYTE *begin, DWORD length, int depth)
{
    const BYTE *p = begin;
    DWORD remaining = length;
    while (remaining >= kMyQTAtomHeaderSize) {
        const DWORD size = MyQTAtomSize(p);
        if (size < kMyQTAtomHeaderSize || size > remaining) return nullptr;
        const DWORD type = MyQTAtomType(p);
        if (type == MyQTFourCC("esds")) return size >= kEsdsHeaderSize ? p : nullptr;
        if (type == MyQTFourCC("wave") && depth < kMaxWaveDepth) {
            if (const BYTE *found = FindEsds(p + kMyQTAtomHeaderSize, size - kMyQTAtomHeaderSize, depth + 1))
                return found;
        }
        p += size;
        remaining -= size;
    }
    return nullptr;
}

// Where the extension atoms start, by description version.
DWORD ExtensionStart(SHORT version)
{
    switch (version) {
    case 0:
        return kMyQTSoundDescriptionV0Size;
    case 1:
        return kMyQTSoundDescriptionV1Size;
    default:
        return kMyQTSoundDescriptionV2Size;
    }
}

} // namespace

CMyAACDescription::CMyAACDescription(const CMyQTMedia *media) : m_description(NewHandle(kMyQTSoundDescriptionV0Size))
{
    GetMediaSampleDescription(media, 1, m_description.get());
    const DWORD size = GetHandleSize(m_description.get());
    if (size < kMyQTSoundDescriptionV0Size) {
        MyTrace("Size of SampleDescriptions %ld < sizeof(SoundDescription). \n", long(size));
        throw kNotAACMedia;
    }
    const CMyQTHandle *copy = m_description.get();
    if (ReadHostField<DWORD>(copy, offsetof(MyQTSampleDescriptionHead, dataFormat)) != MyQTFourCC("mp4a"))
        throw kNotAACMedia;
    const DWORD start = ExtensionStart(ReadHostField<SHORT>(copy, offsetof(MyQTSoundDescription, version)));
    if (start < size) m_esds = FindEsds(copy->GetData() + start, size - start, 0);
    if (!m_esds) throw kNotAACMedia;
}

WORD CMyAACDescription::GetNumberOfChannels() const
{
    return ReadHostField<WORD>(m_description.get(), offsetof(MyQTSoundDescription, numChannels));
}

WORD CMyAACDescription::GetSampleSize() const
{
    return ReadHostField<WORD>(m_description.get(), offsetof(MyQTSoundDescription, sampleSize));
}

DWORD CMyAACDescription::GetSampleRate() const
{
    return ReadHostField<DWORD>(m_description.get(), offsetof(MyQTSoundDescription, sampleRate));
}

DWORD CMyAACDescription::GetConfigurationSize() const
{
    return MyQTAtomSize(m_esds) - kEsdsHeaderSize;
}

const BYTE *CMyAACDescription::GetConfiguration() const
{
    return m_esds + kEsdsHeaderSize;
}

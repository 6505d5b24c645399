#include "MyQuickTimeAPIs/MySoundDescription.h"

#include "MyQuickTimeAPIs/MyQTDescriptionLayouts.h"
#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"

#include <cstddef>
#include <cstring>

namespace {

template <typename T> T ReadField(const CMyQTHandle *handle, size_t offset)
{
    // The block holds at least the 52 bytes of a version-1 description.
    T value;
    std::memcpy(&value, handle->GetData() + offset, sizeof(value));
    return value;
}

#define SOUND_FIELD(handle, field)                                                                                     \
    ReadField<decltype(MyQTSoundDescription::field)>(handle, offsetof(MyQTSoundDescription, field))

} // namespace

CMySoundDescription::CMySoundDescription(const CMyQTMedia *media, LONG index)
    : m_handle(NewHandle(kMyQTSoundDescriptionV1Size))
{
    GetMediaSampleDescription(media, index, m_handle.get());
    if (GetVersion() == 2) throw CMyQTException::kSoundDescriptionVersion2;
}

DWORD CMySoundDescription::GetDataFormat() const
{
    return SOUND_FIELD(m_handle.get(), head.dataFormat);
}

SHORT CMySoundDescription::GetVersion() const
{
    return SOUND_FIELD(m_handle.get(), version);
}

LONG CMySoundDescription::GetBytesPerFrame() const
{
    if (GetVersion() == 1) return LONG(SOUND_FIELD(m_handle.get(), bytesPerFrame));
    return LONG(GetNumberOfChannels()) * (GetSampleSize() / 8);
}

WORD CMySoundDescription::GetSampleRate() const
{
    return WORD(SOUND_FIELD(m_handle.get(), sampleRate) >> 16);
}

SHORT CMySoundDescription::GetNumberOfChannels() const
{
    return SHORT(SOUND_FIELD(m_handle.get(), numChannels));
}

WORD CMySoundDescription::GetSampleSize() const
{
    return SOUND_FIELD(m_handle.get(), sampleSize);
}

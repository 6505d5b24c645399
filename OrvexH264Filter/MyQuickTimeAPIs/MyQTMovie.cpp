#include "MyQuickTimeAPIs/MyQTMovie.h"

#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MyQTTrack.h"

CMyQTMovie::CMyQTMovie(std::unique_ptr<BYTE[]> buffer, DWORD bufferSize) : m_buffer(std::move(buffer))
{
    // Every reach of the model is bounded by the movie atom's size field, so
    // that field must describe bytes that are really there.
    if (!m_buffer || bufferSize < kMyQTAtomHeaderSize || MyQTAtomSize(m_buffer.get()) < kMyQTAtomHeaderSize ||
        MyQTAtomSize(m_buffer.get()) > bufferSize)
        throw CMyQTException(CMyQTException::kOutsideAtom);

    CMyQTAtomIterator children(m_buffer.get());
    while (const BYTE *child = children.Next()) {
        DWORD type = MyQTAtomType(child);
        if (type == MyQTFourCC("mvhd"))
            m_movieHeader = child;
        else if (type == MyQTFourCC("trak"))
            m_tracks.push_back(std::make_unique<CMyQTTrack>(child, this));
    }
}

CMyQTMovie::~CMyQTMovie()
{
    // Tracks first: they point into the buffer.
    m_tracks.clear();
}

DWORD CMyQTMovie::GetAtomSize() const
{
    return MyQTAtomSize(m_buffer.get());
}

CMyQTTrack *CMyQTMovie::GetTrack(LONG index) const
{
    if (index < 0 || index >= GetTrackCount()) return nullptr;
    return m_tracks[size_t(index)].get();
}

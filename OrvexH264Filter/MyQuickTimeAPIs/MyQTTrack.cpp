#include "MyQuickTimeAPIs/MyQTTrack.h"

#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTMedia.h"

CMyQTTrack::CMyQTTrack(const BYTE *trackAtom, CMyQTMovie *movie) : m_atom(trackAtom), m_movie(movie)
{
    CMyQTAtomIterator children(trackAtom);
    while (const BYTE *child = children.Next()) {
        DWORD type = MyQTAtomType(child);
        if (type == MyQTFourCC("tkhd")) {
            m_trackHeader = child;
        } else if (type == MyQTFourCC("mdia")) {
            m_media = std::make_unique<CMyQTMedia>(child, this);
        } else if (type == MyQTFourCC("edts")) {
            CMyQTAtomIterator edits(child);
            m_editList = edits.Next();
        }
    }
}

CMyQTTrack::~CMyQTTrack() = default;

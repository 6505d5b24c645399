#include "MyQuickTimeAPIs/MyQTMedia.h"

#include "MyQuickTimeAPIs/MyQTAtom.h"

CMyQTMedia::CMyQTMedia(const BYTE *mediaAtom, CMyQTTrack *track) : m_atom(mediaAtom), m_track(track)
{
    CMyQTAtomIterator children(mediaAtom);
    while (const BYTE *child = children.Next()) {
        DWORD type = MyQTAtomType(child);
        if (type == MyQTFourCC("mdhd"))
            m_mediaHeader = child;
        else if (type == MyQTFourCC("hdlr"))
            m_handler = child;
        else if (type == MyQTFourCC("minf"))
            ReadMediaInformation(child);
    }
}

void CMyQTMedia::ReadMediaInformation(const BYTE *minf)
{
    CMyQTAtomIterator children(minf);
    while (const BYTE *child = children.Next()) {
        DWORD type = MyQTAtomType(child);
        if (type == MyQTFourCC("stbl"))
            ReadSampleTable(child);
        else if (type == MyQTFourCC("dinf"))
            ReadDataInformation(child);
    }
}

void CMyQTMedia::ReadSampleTable(const BYTE *stbl)
{
    CMyQTAtomIterator children(stbl);
    while (const BYTE *child = children.Next()) {
        switch (MyQTAtomType(child)) {
        case MyQTFourCC("stsd"):
            m_sampleDescriptions = child;
            break;
        case MyQTFourCC("stts"):
            m_timeToSample = child;
            break;
        case MyQTFourCC("stss"):
            m_syncSamples = child;
            break;
        case MyQTFourCC("stsc"):
            m_sampleToChunk = child;
            break;
        case MyQTFourCC("stco"):
            m_chunkOffsets = child;
            break;
        case MyQTFourCC("stsz"):
            m_sampleSizes = child;
            break;
        case MyQTFourCC("ctts"):
            m_compositionOffsets = child;
            break;
        default:
            break;
        }
    }
}

void CMyQTMedia::ReadDataInformation(const BYTE *dinf)
{
    CMyQTAtomIterator children(dinf);
    while (const BYTE *child = children.Next())
        if (MyQTAtomType(child) == MyQTFourCC("dref")) m_dataReferences = child;
}

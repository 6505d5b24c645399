// A track's media, built over one 'mdia' atom: pointers to its header, its
// handler and, through 'minf', to its data references and sample tables. Every
// pointer is the start of an atom (header included) inside the movie atom, or
// null when the media has no such atom. When a container holds several
// children of one kind, the last one counts.
#pragma once

#include <windows.h>

class CMyQTTrack;

class CMyQTMedia {
public:
    CMyQTMedia(const BYTE *mediaAtom, CMyQTTrack *track);

    const BYTE *GetAtom() const { return m_atom; }
    CMyQTTrack *GetTrack() const { return m_track; }

    const BYTE *GetMediaHeader() const { return m_mediaHeader; }               // 'mdhd'
    const BYTE *GetHandler() const { return m_handler; }                       // 'hdlr'
    const BYTE *GetDataReferences() const { return m_dataReferences; }         // 'dref'
    const BYTE *GetSampleDescriptions() const { return m_sampleDescriptions; } // 'stsd'
    const BYTE *GetTimeToSample() const { return m_timeToSample; }             // 'stts'
    const BYTE *GetSyncSamples() const { return m_syncSamples; }               // 'stss'
    const BYTE *GetSampleToChunk() const { return m_sampleToChunk; }           // 'stsc'
    const BYTE *GetChunkOffsets() const { return m_chunkOffsets; }             // 'stco'
    const BYTE *GetSampleSizes() const { return m_sampleSizes; }               // 'stsz'
    const BYTE *GetCompositionOffsets() const { return m_compositionOffsets; } // 'ctts'

private:
    void ReadMediaInformation(const BYTE *minf);
    void ReadSampleTable(const BYTE *stbl);
    void ReadDataInformation(const BYTE *dinf);

    const BYTE *m_atom;
    CMyQTTrack *m_track;
    const BYTE *m_mediaHeader = nullptr;
    const BYTE *m_handler = nullptr;
    const BYTE *m_dataReferences = nullptr;
    const BYTE *m_sampleDescriptions = nullptr;
    const BYTE *m_timeToSample = nullptr;
    const BYTE *m_syncSamples = nullptr;
    const BYTE *m_sampleToChunk = nullptr;
    const BYTE *m_chunkOffsets = nullptr;
    const BYTE *m_sampleSizes = nullptr;
    const BYTE *m_compositionOffsets = nullptr;
};

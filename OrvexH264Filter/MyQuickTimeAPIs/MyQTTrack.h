// A track of the movie, built over one 'trak' atom: its header, its media
// (from the last 'mdia' child) and its edit list.
#pragma once

#include <windows.h>

#include <memory>

class CMyQTMovie;
class CMyQTMedia;

class CMyQTTrack {
public:
    CMyQTTrack(const BYTE *trackAtom, CMyQTMovie *movie);
    ~CMyQTTrack();
    CMyQTTrack(const CMyQTTrack &) = delete;
    CMyQTTrack &operator=(const CMyQTTrack &) = delete;

    const BYTE *GetAtom() const { return m_atom; }
    CMyQTMovie *GetMovie() const { return m_movie; }
    // Null for a track without 'mdia'.
    CMyQTMedia *GetMedia() const { return m_media.get(); }
    // The 'tkhd' atom, or null.
    const BYTE *GetTrackHeader() const { return m_trackHeader; }
    // The first child of the last 'edts' (normally 'elst'; its type is not
    // checked here), or null when there is no 'edts' or it has no child.
    const BYTE *GetEditList() const { return m_editList; }

private:
    const BYTE *m_atom;
    CMyQTMovie *m_movie;
    std::unique_ptr<CMyQTMedia> m_media;
    const BYTE *m_trackHeader = nullptr;
    const BYTE *m_editList = nullptr;
};

// The movie: owner of the loaded movie atom ('moov', header included) and of
// one CMyQTTrack per 'trak' child, in file order. Every pointer of the model
// points into the movie atom and dies with the movie.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

class CMyQTTrack;

class CMyQTMovie {
public:
    // Takes the buffer that holds the whole movie atom; bufferSize is its length.
    // The movie atom is the atom at the buffer's start; its size field must lie
    // between 8 and bufferSize, else CMyQTException kOutsideAtom is thrown.
    CMyQTMovie(std::unique_ptr<BYTE[]> buffer, DWORD bufferSize);
    ~CMyQTMovie();
    CMyQTMovie(const CMyQTMovie &) = delete;
    CMyQTMovie &operator=(const CMyQTMovie &) = delete;

    // The movie atom, header included.
    const BYTE *GetAtom() const { return m_buffer.get(); }
    // Its size field.
    DWORD GetAtomSize() const;
    // The 'mvhd' atom, or null.
    const BYTE *GetMovieHeader() const { return m_movieHeader; }
    LONG GetTrackCount() const { return LONG(m_tracks.size()); }
    // 0-based; null outside the range.
    CMyQTTrack *GetTrack(LONG index) const;

private:
    std::unique_ptr<BYTE[]> m_buffer;
    std::vector<std::unique_ptr<CMyQTTrack>> m_tracks;
    const BYTE *m_movieHeader = nullptr;
};

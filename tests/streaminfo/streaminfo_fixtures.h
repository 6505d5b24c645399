// Helpers of the stream info tests: tracks built from sample tables, movies
// over them in memory and in files, the outcome of a call as text, and the
// H.264 parameter sets of the test stream (a real x264 encode).
#pragma once

#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MyQTMedia.h"
#include "MyQuickTimeAPIs/MyQTMovie.h"
#include "support/atom_builder.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvex::test {

// The SPS and PPS of tests/data/movies/stream_176x144_15fps.h264.
const Bytes &testSps();
const Bytes &testPps();

// A video track: one 'avc1' description (176x144 unless given) with the test stream's
// 'avcC', the given time scale and duration, and the tables as given.
qt::TrackAtoms videoTrack(int32_t timeScale, int32_t duration, std::vector<Atom> tables, int16_t width = 176,
                          int16_t height = 144);
// A sound track with one version-0 description.
qt::TrackAtoms soundTrack(const std::string &format, uint16_t channels, uint16_t bits, uint32_t sampleRate,
                          int32_t duration, std::vector<Atom> tables);

// Tables of n samples, one a chunk, each `size` bytes from `firstOffset` on,
// all lasting `duration`.
std::vector<Atom> evenVideoTables(uint32_t n, uint32_t duration, uint32_t size, uint32_t firstOffset);

// A movie over the bytes of a movie atom; its tracks' media stay valid while it lives.
class TestMovie {
public:
    explicit TestMovie(const Atom &moov);
    // The media of track k (1-based).
    const CMyQTMedia *media(int k = 1) const;
    const CMyQTMovie *movie() const { return m_movie.get(); }

private:
    std::unique_ptr<CMyQTMovie> m_movie;
};

// A movie atom with 'mvhd' and one 'trak' per track.
Atom movieAtom(const std::vector<qt::TrackAtoms> &tracks);

// What a call did: "ok", "CMyQTException N", "bare code N", "text: ...".
std::string outcome(const std::function<void()> &call);
std::string qtError(CMyQTException::EExceptionType code);
#define EXPECT_OUTCOME(statement, expected) EXPECT_EQ(::orvex::test::outcome([&] { statement; }), expected)
#define EXPECT_QT_ERROR(statement, code) EXPECT_OUTCOME(statement, ::orvex::test::qtError(CMyQTException::code))

// A temporary folder, removed with its contents.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    std::string path(const std::string &name) const { return m_path + "/" + name; }
    std::string write(const std::string &name, const Bytes &bytes) const;

private:
    std::string m_path;
};

// A movie file: an 'mdat' of mdatBody bytes (its body from file offset 8)
// followed by the movie atom. Returns the file's bytes.
Bytes movieFileBytes(const Atom &moov, const Bytes &mdatBody);
// Offset of the first byte of the 'mdat' body in movieFileBytes.
constexpr uint32_t kMdatBodyOffset = 8;

std::wstring widen(const std::string &text);
std::string dataPath(const std::string &relative);

} // namespace orvex::test

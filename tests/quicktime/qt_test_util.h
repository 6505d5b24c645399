// Helpers of the QuickTime reading tests: movies from built atoms, temporary
// folders, and the outcome of a call as text ("ok", "CMyQTException 24",
// "bare code 26", "text: ...") so that assertions read as what happened.
#pragma once

#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MyQTMovie.h"
#include "support/atom_builder.h"

#include <functional>
#include <memory>
#include <string>

namespace orvex::test {

// A movie over a copy of the bytes of a movie atom.
std::unique_ptr<CMyQTMovie> movieFromBytes(const Bytes &moov);
std::unique_ptr<CMyQTMovie> movieFrom(const Atom &moov);

// A movie atom: 'mvhd' and one 'trak' per track.
Atom movieAtomWith(const std::vector<qt::TrackAtoms> &tracks);

// What a call did: "ok" or what it threw.
std::string outcome(const std::function<void()> &call);
std::string qtError(CMyQTException::EExceptionType code);

#define EXPECT_OUTCOME(statement, expected) EXPECT_EQ(::orvex::test::outcome([&] { statement; }), expected)
#define EXPECT_QT_ERROR(statement, code) EXPECT_OUTCOME(statement, ::orvex::test::qtError(CMyQTException::code))

// A folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string path(const std::string &name) const { return m_path + "/" + name; }
    // Writes bytes to a file in the folder and returns its path.
    std::string write(const std::string &name, const Bytes &bytes) const;

private:
    std::string m_path;
};

std::wstring widen(const std::string &text);

// The path of a file under tests/data.
std::string dataPath(const std::string &relative);

} // namespace orvex::test

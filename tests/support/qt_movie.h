// The QuickTime reading layer over built atoms: a movie over a copy of a
// movie atom's bytes, and what a call did as text, so that a table row can say
// what happened.
#pragma once

#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MyQTMedia.h"
#include "MyQuickTimeAPIs/MyQTMovie.h"
#include "support/atom_builder.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace orvex::test {

std::unique_ptr<CMyQTMovie> movieFrom(const Atom &moov);
// A movie atom: 'mvhd' and one 'trak' per track.
Atom movieAtomWith(const std::vector<qt::TrackAtoms> &tracks);
// The media of track k (1-based).
CMyQTMedia *mediaOf(const std::unique_ptr<CMyQTMovie> &movie, LONG k = 1);

// What a call did: "ok", "E24" for a CMyQTException, "B26" for a bare code, "text: ..." for a message.
std::string outcome(const std::function<void()> &call);
// The text a call returns, or outcome()'s text for its refusal.
std::string answerOf(const std::function<std::string()> &call);

// A four-character code as its four characters.
std::string fourccText(DWORD code);

std::wstring widen(const std::string &text);
// The path of a file under tests/data.
std::string dataPath(const std::string &relative);
// The movies under tests/data/movies that ffmpeg wrote, and their test names (the file name without extension).
std::vector<const char *> realMovies();
std::string movieTestName(const ::testing::TestParamInfo<const char *> &info);

} // namespace orvex::test

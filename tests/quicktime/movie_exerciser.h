// Runs a movie through every question of the QuickTime reading layer, the way
// stream selection and stream infos ask them, for robustness tests and the
// fuzzer. Each question is asked on its own: after a refusal (CMyQTException,
// a bare code or a message text) the walk goes on.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

class CMyQTMovie;

namespace orvex::test {

// Walks every track of the movie. Lookups per track are capped so that a
// hostile table cannot make the walk long.
void exerciseMovie(const CMyQTMovie &movie);

// Builds a movie over a copy of the bytes of a movie atom, decides camera or
// plain and exercises it. Returns "refused: ..." when the bytes are not a
// movie atom at all, else "loaded".
std::string loadAndExercise(const BYTE *bytes, size_t size);

} // namespace orvex::test

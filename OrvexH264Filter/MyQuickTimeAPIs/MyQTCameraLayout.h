// Tells a camera movie from any other by the layout of its movie atom: the
// children 'mvhd', 'trak', 'trak' and a 'udta' whose first child is the tag
// atom (size 20, type 'ORVX', the 12 characters "OrvexAVC0001"), followed by
// nothing or by a 'free' atom (after which nothing is examined).
#pragma once

#include <windows.h>

class CMyQTMovie;

// True for the camera layout, false for a plain movie. Throws a bare message
// text for a movie atom that is not a movie at all: "moov atom size is too
// small" (below 24 bytes), "not mvhd atom found" (first child), "not trak atom
// found" (second child), "atom size error" (a child leaving 1 to 7 bytes
// before the movie atom's end, or running past it).
bool IsCameraMovieLayout(const CMyQTMovie &movie);

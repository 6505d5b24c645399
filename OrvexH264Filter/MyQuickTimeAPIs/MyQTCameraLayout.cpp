#include "MyQuickTimeAPIs/MyQTCameraLayout.h"

#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTMovie.h"

#include <cstring>

namespace {

constexpr DWORD kTagSize = 20;
constexpr char kTagText[] = "OrvexAVC0001";
constexpr DWORD kTagTextLength = 12;
static_assert(sizeof(kTagText) == kTagTextLength + 1);

// True if the 'udta' at position starts with the camera tag, the whole tag
// lying inside the 'udta' and inside the movie atom.
bool StartsWithCameraTag(const BYTE *moov, ULONGLONG position, DWORD udtaSize, ULONGLONG end)
{
    if (udtaSize < kMyQTAtomHeaderSize + kTagSize || position + kMyQTAtomHeaderSize + kTagSize > end) return false;
    const BYTE *tag = moov + position + kMyQTAtomHeaderSize;
    return MyQTAtomSize(tag) == kTagSize && MyQTAtomType(tag) == MyQTFourCC("ORVX") &&
           std::memcmp(tag + kMyQTAtomHeaderSize, kTagText, kTagTextLength) == 0;
}

} // namespace

bool IsCameraMovieLayout(const CMyQTMovie &movie)
{
    const BYTE *moov = movie.GetAtom();
    const ULONGLONG end = movie.GetAtomSize();
    if (end < 24) throw "moov atom size is too small";

    bool camera = false;
    ULONGLONG position = kMyQTAtomHeaderSize;
    // Each pass reads a whole child header: position + 8 <= end holds here.
    for (int i = 0; position < end; ++i) {
        DWORD size = MyQTAtomSize(moov + position);
        DWORD type = MyQTAtomType(moov + position);
        if (type == MyQTFourCC("free")) break;
        if (i == 0) {
            if (type != MyQTFourCC("mvhd")) throw "not mvhd atom found";
        } else if (i == 1) {
            if (type != MyQTFourCC("trak")) throw "not trak atom found";
        } else if (i == 2) {
            if (type != MyQTFourCC("trak")) break;
        } else if (i == 3) {
            if (type != MyQTFourCC("udta") || !StartsWithCameraTag(moov, position, size, end)) break;
            camera = true;
        } else {
            camera = false;
            break;
        }
        position += size;
        if (position == end) break;
        if (end < position + kMyQTAtomHeaderSize) throw "atom size error";
    }
    return camera;
}

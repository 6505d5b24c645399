#include "MyQuickTimeAPIs/MyQTMovieLoader.h"

#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTException.h"
#include "MyQuickTimeAPIs/MyQTFile.h"
#include "MyQuickTimeAPIs/MyQTMovie.h"

namespace {

void TraceNotMovFile()
{
    OutputDebugStringA("Not MOV File format \n");
}

// One top-level atom header. At the end of the file the read yields nothing
// and the cleared header reads as size 0.
struct TopLevelAtom {
    DWORD size;
    DWORD type;
    ULONGLONG end;
};

TopLevelAtom ReadTopLevelHeader(CMyQTFile &file, ULONGLONG position)
{
    BYTE header[kMyQTAtomHeaderSize] = {};
    file.Read(header, sizeof(header));
    DWORD size = MyQTAtomSize(header);
    return TopLevelAtom{size, MyQTAtomType(header), position + size};
}

bool IsWellFormed(const TopLevelAtom &atom, ULONGLONG fileSize)
{
    return atom.end <= fileSize && atom.size >= kMyQTAtomHeaderSize;
}

} // namespace

std::unique_ptr<CMyQTMovie> LoadMovieAtom(LPCWSTR path)
{
    CMyQTFile file;
    file.Open(path);
    ULONGLONG fileSize = file.GetSize();
    for (ULONGLONG position = 0;;) {
        TopLevelAtom atom = ReadTopLevelHeader(file, position);
        if (!IsWellFormed(atom, fileSize)) {
            TraceNotMovFile();
            break;
        }
        if (atom.type == MyQTFourCC("moov")) {
            // Cleared first: a file that shrinks under us leaves zeros, not garbage.
            auto buffer = std::make_unique<BYTE[]>(atom.size);
            MyQTWriteBE32(buffer.get(), atom.size);
            MyQTWriteBE32(buffer.get() + 4, atom.type);
            file.Read(buffer.get() + kMyQTAtomHeaderSize, atom.size - kMyQTAtomHeaderSize);
            return std::make_unique<CMyQTMovie>(std::move(buffer), atom.size);
        }
        if (!file.Seek(LONGLONG(atom.size) - LONGLONG(kMyQTAtomHeaderSize), 1)) break;
        position = atom.end;
    }
    throw CMyQTException(CMyQTException::kMoovNotFound);
}

void FindMdatAtom(LPCWSTR path, ULONGLONG *offset, ULONGLONG *size)
{
    CMyQTFile file;
    file.Open(path);
    ULONGLONG fileSize = file.GetSize();
    for (ULONGLONG position = 0;;) {
        TopLevelAtom atom = ReadTopLevelHeader(file, position);
        if (!IsWellFormed(atom, fileSize)) {
            TraceNotMovFile();
            break;
        }
        if (atom.type == MyQTFourCC("mdat")) {
            *offset = position;
            *size = atom.size;
            return;
        }
        if (!file.Seek(LONGLONG(atom.size) - LONGLONG(kMyQTAtomHeaderSize), 1)) break;
        position = atom.end;
    }
    throw CMyQTException(CMyQTException::kMdatNotFound);
}

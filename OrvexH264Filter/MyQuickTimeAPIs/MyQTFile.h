// Read-only access to a movie file by path, with its own handle. Failures
// throw CMyQTException.
#pragma once

#include <windows.h>

class CMyQTFile {
public:
    CMyQTFile() = default;
    // Closes a valid handle; a failing close is reported on the debugger
    // output ("Exception 8, \n") and otherwise ignored.
    ~CMyQTFile();
    CMyQTFile(const CMyQTFile &) = delete;
    CMyQTFile &operator=(const CMyQTFile &) = delete;

    // Opens an existing file for reading, others may read it too. Throws kFileOpenFailed.
    void Open(LPCWSTR path);
    // One read of count bytes at the current position; returns the bytes
    // read, fewer at the end of the file. Throws kFileReadFailed.
    DWORD Read(void *buffer, DWORD count);
    // origin 0: from the start, 1: from the current position, 2: from the end.
    // False for another origin (nothing moves) or a failing move.
    bool Seek(LONGLONG distance, DWORD origin);
    // Size of the open file. Throws kFileSizeFailed.
    ULONGLONG GetSize();
    // Closes the handle if one is open. Throws kFileCloseFailed if that fails.
    void Close();

    HANDLE GetHandle() const { return m_hFile; }

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};

// Looks the path up in its folder without opening the file and stores the
// size of the entry found. Returns 0 on success, else the system's error code.
DWORD GetFileSizeByName(LPCWSTR path, ULONGLONG *size);

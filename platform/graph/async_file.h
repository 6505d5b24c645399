// An open file read by position (pread), so any number of threads may read
// it at once without sharing a file position.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace orvex::graph {

class AsyncFile {
public:
    // Opens a regular file for reading. HRESULT_FROM_WIN32 of
    // ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND or ERROR_ACCESS_DENIED (also
    // for a folder), E_FAIL otherwise.
    static HRESULT Open(const std::wstring &name, std::shared_ptr<AsyncFile> &file);
    ~AsyncFile();
    AsyncFile(const AsyncFile &) = delete;
    AsyncFile &operator=(const AsyncFile &) = delete;

    // Reads length bytes at position into buffer: S_OK when all were read,
    // S_FALSE when the file ended first (*read says how many), a failure
    // code for an I/O error.
    HRESULT Read(LONGLONG position, LONG length, BYTE *buffer, LONG *read) const;
    HRESULT Length(LONGLONG *length) const;

private:
    explicit AsyncFile(int fd) : m_fd(fd) {}
    int m_fd;
};

} // namespace orvex::graph

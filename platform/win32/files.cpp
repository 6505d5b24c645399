// Files by path: CreateFileW and friends over POSIX file descriptors.
#include "handles.h"
#include "text.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvex::win32;

namespace {

class File final : public KernelObject {
public:
    explicit File(int fd) : m_fd(fd) {}
    ~File() override { ::close(m_fd); }
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// A finished directory lookup: FindFirstFileW answers from it at once.
class FindSearch final : public KernelObject {};

// Windows time: 100-ns units since 1601-01-01.
FILETIME toFileTime(const timespec &ts)
{
    constexpr uint64_t kEpochDelta = 11644473600ULL;
    uint64_t t = (static_cast<uint64_t>(ts.tv_sec) + kEpochDelta) * 10000000ULL + ts.tv_nsec / 100;
    return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
}

void fillFindData(const struct stat &st, const std::string &name, LPWIN32_FIND_DATAW data)
{
    std::memset(data, 0, sizeof(*data));
    data->dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    if (!(st.st_mode & S_IWUSR)) data->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    data->ftCreationTime = toFileTime(st.st_ctim);
    data->ftLastAccessTime = toFileTime(st.st_atim);
    data->ftLastWriteTime = toFileTime(st.st_mtim);
    uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
    std::wstring wide = fromUtf8(name.c_str());
    lstrcpynW(data->cFileName, wide.c_str(), MAX_PATH);
}

} // namespace

extern "C" HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                                     DWORD dwCreationDisposition, DWORD, HANDLE)
{
    if (!lpFileName || !*lpFileName) {
        SetLastError(lpFileName ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    int flags = O_CLOEXEC;
    bool read = dwDesiredAccess & (GENERIC_READ | GENERIC_ALL);
    bool write = dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL);
    flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    switch (dwCreationDisposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }
    std::string path = toUtf8(lpFileName);
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        SetLastError(pathErrorFromErrno(errno, path.c_str()));
        return INVALID_HANDLE_VALUE;
    }
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) { // a folder is not a file to read
        ::close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    try {
        return registerHandle(std::make_shared<File>(fd));
    } catch (const std::bad_alloc &) {
        ::close(fd);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
}

extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                                LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    auto file = lookupAs<File>(hFile);
    if (!file) return FALSE;
    if (!lpBuffer && nNumberOfBytesToRead) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // With an OVERLAPPED the read is positional and synchronous.
    off_t offset = lpOverlapped ? static_cast<off_t>((static_cast<uint64_t>(lpOverlapped->u.s.OffsetHigh) << 32) |
                                                     lpOverlapped->u.s.Offset)
                                : -1;
    DWORD done = 0;
    auto *p = static_cast<char *>(lpBuffer);
    while (done < nNumberOfBytesToRead) {
        ssize_t n = offset >= 0 ? ::pread(file->fd(), p + done, nNumberOfBytesToRead - done, offset + done)
                                : ::read(file->fd(), p + done, nNumberOfBytesToRead - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetLastError(errorFromErrno(errno));
            if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
            return FALSE;
        }
        if (n == 0) break; // end of file: success with fewer bytes
        done += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
    if (lpOverlapped) lpOverlapped->InternalHigh = done;
    return TRUE;
}

extern "C" BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    auto file = lookupAs<File>(hFile);
    if (!file) return FALSE;
    off_t offset = lpOverlapped ? static_cast<off_t>((static_cast<uint64_t>(lpOverlapped->u.s.OffsetHigh) << 32) |
                                                     lpOverlapped->u.s.Offset)
                                : -1;
    DWORD done = 0;
    const auto *p = static_cast<const char *>(lpBuffer);
    while (done < nNumberOfBytesToWrite) {
        ssize_t n = offset >= 0 ? ::pwrite(file->fd(), p + done, nNumberOfBytesToWrite - done, offset + done)
                                : ::write(file->fd(), p + done, nNumberOfBytesToWrite - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetLastError(errorFromErrno(errno));
            if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
            return FALSE;
        }
        done += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
    return TRUE;
}

extern "C" BOOL WINAPI SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                                        DWORD dwMoveMethod)
{
    auto file = lookupAs<File>(hFile);
    if (!file) return FALSE;
    int whence;
    switch (dwMoveMethod) {
    case FILE_BEGIN: whence = SEEK_SET; break;
    case FILE_CURRENT: whence = SEEK_CUR; break;
    case FILE_END: whence = SEEK_END; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
    }
    off_t pos = ::lseek(file->fd(), static_cast<off_t>(liDistanceToMove.QuadPart), whence);
    if (pos < 0) {
        SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : errorFromErrno(errno));
        return FALSE;
    }
    if (lpNewFilePointer) lpNewFilePointer->QuadPart = pos;
    return TRUE;
}

extern "C" BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize)
{
    auto file = lookupAs<File>(hFile);
    if (!file) return FALSE;
    struct stat st {};
    if (fstat(file->fd(), &st) != 0) {
        SetLastError(errorFromErrno(errno));
        return FALSE;
    }
    if (lpFileSize) lpFileSize->QuadPart = st.st_size;
    return TRUE;
}

extern "C" HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData)
{
    if (!lpFileName || !lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string path = toUtf8(lpFileName);
    auto slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st {};
    if (name.find_first_of("*?") == std::string::npos) {
        if (stat(path.c_str(), &st) != 0) {
            SetLastError(pathErrorFromErrno(errno, path.c_str()));
            return INVALID_HANDLE_VALUE;
        }
    } else { // a pattern: the first entry of the folder that matches it
        DIR *d = opendir(dir.c_str());
        if (!d) {
            SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : errorFromErrno(errno));
            return INVALID_HANDLE_VALUE;
        }
        bool found = false;
        while (dirent *e = readdir(d)) {
            if (fnmatch(name.c_str(), e->d_name, 0) == 0 && fstatat(dirfd(d), e->d_name, &st, 0) == 0) {
                name = e->d_name;
                found = true;
                break;
            }
        }
        closedir(d);
        if (!found) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
    }
    fillFindData(st, name, lpFindFileData);
    return registerHandle(std::make_shared<FindSearch>());
}

extern "C" BOOL WINAPI FindClose(HANDLE hFindFile)
{
    if (!lookupAs<FindSearch>(hFindFile)) return FALSE;
    return unregisterHandle(hFindFile) ? TRUE : FALSE;
}

extern "C" DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName)
{
    std::string path = toUtf8(lpFileName);
    struct stat st {};
    if (!lpFileName || stat(path.c_str(), &st) != 0) {
        SetLastError(lpFileName ? pathErrorFromErrno(errno, path.c_str()) : ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
}

extern "C" BOOL WINAPI DeleteFileW(LPCWSTR lpFileName)
{
    std::string path = toUtf8(lpFileName);
    if (!lpFileName || ::unlink(path.c_str()) != 0) {
        SetLastError(lpFileName ? pathErrorFromErrno(errno, path.c_str()) : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL WINAPI MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags)
{
    if (!lpExistingFileName || !lpNewFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string from = toUtf8(lpExistingFileName);
    std::string to = toUtf8(lpNewFileName);
    int rc = (dwFlags & MOVEFILE_REPLACE_EXISTING) ? ::rename(from.c_str(), to.c_str())
                                                    : ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(),
                                                                  RENAME_NOREPLACE);
    if (rc != 0) {
        SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : pathErrorFromErrno(errno, from.c_str()));
        return FALSE;
    }
    return TRUE;
}

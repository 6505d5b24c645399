// Positional file reading.
#include "async_file.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex::graph {

namespace {

HRESULT fromErrno(int err)
{
    switch (err) {
    case ENOENT:
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case ENOTDIR:
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EISDIR:
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    case EIO:
        return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    case ENOMEM:
        return E_OUTOFMEMORY;
    default:
        return E_FAIL;
    }
}

} // namespace

HRESULT AsyncFile::Open(const std::wstring &name, std::shared_ptr<AsyncFile> &file)
{
    file.reset();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    std::string path(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name.c_str(), -1, path.data(), bytes, nullptr, nullptr);
    path.resize(static_cast<size_t>(bytes) - 1);
    if (path.empty()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fromErrno(errno);
    struct stat st;
    int err = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    if (err) {
        ::close(fd);
        return fromErrno(err);
    }
    file.reset(new AsyncFile(fd));
    return S_OK;
}

AsyncFile::~AsyncFile()
{
    ::close(m_fd);
}

HRESULT AsyncFile::Read(LONGLONG position, LONG length, BYTE *buffer, LONG *read) const
{
    *read = 0;
    if (position < 0 || length < 0 || position > std::numeric_limits<LONGLONG>::max() - length) return E_INVALIDARG;
    LONG done = 0;
    while (done < length) {
        ssize_t n = ::pread(m_fd, buffer + done, static_cast<size_t>(length - done), position + done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *read = done;
            return fromErrno(errno);
        }
        if (n == 0) break;
        done += static_cast<LONG>(n);
    }
    *read = done;
    return done == length ? S_OK : S_FALSE;
}

HRESULT AsyncFile::Length(LONGLONG *length) const
{
    struct stat st;
    if (::fstat(m_fd, &st) != 0) return fromErrno(errno);
    *length = st.st_size;
    return S_OK;
}

} // namespace orvex::graph

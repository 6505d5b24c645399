// Loading, caching, locking and atomic replacement of the registry file.
#include "registry_store.h"

#include <winreg.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "registry_text.h"

namespace orvex::registry {

namespace {

// A registry of this size is not one this system wrote.
constexpr off_t kMaxFileSize = 64 * 1024 * 1024;

struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;
    struct timespec mtime {};
    struct timespec ctime {};
    bool exists = false;

    bool operator==(const FileStamp &o) const
    {
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

FileStamp stampOf(const struct stat &st)
{
    FileStamp s;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.ctime = st.st_ctim;
    s.exists = true;
    return s;
}

struct Cache {
    std::mutex lock; // serialises this process's registry calls
    std::string path;
    FileStamp stamp;
    Key tree;
    bool valid = false;
    void (*writeHook)() = nullptr;
};

Cache &cache()
{
    static Cache c;
    return c;
}

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    int release()
    {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// Reads and parses the file; a missing file is an empty registry.
LONG loadFile(const std::string &path, Key &tree, FileStamp &stamp)
{
    tree = Key();
    stamp = FileStamp();
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return errno == ENOENT || errno == ENOTDIR ? ERROR_SUCCESS : ERROR_CANTREAD;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) return ERROR_CANTREAD;
    std::string text(static_cast<size_t>(st.st_size), '\0');
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::read(fd.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ERROR_CANTREAD;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    text.resize(done);
    std::string error;
    if (!ParseRegistry(text, tree, error)) {
        tree = Key();
        return ERROR_CANTREAD;
    }
    stamp = stampOf(st);
    return ERROR_SUCCESS;
}

// Brings the cache up to date with the file at path.
LONG refresh(Cache &c, const std::string &path, bool force)
{
    if (!force && c.valid && c.path == path) {
        struct stat st;
        FileStamp now;
        if (::stat(path.c_str(), &st) == 0) {
            now = stampOf(st);
        } else if (errno != ENOENT && errno != ENOTDIR) {
            return ERROR_CANTREAD;
        }
        if (now == c.stamp) return ERROR_SUCCESS;
    }
    c.valid = false;
    c.path = path;
    LONG status = loadFile(path, c.tree, c.stamp);
    if (status == ERROR_SUCCESS) c.valid = true;
    return status;
}

bool makeFolders(const std::string &path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Writes text to "<path>.tmp" and renames it over path. The caller holds
// the file lock, so the temporary name is never used by two writers at once.
LONG replaceFile(Cache &c, const std::string &path, const std::string &text)
{
    std::string temp = path + ".tmp";
    Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (fd.get() < 0) return ERROR_CANTWRITE;
    size_t half = text.size() / 2;
    bool ok = writeAll(fd.get(), text.data(), half);
    if (ok && c.writeHook) c.writeHook();
    ok = ok && writeAll(fd.get(), text.data() + half, text.size() - half) && ::fsync(fd.get()) == 0;
    if (::close(fd.release()) != 0) ok = false;
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return ERROR_CANTWRITE;
    }
    std::string folder = path.substr(0, path.find_last_of('/'));
    Fd dir(::open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
    return ERROR_SUCCESS;
}

std::string homeFolder()
{
    const char *home = std::getenv("HOME");
    if (home && *home) return home;
    struct passwd *pw = ::getpwuid(::getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "";
}

} // namespace

std::string RegistryFilePath()
{
    const char *explicitPath = std::getenv("ORVEX_REGISTRY");
    if (explicitPath && *explicitPath) {
        std::string path = explicitPath;
        // A bare file name is in the current folder; saying so keeps its
        // folder, where the lock and temporary files go, explicit.
        return path.find('/') == std::string::npos ? "./" + path : path;
    }
    const char *config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && *config == '/') {
        folder = config;
    } else {
        std::string home = homeFolder();
        if (home.empty()) return {};
        folder = home + "/.config";
    }
    return folder + "/orvex/registry";
}

LONG ReadRegistry(const std::function<LONG(const Key &tree)> &read)
{
    std::string path = RegistryFilePath();
    if (path.empty()) return ERROR_CANTREAD;
    Cache &c = cache();
    std::lock_guard<std::mutex> guard(c.lock);
    LONG status = refresh(c, path, false);
    if (status != ERROR_SUCCESS) return status;
    return read(c.tree);
}

LONG ChangeRegistry(const std::function<LONG(Key &tree, bool &changed)> &change)
{
    std::string path = RegistryFilePath();
    if (path.empty() || path.back() == '/') return ERROR_CANTWRITE;
    Cache &c = cache();
    std::lock_guard<std::mutex> guard(c.lock);
    if (!makeFolders(path)) return ERROR_CANTWRITE;
    Fd lockFd(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lockFd.get() < 0) return ERROR_CANTWRITE;
    while (::flock(lockFd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return ERROR_CANTWRITE;
    }
    // Another process may have written since the cache was filled: always
    // start from the file itself. The lock goes with the descriptor.
    LONG status = refresh(c, path, true);
    if (status != ERROR_SUCCESS) return status;
    bool changed = false;
    status = change(c.tree, changed);
    if (status != ERROR_SUCCESS || !changed) {
        if (changed) c.valid = false; // a failed change may have left part of itself behind
        return status;
    }
    status = replaceFile(c, path, FormatRegistry(c.tree));
    // The lock is still held, so the file now on disk is the one just written.
    struct stat st;
    if (status == ERROR_SUCCESS && ::stat(path.c_str(), &st) == 0) {
        c.stamp = stampOf(st);
    } else {
        c.valid = false;
    }
    return status;
}

void SetRegistryWriteHookForTesting(void (*hook)())
{
    Cache &c = cache();
    std::lock_guard<std::mutex> guard(c.lock);
    c.writeHook = hook;
}

} // namespace orvex::registry

#include "output_file.h"

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

OutputFile::OutputFile(std::string path) : m_path(std::move(path))
{
    if (m_path.empty()) throw OutputError("cannot write an output file without a name");
    const size_t slash = m_path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : m_path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? m_path : m_path.substr(slash + 1);
    if (name.empty()) throw OutputError("cannot write " + m_path + ": it names a folder, not a file");
    std::string pattern = folder + "." + name + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) fail(std::strerror(errno));
    // mkstemp makes the file private; give it the mode any new file gets.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    m_tempPath = pattern;
    m_file = fdopen(fd, "wb");
    if (!m_file) {
        const int error = errno;
        close(fd);
        std::remove(m_tempPath.c_str());
        m_tempPath.clear();
        fail(std::strerror(error));
    }
}

OutputFile::~OutputFile()
{
    if (m_file) std::fclose(m_file);
    if (!m_committed && !m_tempPath.empty()) std::remove(m_tempPath.c_str());
}

void OutputFile::fail(const std::string &cause)
{
    throw OutputError("cannot write " + m_path + ": " + cause);
}

void OutputFile::write(const void *data, size_t size)
{
    if (!m_file) fail("the file is already closed");
    if (size && std::fwrite(data, 1, size, m_file) != size) fail(std::strerror(errno));
    m_size += size;
}

void OutputFile::writeAt(uint64_t offset, const void *data, size_t size)
{
    if (!m_file) fail("the file is already closed");
    if (offset + size > m_size) fail("a header lies past the end written");
    if (fseeko(m_file, off_t(offset), SEEK_SET) != 0 || std::fwrite(data, 1, size, m_file) != size ||
        fseeko(m_file, 0, SEEK_END) != 0)
        fail(std::strerror(errno));
}

void OutputFile::commit()
{
    if (!m_file) fail("the file is already closed");
    std::FILE *file = m_file;
    m_file = nullptr;
    const bool flushed = std::fflush(file) == 0;
    const int error = errno;
    if (std::fclose(file) != 0 || !flushed) fail(std::strerror(flushed ? errno : error));
    if (std::rename(m_tempPath.c_str(), m_path.c_str()) != 0) fail(std::strerror(errno));
    m_committed = true;
}

} // namespace orvex

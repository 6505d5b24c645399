// A file written under a temporary name beside its final one and renamed
// into place by commit(), so a failed run never leaves a half-written file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace orvex {

// "cannot write PATH: cause"; what every sink throws.
class OutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class OutputFile {
public:
    // Creates the temporary file in path's folder; throws OutputError when
    // the folder cannot be written.
    explicit OutputFile(std::string path);
    ~OutputFile(); // removes the temporary file unless committed
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    void write(const void *data, size_t size);
    // Overwrites bytes already written (headers whose sizes come last).
    void writeAt(uint64_t offset, const void *data, size_t size);
    uint64_t size() const { return m_size; }
    // Flushes, closes and renames into place.
    void commit();

    const std::string &path() const { return m_path; }

private:
    [[noreturn]] void fail(const std::string &cause);

    std::string m_path;
    std::string m_tempPath;
    std::FILE *m_file = nullptr;
    uint64_t m_size = 0;
    bool m_committed = false;
};

} // namespace orvex

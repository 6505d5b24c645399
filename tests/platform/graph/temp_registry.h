// A registry file of its own for one test: a fresh temporary folder, with
// ORVEX_REGISTRY pointing into it for as long as the object lives.
#pragma once

#include <string>

namespace orvex::test {

class TempRegistry {
public:
    TempRegistry();
    ~TempRegistry();
    TempRegistry(const TempRegistry &) = delete;
    TempRegistry &operator=(const TempRegistry &) = delete;

    const std::string &folder() const { return m_folder; }
    const std::string &file() const { return m_file; }

    // The file's text ("" when it does not exist) and a way to replace it.
    std::string read() const;
    void write(const std::string &text) const;

private:
    std::string m_folder;
    std::string m_file;
};

// Reads a whole file; "" when it cannot be read.
std::string ReadFileText(const std::string &path);

} // namespace orvex::test

#include "temp_registry.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace orvex::test {

TempRegistry::TempRegistry()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-registry-XXXXXX").string();
    char *made = ::mkdtemp(pattern.data());
    if (made) m_folder = made;
    m_file = m_folder + "/registry";
    ::setenv("ORVEX_REGISTRY", m_file.c_str(), 1);
}

TempRegistry::~TempRegistry()
{
    ::unsetenv("ORVEX_REGISTRY");
    std::error_code ec;
    if (!m_folder.empty()) std::filesystem::remove_all(m_folder, ec);
}

std::string TempRegistry::read() const
{
    return ReadFileText(m_file);
}

void TempRegistry::write(const std::string &text) const
{
    std::ofstream out(m_file, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string ReadFileText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace orvex::test

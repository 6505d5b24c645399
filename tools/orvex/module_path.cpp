#include "module_path.h"

#include <filesystem>
#include <system_error>

namespace orvex {

std::string moduleBesideProgram()
{
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return kModuleFileName;
    return (program.parent_path() / kModuleFileName).string();
}

std::string absolutePath(const std::string &path)
{
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

} // namespace orvex

#include "hresult_names.h"

#include <utility>

namespace orvex {

namespace {

struct NamedCode {
    HRESULT code;
    const char *name;
};

const NamedCode kResults[] = {
    {S_OK, "S_OK"},
    {S_FALSE, "S_FALSE"},
    {E_FAIL, "E_FAIL"},
    {E_INVALIDARG, "E_INVALIDARG"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
    {E_POINTER, "E_POINTER"},
    {E_UNEXPECTED, "E_UNEXPECTED"},
    {E_NOTIMPL, "E_NOTIMPL"},
    {E_NOINTERFACE, "E_NOINTERFACE"},
    {E_ABORT, "E_ABORT"},
    {E_ACCESSDENIED, "E_ACCESSDENIED"},
};

struct NamedError {
    DWORD code;
    const char *name;
};

const NamedError kWin32Errors[] = {
    {ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND"},
    {ERROR_PATH_NOT_FOUND, "ERROR_PATH_NOT_FOUND"},
    {ERROR_TOO_MANY_OPEN_FILES, "ERROR_TOO_MANY_OPEN_FILES"},
    {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED"},
    {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE"},
    {ERROR_NOT_ENOUGH_MEMORY, "ERROR_NOT_ENOUGH_MEMORY"},
    {ERROR_READ_FAULT, "ERROR_READ_FAULT"},
    {ERROR_GEN_FAILURE, "ERROR_GEN_FAILURE"},
    {ERROR_FILENAME_EXCED_RANGE, "ERROR_FILENAME_EXCED_RANGE"},
    {ERROR_BUSY, "ERROR_BUSY"},
    {ERROR_NOT_SUPPORTED, "ERROR_NOT_SUPPORTED"},
};

} // namespace

std::string hresultName(HRESULT hr)
{
    for (const auto &result : kResults)
        if (result.code == hr) return result.name;
    if ((DWORD(hr) & 0xFFFF0000u) == 0x80070000u) {
        for (const auto &error : kWin32Errors)
            if (HRESULT_FROM_WIN32(error.code) == hr) return std::string("HRESULT_FROM_WIN32(") + error.name + ")";
    }
    return "HRESULT";
}

} // namespace orvex

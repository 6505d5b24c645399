#include "MyQuickTimeAPIs/MyQTFile.h"

#include "MyQuickTimeAPIs/MyQTException.h"

#include <cstdio>

CMyQTFile::~CMyQTFile()
{
    try {
        Close();
    } catch (const CMyQTException &e) {
        // Nothing can be done about a failing close; say so on the debugger output.
        char line[256];
        std::snprintf(line, sizeof(line), "Exception %d, %s \n", int(e.GetType()),
                      e.GetMessage() ? e.GetMessage() : "");
        OutputDebugStringA(line);
    }
}

void CMyQTFile::Open(LPCWSTR path)
{
    Close();
    m_hFile = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE) throw CMyQTException(CMyQTException::kFileOpenFailed);
}

DWORD CMyQTFile::Read(void *buffer, DWORD count)
{
    DWORD done = 0;
    if (!ReadFile(m_hFile, buffer, count, &done, nullptr)) throw CMyQTException(CMyQTException::kFileReadFailed);
    return done;
}

bool CMyQTFile::Seek(LONGLONG distance, DWORD origin)
{
    DWORD method;
    switch (origin) {
    case 0:
        method = FILE_BEGIN;
        break;
    case 1:
        method = FILE_CURRENT;
        break;
    case 2:
        method = FILE_END;
        break;
    default:
        return false;
    }
    LARGE_INTEGER move;
    move.QuadPart = distance;
    return SetFilePointerEx(m_hFile, move, nullptr, method) != FALSE;
}

ULONGLONG CMyQTFile::GetSize()
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_hFile, &size)) throw CMyQTException(CMyQTException::kFileSizeFailed);
    return ULONGLONG(size.QuadPart);
}

void CMyQTFile::Close()
{
    if (m_hFile == INVALID_HANDLE_VALUE) return;
    HANDLE handle = m_hFile;
    m_hFile = INVALID_HANDLE_VALUE;
    if (!CloseHandle(handle)) throw CMyQTException(CMyQTException::kFileCloseFailed);
}

DWORD GetFileSizeByName(LPCWSTR path, ULONGLONG *size)
{
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(path, &data);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error ? error : ERROR_FILE_NOT_FOUND;
    }
    FindClose(search);
    *size = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return 0;
}

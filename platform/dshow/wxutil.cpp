// CAMEvent and AMGetWideString.
#include "wxutil.h"

#include <cwchar>

CAMEvent::CAMEvent(BOOL fManualReset, HRESULT *phr)
{
    m_hEvent = CreateEventW(NULL, fManualReset, FALSE, NULL);
    if (m_hEvent == NULL && phr != NULL && SUCCEEDED(*phr)) *phr = E_OUTOFMEMORY;
}

CAMEvent::CAMEvent(HRESULT *phr) : CAMEvent(FALSE, phr) {}

CAMEvent::~CAMEvent()
{
    if (m_hEvent) EXECUTE_ASSERT(CloseHandle(m_hEvent));
}

STDAPI AMGetWideString(LPCWSTR psz, LPWSTR *ppszReturn)
{
    CheckPointer(ppszReturn, E_POINTER);
    *ppszReturn = NULL;
    if (psz == NULL) psz = L"";
    size_t nameLen = std::wcslen(psz) + 1;
    *ppszReturn = static_cast<LPWSTR>(CoTaskMemAlloc(nameLen * sizeof(WCHAR)));
    if (*ppszReturn == NULL) return E_OUTOFMEMORY;
    std::wmemcpy(*ppszReturn, psz, nameLen);
    return NOERROR;
}

#include "common/MyThread.h"

namespace {
class CritSecLock {
public:
    explicit CritSecLock(CRITICAL_SECTION &cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
    ~CritSecLock() { LeaveCriticalSection(&m_cs); }
    CritSecLock(const CritSecLock &) = delete;
    CritSecLock &operator=(const CritSecLock &) = delete;

private:
    CRITICAL_SECTION &m_cs;
};

constexpr DWORD kCoInitDisableOle1Dde = 0x4;
typedef HRESULT(WINAPI *CoInitializeExProc)(LPVOID, DWORD);
typedef void(WINAPI *CoUninitializeProc)();
} // namespace

CMyThread::CMyThread()
    : m_hThread(nullptr), m_EventSend(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_EventComplete(CreateEventW(nullptr, FALSE, FALSE, nullptr)), m_dwParam(0), m_dwReturnVal(0), m_dwSent(0),
      m_dwSeen(0)
{
    InitializeCriticalSection(&m_AccessLock);
    InitializeCriticalSection(&m_StateLock);
}

CMyThread::~CMyThread()
{
    // The user stops its thread first; here it is only joined.
    HANDLE h = InterlockedExchangePointer(&m_hThread, nullptr);
    if (h) {
        WaitForSingleObject(h, INFINITE);
        CloseHandle(h);
    }
    DeleteCriticalSection(&m_StateLock);
    DeleteCriticalSection(&m_AccessLock);
    if (m_EventSend) CloseHandle(m_EventSend);
    if (m_EventComplete) CloseHandle(m_EventComplete);
}

bool CMyThread::IsRunningLocked()
{
    HANDLE h = __atomic_load_n(&m_hThread, __ATOMIC_SEQ_CST);
    DWORD code = 0;
    return h && GetExitCodeThread(h, &code) && code == STILL_ACTIVE;
}

bool CMyThread::IsRunning()
{
    CritSecLock guard(m_AccessLock);
    return IsRunningLocked();
}

bool CMyThread::Create()
{
    CritSecLock guard(m_AccessLock);
    if (IsRunningLocked() || !m_EventSend || !m_EventComplete) return false;
    {
        CritSecLock state(m_StateLock);
        ResetEvent(m_EventSend);
        m_dwParam = 0;
        m_dwReturnVal = 0;
    }
    HANDLE h = CreateThread(nullptr, 0, &CMyThread::InitialThreadProc, this, 0, nullptr);
    if (!h) return false;
    HANDLE old = InterlockedExchangePointer(&m_hThread, h);
    if (old) CloseHandle(old); // a finished thread whose user never joined it
    return true;
}

DWORD CMyThread::CallWorker(DWORD dwCommand)
{
    CritSecLock guard(m_AccessLock);
    if (!IsRunningLocked()) return static_cast<DWORD>(E_FAIL);
    {
        CritSecLock state(m_StateLock);
        // A reply to an earlier PostRequest may still be set; clearing it makes
        // this call wait for the answer to its own command.
        ResetEvent(m_EventComplete);
        m_dwParam = dwCommand;
        ++m_dwSent;
        SetEvent(m_EventSend);
    }
    // The worker may end without replying (ThreadProc returned): waiting on the
    // thread as well keeps this call from hanging on a dead worker.
    HANDLE waits[2] = {m_EventComplete, m_hThread};
    DWORD rc = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (rc != WAIT_OBJECT_0) return static_cast<DWORD>(E_FAIL);
    CritSecLock state(m_StateLock);
    return m_dwReturnVal;
}

void CMyThread::PostRequest(DWORD dwCommand)
{
    CritSecLock guard(m_AccessLock);
    if (!IsRunningLocked()) return;
    CritSecLock state(m_StateLock);
    m_dwParam = dwCommand;
    ++m_dwSent;
    SetEvent(m_EventSend);
}

bool CMyThread::CheckRequest(DWORD dwTimeout, DWORD *pdwCommand)
{
    if (WaitForSingleObject(m_EventSend, dwTimeout) != WAIT_OBJECT_0) return false;
    CritSecLock state(m_StateLock);
    m_dwSeen = m_dwSent;
    if (pdwCommand) *pdwCommand = m_dwParam;
    return true;
}

void CMyThread::Reply(DWORD dwValue)
{
    CritSecLock state(m_StateLock);
    m_dwReturnVal = dwValue;
    if (m_dwSeen != m_dwSent) return; // a newer command is waiting: keep it visible, its caller waits for its own reply
    ResetEvent(m_EventSend);
    SetEvent(m_EventComplete);
}

DWORD WINAPI CMyThread::InitialThreadProc(LPVOID pv)
{
    auto *self = static_cast<CMyThread *>(pv);
    // COM per thread where the system has it; without ole32 the thread runs without.
    HMODULE ole = LoadLibraryA("ole32.dll");
    CoUninitializeProc uninit = nullptr;
    if (ole) {
        auto init =
            reinterpret_cast<CoInitializeExProc>(reinterpret_cast<void *>(GetProcAddress(ole, "CoInitializeEx")));
        if (init && SUCCEEDED(init(nullptr, kCoInitDisableOle1Dde)))
            uninit =
                reinterpret_cast<CoUninitializeProc>(reinterpret_cast<void *>(GetProcAddress(ole, "CoUninitialize")));
    }
    DWORD result = self->ThreadProc();
    if (uninit) uninit();
    if (ole) FreeLibrary(ole);
    return result;
}

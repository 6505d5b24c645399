// Base of every streaming thread: one operating-system thread running the
// derived class's ThreadProc, with a one-slot command channel. Clients hand
// over a command and wait for its reply (CallWorker) or go on (PostRequest);
// the worker looks for commands between units of work (CheckRequest) and
// answers each with Reply.
#pragma once

#include <windows.h>

#define THREAD_CMD_EXIT ((DWORD)-1)
#define THREAD_CMD_PAUSE ((DWORD)-2)
#define THREAD_CMD_RUN ((DWORD)-3)

class CMyThread {
public:
    CMyThread();
    virtual ~CMyThread();
    CMyThread(const CMyThread &) = delete;
    CMyThread &operator=(const CMyThread &) = delete;

    // Starts the thread unless it is running. False if running or not started.
    bool Create();
    // Hands over dwCommand and waits for the worker's reply; E_FAIL if the thread is not running.
    DWORD CallWorker(DWORD dwCommand);
    // Hands over dwCommand without waiting; ignored if the thread is not running.
    void PostRequest(DWORD dwCommand);
    // Worker side: waits up to dwTimeout ms (0: only look, INFINITE: no limit) for a command.
    bool CheckRequest(DWORD dwTimeout, DWORD *pdwCommand = nullptr);
    // Worker side: answers the command seen last.
    void Reply(DWORD dwValue);

    bool IsRunning();

protected:
    virtual DWORD ThreadProc() = 0;
    static DWORD WINAPI InitialThreadProc(LPVOID pv);

    HANDLE m_hThread;
    HANDLE m_EventSend;     // manual reset: a command is waiting
    HANDLE m_EventComplete; // auto reset: the worker has replied
    DWORD m_dwParam;
    DWORD m_dwReturnVal;
    CRITICAL_SECTION m_AccessLock; // serializes Create, CallWorker and PostRequest

private:
    bool IsRunningLocked();
    // Leaf lock over the command slot, shared with the worker's CheckRequest and Reply.
    CRITICAL_SECTION m_StateLock;
    // Counts commands handed over, and the one the worker saw last: a reply
    // to a command that a newer one has overtaken leaves the newer one waiting.
    DWORD m_dwSent;
    DWORD m_dwSeen;
};

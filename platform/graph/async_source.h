// "File Source (Async.)" (CLSID_AsyncReader): IFileSourceFilter names the
// file; the one output pin, "Output", offers a MEDIATYPE_Stream type and
// IAsyncReader over the file. Reads are positional, so any number of
// threads may read at once. Requests queued with Request are served, in
// order, on the thread that calls WaitForNext.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "amfilter.h"
#include "async_file.h"

namespace orvex::graph {

class CAsyncSourceFilter;

class CAsyncOutputPin : public CBasePin, public IAsyncReader {
public:
    CAsyncOutputPin(CAsyncSourceFilter *pFilter, CCritSec *pLock, HRESULT *phr);
    ~CAsyncOutputPin() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

    // The file's type only; nothing to offer before a file is loaded.
    HRESULT CheckMediaType(const CMediaType *pmt) override;
    HRESULT GetMediaType(int iPosition, CMediaType *pMediaType) override;
    // A peer of the other direction, and a file to read.
    HRESULT CheckConnect(IPin *pPin) override;

    // The source pin is not a receiving pin. (BeginFlush and EndFlush of
    // IPin and IAsyncReader are one method each: they flush the reader.)
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }

    // IAsyncReader
    STDMETHODIMP RequestAllocator(IMemAllocator *pPreferred, ALLOCATOR_PROPERTIES *pProps,
                                  IMemAllocator **ppActual) override;
    // The sample's start and stop times, divided by 10,000,000, are the byte
    // positions of the read. The sample's reference travels with the request
    // and comes back from WaitForNext.
    STDMETHODIMP Request(IMediaSample *pSample, DWORD_PTR dwUser) override;
    // Serves the oldest request on this thread: its result is the read's
    // (S_FALSE for a short read at the end of the file). Requests caught by
    // a flush come back with VFW_E_WRONG_STATE; with none left, a flush gives
    // VFW_E_WRONG_STATE and no sample, a timeout VFW_E_TIMEOUT.
    STDMETHODIMP WaitForNext(DWORD dwTimeout, IMediaSample **ppSample, DWORD_PTR *pdwUser) override;
    STDMETHODIMP SyncReadAligned(IMediaSample *pSample) override;
    // S_FALSE when the file ends before lLength bytes; a failure code for an
    // I/O error.
    STDMETHODIMP SyncRead(LONGLONG llPosition, LONG lLength, BYTE *pBuffer) override;
    STDMETHODIMP Length(LONGLONG *pTotal, LONGLONG *pAvailable) override;
    STDMETHODIMP BeginFlush(void) override;
    STDMETHODIMP EndFlush(void) override;

private:
    struct PendingRequest {
        IMediaSample *sample;
        DWORD_PTR user;
        bool aborted; // caught by a flush
    };

    // Reads the bytes the sample's times name into it and sets its length.
    HRESULT readSample(IMediaSample *pSample);

    CAsyncSourceFilter *m_pSource;
    std::mutex m_requestLock;
    std::condition_variable m_requestChanged;
    std::deque<PendingRequest> m_requests;
    bool m_flushing = false;
};

class CAsyncSourceFilter : public CBaseFilter, public IFileSourceFilter {
public:
    static CUnknown *WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT *phr);
    CAsyncSourceFilter(LPUNKNOWN pUnk, HRESULT *phr);
    ~CAsyncSourceFilter() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

    int GetPinCount() override { return 1; }
    CBasePin *GetPin(int n) override { return n == 0 ? m_pPin : NULL; }

    // Opens the file (see AsyncFile::Open for the failures). pmt, when given,
    // is the type offered; else MEDIATYPE_Stream with no subtype. A file
    // cannot be changed while the output is connected
    // (VFW_E_ALREADY_CONNECTED).
    STDMETHODIMP Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE *pmt) override;
    // The name as given to Load, in task memory; E_FAIL before a Load.
    STDMETHODIMP GetCurFile(LPOLESTR *ppszFileName, AM_MEDIA_TYPE *pmt) override;

    // The loaded file, or null.
    std::shared_ptr<AsyncFile> File();
    // The offered type; false before a Load.
    bool FileType(CMediaType &mt);

private:
    CCritSec m_Lock;
    CAsyncOutputPin *m_pPin;
    std::mutex m_fileLock; // m_file is read by streaming threads
    std::shared_ptr<AsyncFile> m_file;
    std::wstring m_fileName;
    CMediaType m_type;
};

} // namespace orvex::graph

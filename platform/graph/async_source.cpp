// The async file source filter and its reader pin.
#include "async_source.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <chrono>
#include <cwchar>
#include <limits>
#include <new>

#include "memallocator.h"

namespace orvex::graph {

// ---- filter ---------------------------------------------------------------

CUnknown *WINAPI CAsyncSourceFilter::CreateInstance(LPUNKNOWN pUnk, HRESULT *phr)
{
    HRESULT hr = S_OK;
    auto *filter = new (std::nothrow) CAsyncSourceFilter(pUnk, &hr);
    if (filter && FAILED(hr)) {
        delete filter;
        filter = nullptr;
    }
    if (!filter && phr) *phr = FAILED(hr) ? hr : E_OUTOFMEMORY;
    return filter;
}

CAsyncSourceFilter::CAsyncSourceFilter(LPUNKNOWN pUnk, HRESULT *phr)
    : CBaseFilter(NAME("File Source (Async.)"), pUnk, &m_Lock, CLSID_AsyncReader), m_pPin(nullptr)
{
    m_pPin = new (std::nothrow) CAsyncOutputPin(this, &m_Lock, phr);
    if (!m_pPin && phr) *phr = E_OUTOFMEMORY;
}

CAsyncSourceFilter::~CAsyncSourceFilter()
{
    delete m_pPin;
}

STDMETHODIMP CAsyncSourceFilter::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IFileSourceFilter) return GetInterface(static_cast<IFileSourceFilter *>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CAsyncSourceFilter::Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE *pmt)
{
    CheckPointer(pszFileName, E_POINTER);
    CAutoLock lock(&m_Lock);
    if (m_pPin->IsConnected()) return VFW_E_ALREADY_CONNECTED;
    CMediaType type;
    if (pmt) {
        HRESULT hr = type.Set(*pmt);
        if (FAILED(hr)) return hr;
    } else {
        type.SetType(&MEDIATYPE_Stream);
        type.SetSubtype(&MEDIASUBTYPE_NULL);
    }
    std::shared_ptr<AsyncFile> file;
    HRESULT hr = AsyncFile::Open(pszFileName, file);
    if (FAILED(hr)) return hr;
    {
        std::lock_guard<std::mutex> guard(m_fileLock);
        m_file = std::move(file);
    }
    m_fileName = pszFileName;
    m_type = type;
    m_pPin->IncrementTypeVersion();
    return S_OK;
}

STDMETHODIMP CAsyncSourceFilter::GetCurFile(LPOLESTR *ppszFileName, AM_MEDIA_TYPE *pmt)
{
    CheckPointer(ppszFileName, E_POINTER);
    *ppszFileName = nullptr;
    CAutoLock lock(&m_Lock);
    if (!File()) return E_FAIL;
    HRESULT hr = AMGetWideString(m_fileName.c_str(), ppszFileName);
    if (FAILED(hr)) return hr;
    if (pmt) {
        hr = CopyMediaType(pmt, &m_type);
        if (FAILED(hr)) {
            CoTaskMemFree(*ppszFileName);
            *ppszFileName = nullptr;
            return hr;
        }
    }
    return S_OK;
}

std::shared_ptr<AsyncFile> CAsyncSourceFilter::File()
{
    std::lock_guard<std::mutex> guard(m_fileLock);
    return m_file;
}

bool CAsyncSourceFilter::FileType(CMediaType &mt)
{
    CAutoLock lock(&m_Lock);
    if (!File()) return false;
    mt = m_type;
    return true;
}

// ---- output pin -----------------------------------------------------------

CAsyncOutputPin::CAsyncOutputPin(CAsyncSourceFilter *pFilter, CCritSec *pLock, HRESULT *phr)
    : CBasePin(NAME("Async output pin"), pFilter, pLock, phr, L"Output", PINDIR_OUTPUT), m_pSource(pFilter)
{
}

CAsyncOutputPin::~CAsyncOutputPin()
{
    // Requests nobody waited for: their references came with them.
    for (PendingRequest &r : m_requests)
        r.sample->Release();
}

STDMETHODIMP CAsyncOutputPin::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IAsyncReader) return GetInterface(static_cast<IAsyncReader *>(this), ppv);
    return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CAsyncOutputPin::CheckMediaType(const CMediaType *pmt)
{
    CMediaType file;
    if (!m_pSource->FileType(file)) return E_UNEXPECTED;
    if (*pmt->Type() != *file.Type()) return S_FALSE;
    if (*pmt->Subtype() != *file.Subtype() && *pmt->Subtype() != GUID_NULL) return S_FALSE;
    return S_OK;
}

HRESULT CAsyncOutputPin::GetMediaType(int iPosition, CMediaType *pMediaType)
{
    if (iPosition < 0) return E_INVALIDARG;
    CMediaType file;
    if (iPosition > 0 || !m_pSource->FileType(file)) return VFW_S_NO_MORE_ITEMS;
    return pMediaType->Set(file);
}

HRESULT CAsyncOutputPin::CheckConnect(IPin *pPin)
{
    HRESULT hr = CBasePin::CheckConnect(pPin);
    if (FAILED(hr)) return hr;
    return m_pSource->File() ? S_OK : E_UNEXPECTED;
}

STDMETHODIMP CAsyncOutputPin::RequestAllocator(IMemAllocator *pPreferred, ALLOCATOR_PROPERTIES *pProps,
                                               IMemAllocator **ppActual)
{
    CheckPointer(pProps, E_POINTER);
    CheckPointer(ppActual, E_POINTER);
    *ppActual = nullptr;
    ALLOCATOR_PROPERTIES want = *pProps;
    if (want.cbAlign <= 0) want.cbAlign = 1; // any alignment will do for a positional read
    ALLOCATOR_PROPERTIES actual;
    if (pPreferred && SUCCEEDED(pPreferred->SetProperties(&want, &actual))) {
        pPreferred->AddRef();
        *ppActual = pPreferred;
        return S_OK;
    }
    IMemAllocator *allocator = nullptr;
    HRESULT hr = CreateMemoryAllocator(&allocator);
    if (FAILED(hr)) return hr;
    hr = allocator->SetProperties(&want, &actual);
    if (FAILED(hr)) {
        allocator->Release();
        return hr;
    }
    *ppActual = allocator;
    return S_OK;
}

HRESULT CAsyncOutputPin::readSample(IMediaSample *pSample)
{
    REFERENCE_TIME start = 0, stop = 0;
    if (FAILED(pSample->GetTime(&start, &stop))) return VFW_E_SAMPLE_TIME_NOT_SET;
    if (start < 0 || stop < start) return E_INVALIDARG;
    LONGLONG position = start / UNITS;
    LONGLONG length = stop / UNITS - position;
    BYTE *buffer = nullptr;
    HRESULT hr = pSample->GetPointer(&buffer);
    if (FAILED(hr)) return hr;
    if (length > pSample->GetSize()) return VFW_E_BUFFER_OVERFLOW;
    std::shared_ptr<AsyncFile> file = m_pSource->File();
    if (!file) return E_UNEXPECTED;
    LONG read = 0;
    hr = file->Read(position, static_cast<LONG>(length), buffer, &read);
    pSample->SetActualDataLength(read);
    return hr;
}

STDMETHODIMP CAsyncOutputPin::Request(IMediaSample *pSample, DWORD_PTR dwUser)
{
    CheckPointer(pSample, E_POINTER);
    REFERENCE_TIME start = 0, stop = 0;
    if (FAILED(pSample->GetTime(&start, &stop))) return VFW_E_SAMPLE_TIME_NOT_SET;
    if (start < 0 || stop < start) return E_INVALIDARG;
    if (stop / UNITS - start / UNITS > pSample->GetSize()) return VFW_E_BUFFER_OVERFLOW;
    {
        std::lock_guard<std::mutex> guard(m_requestLock);
        if (m_flushing) return VFW_E_WRONG_STATE;
        m_requests.push_back({pSample, dwUser, false});
    }
    m_requestChanged.notify_all();
    return S_OK;
}

STDMETHODIMP CAsyncOutputPin::WaitForNext(DWORD dwTimeout, IMediaSample **ppSample, DWORD_PTR *pdwUser)
{
    CheckPointer(ppSample, E_POINTER);
    CheckPointer(pdwUser, E_POINTER);
    *ppSample = nullptr;
    *pdwUser = 0;
    PendingRequest request;
    {
        std::unique_lock<std::mutex> lock(m_requestLock);
        auto ready = [this] { return !m_requests.empty() || m_flushing; };
        if (dwTimeout == INFINITE) {
            m_requestChanged.wait(lock, ready);
        } else if (!m_requestChanged.wait_for(lock, std::chrono::milliseconds(dwTimeout), ready)) {
            return VFW_E_TIMEOUT;
        }
        if (m_requests.empty()) return VFW_E_WRONG_STATE; // flushing, nothing pending
        request = m_requests.front();
        m_requests.pop_front();
    }
    *ppSample = request.sample;
    *pdwUser = request.user;
    if (request.aborted) return VFW_E_WRONG_STATE;
    return readSample(request.sample);
}

STDMETHODIMP CAsyncOutputPin::SyncReadAligned(IMediaSample *pSample)
{
    CheckPointer(pSample, E_POINTER);
    return readSample(pSample);
}

STDMETHODIMP CAsyncOutputPin::SyncRead(LONGLONG llPosition, LONG lLength, BYTE *pBuffer)
{
    if (lLength > 0) CheckPointer(pBuffer, E_POINTER);
    if (llPosition < 0 || lLength < 0) return E_INVALIDARG;
    std::shared_ptr<AsyncFile> file = m_pSource->File();
    if (!file) return E_UNEXPECTED;
    LONG read = 0;
    return file->Read(llPosition, lLength, pBuffer, &read);
}

STDMETHODIMP CAsyncOutputPin::Length(LONGLONG *pTotal, LONGLONG *pAvailable)
{
    CheckPointer(pTotal, E_POINTER);
    CheckPointer(pAvailable, E_POINTER);
    std::shared_ptr<AsyncFile> file = m_pSource->File();
    if (!file) return E_UNEXPECTED;
    HRESULT hr = file->Length(pTotal);
    if (FAILED(hr)) return hr;
    *pAvailable = *pTotal;
    return S_OK;
}

STDMETHODIMP CAsyncOutputPin::BeginFlush(void)
{
    {
        std::lock_guard<std::mutex> guard(m_requestLock);
        m_flushing = true;
        for (PendingRequest &r : m_requests)
            r.aborted = true;
    }
    m_requestChanged.notify_all();
    return S_OK;
}

STDMETHODIMP CAsyncOutputPin::EndFlush(void)
{
    std::lock_guard<std::mutex> guard(m_requestLock);
    m_flushing = false;
    return S_OK;
}

} // namespace orvex::graph

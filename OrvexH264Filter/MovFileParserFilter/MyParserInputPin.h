// The parser's input pin, "XForm In". Connected to a file source, it asks the
// source filter for the file's name, has the filter load the movie from it,
// and keeps the source pin's IAsyncReader, through which the output pins'
// delivery threads read the sample bytes.
#pragma once

#include <streams.h>
#include <wrl/client.h>

class COrvexMovFileParserFilter;

class CMyParserInputPin : public CBasePin {
public:
    CMyParserInputPin(COrvexMovFileParserFilter *pFilter, CCritSec *pLock, HRESULT *phr);
    ~CMyParserInputPin() override;

    // A byte stream of any kind: MEDIATYPE_Stream or GUID_NULL, no subtype, no format.
    HRESULT CheckMediaType(const CMediaType *pmt) override;
    // The file name from the upstream filter's IFileSourceFilter, the movie
    // loaded from it, then the upstream pin's IAsyncReader.
    HRESULT CompleteConnect(IPin *pReceivePin) override;
    // Drops the output pins and the reader, then the connection.
    // VFW_E_NOT_STOPPED (and nothing changes) unless the filter is stopped.
    STDMETHODIMP Disconnect() override;

    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    // One read at a time through the reader: SyncRead's result unchanged.
    HRESULT readAt(LONGLONG position, LONG length, BYTE *buffer);
    bool IsFlushing();

private:
    void ReleaseReader();

    COrvexMovFileParserFilter *const m_pParserFilter;
    Microsoft::WRL::ComPtr<IAsyncReader> m_pReader; // held while connected
    bool m_bFlushing;
    CCritSec m_ReadLock;
};

// COrvexH264DecodeFilterPropertyPage: the "Decode Parameters" page. Two
// groups of radio buttons choose the deblocking skip mode and the output
// scaling; applying hands both to the filter's IOrvexH264DecoderParameter2.
// The IYUV flag has no control here.
#pragma once

#include "H264DecodeFilter/IOrvexH264DecoderParameter2.h"

#include <streams.h>
#include <wrl/client.h>

class COrvexH264DecodeFilterPropertyPage : public CBasePropertyPage {
public:
    // The factory template's creation function.
    static CUnknown *WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT *phr);

    HRESULT OnConnect(IUnknown *pUnknown) override;
    HRESULT OnDisconnect() override;
    HRESULT OnActivate() override;
    HRESULT OnDeactivate() override;
    HRESULT OnApplyChanges() override;
    INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    // The page's dialog while it is shown, else null.
    HWND Dialog() const { return m_Dlg; }

private:
    explicit COrvexH264DecodeFilterPropertyPage(LPUNKNOWN pUnk);
    ~COrvexH264DecodeFilterPropertyPage() override;

    // The first checked button of each group sets its working value; a
    // group with none checked keeps it.
    void ReadButtons();

    Microsoft::WRL::ComPtr<IOrvexH264DecoderParameter2> m_pParameter;
    bool m_bActive = false;
    LONG m_deblockingSkipMode = 0;
    LONG m_outputScalingMode = 0;
};

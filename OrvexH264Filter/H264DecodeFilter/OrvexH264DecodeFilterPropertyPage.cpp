#include "H264DecodeFilter/OrvexH264DecodeFilterPropertyPage.h"

#include "H264DecodeFilter/OrvexH264DecodeFilterResource.h"

#include <new>

CUnknown *WINAPI COrvexH264DecodeFilterPropertyPage::CreateInstance(LPUNKNOWN pUnk, HRESULT *phr)
{
    COrvexH264DecodeFilterPropertyPage *pPage = new (std::nothrow) COrvexH264DecodeFilterPropertyPage(pUnk);
    if (!pPage && phr) *phr = E_OUTOFMEMORY;
    return pPage;
}

COrvexH264DecodeFilterPropertyPage::COrvexH264DecodeFilterPropertyPage(LPUNKNOWN pUnk)
    : CBasePropertyPage(NAME("COrvexH264DecodeFilterPropertyPage"), pUnk, IDD_DECODE_PARAMETERS,
                        IDS_DECODE_PARAMETERS_TITLE)
{
    RegisterDecodeFilterPageResources();
}

COrvexH264DecodeFilterPropertyPage::~COrvexH264DecodeFilterPropertyPage() = default;

HRESULT COrvexH264DecodeFilterPropertyPage::OnConnect(IUnknown *pUnknown)
{
    CheckPointer(pUnknown, E_POINTER);
    m_pParameter.Reset();
    Microsoft::WRL::ComPtr<IOrvexH264DecoderParameter2> pParameter;
    HRESULT hr = pUnknown->QueryInterface(IID_IOrvexH264DecoderParameter2, &pParameter);
    if (FAILED(hr)) return E_NOINTERFACE;
    if (!pParameter) return E_FAIL;
    m_pParameter = std::move(pParameter);
    m_deblockingSkipMode = m_pParameter->GetDeblockingSkipMode();
    m_outputScalingMode = m_pParameter->GetOutputScalingMode();
    m_bActive = false;
    return S_OK;
}

HRESULT COrvexH264DecodeFilterPropertyPage::OnDisconnect()
{
    m_pParameter.Reset();
    return S_OK;
}

HRESULT COrvexH264DecodeFilterPropertyPage::OnActivate()
{
    CheckRadioButton(m_Dlg, IDC_DEBLOCKING_NOT_SKIP, IDC_DEBLOCKING_SKIP_NON_REF,
                     IDC_DEBLOCKING_NOT_SKIP + m_deblockingSkipMode);
    CheckRadioButton(m_Dlg, IDC_SCALING_ORIGINAL, IDC_SCALING_QUARTER, IDC_SCALING_ORIGINAL + m_outputScalingMode);
    m_bActive = true;
    return S_OK;
}

HRESULT COrvexH264DecodeFilterPropertyPage::OnDeactivate()
{
    m_bActive = false;
    ReadButtons();
    return S_OK;
}

HRESULT COrvexH264DecodeFilterPropertyPage::OnApplyChanges()
{
    ReadButtons();
    if (!m_pParameter) return E_POINTER;
    // A refused value (a new scaling while the filter's output is connected)
    // is reported, and the page stays dirty.
    const HRESULT deblocking = m_pParameter->SetDeblockingSkipMode(m_deblockingSkipMode);
    const HRESULT scaling = m_pParameter->SetOutputScalingMode(m_outputScalingMode);
    return FAILED(deblocking) ? deblocking : scaling;
}

INT_PTR COrvexH264DecodeFilterPropertyPage::OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg != WM_COMMAND) return CBasePropertyPage::OnReceiveMessage(hwnd, uMsg, wParam, lParam);
    if (m_bActive) {
        m_bDirty = TRUE;
        if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
    }
    return TRUE;
}

void COrvexH264DecodeFilterPropertyPage::ReadButtons()
{
    if (!m_Dlg) return;
    for (int id = IDC_DEBLOCKING_NOT_SKIP; id <= IDC_DEBLOCKING_SKIP_NON_REF; ++id) {
        if (IsDlgButtonChecked(m_Dlg, id) == BST_CHECKED) {
            m_deblockingSkipMode = id - IDC_DEBLOCKING_NOT_SKIP;
            break;
        }
    }
    for (int id = IDC_SCALING_ORIGINAL; id <= IDC_SCALING_QUARTER; ++id) {
        if (IsDlgButtonChecked(m_Dlg, id) == BST_CHECKED) {
            m_outputScalingMode = id - IDC_SCALING_ORIGINAL;
            break;
        }
    }
}

// The property page's dialog and title, as a resource script would give them.
#include "H264DecodeFilter/OrvexH264DecodeFilterResource.h"

#include <orvexdlg.h>
#include <streams.h>

namespace {

constexpr DWORD kFirstRadio = BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP;
constexpr DWORD kRadio = BS_AUTORADIOBUTTON;

const OrvexDialogControl kControls[] = {
    {IDC_DEBLOCKING_NOT_SKIP, L"BUTTON", kFirstRadio, L"Not Skip", 14, 15, 41, 10},
    {IDC_DEBLOCKING_SKIP_NON_REF, L"BUTTON", kRadio, L"Skip Non-Ref Pictures only", 14, 43, 97, 10},
    {IDC_DEBLOCKING_SKIP_ALL, L"BUTTON", kRadio, L"Skip All Pictures", 14, 29, 65, 10},
    {-1, L"BUTTON", BS_GROUPBOX, L"Skip Deblocking Filter", 6, 6, 115, 53},
    {-1, L"BUTTON", BS_GROUPBOX, L"Output Scaling mode", 6, 63, 113, 57},
    {IDC_SCALING_ORIGINAL, L"BUTTON", kFirstRadio, L"Original size", 14, 75, 52, 10},
    {IDC_SCALING_HALF, L"BUTTON", kRadio, L"Half size", 14, 90, 42, 10},
    {IDC_SCALING_QUARTER, L"BUTTON", kRadio, L"Quarter size", 14, 105, 51, 10},
};

const OrvexDialogTemplate kDialog = {
    DS_SETFONT | DS_CONTROL | WS_CHILD,       195,       127, L"MS UI Gothic", 9,
    sizeof(kControls) / sizeof(kControls[0]), kControls,
};

} // namespace

void RegisterDecodeFilterPageResources()
{
    const HINSTANCE hInstance = AmGetModuleInstance();
    OrvexRegisterDialogTemplate(hInstance, IDD_DECODE_PARAMETERS, &kDialog);
    OrvexRegisterStringResource(hInstance, IDS_DECODE_PARAMETERS_TITLE, L"Decode Parameters");
}

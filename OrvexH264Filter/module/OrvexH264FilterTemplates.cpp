// The module's class table: the parser filter, the decode filter and the
// decode filter's property page, with the setup records that register the
// two filters with the filter mapper.
#include <streams.h>

#include "H264DecodeFilter/OrvexH264DecodeFilter11.h"
#include "H264DecodeFilter/OrvexH264DecodeFilterPropertyPage.h"
#include "MovFileParserFilter/OrvexMovFileParserFilter.h"
#include "common/OrvexGuids.h"

namespace {

// 'avc1' as a media subtype, made from its four characters when the module
// is loaded, before anything can register or create a filter.
const GUID kSubtypeAvc1 = FOURCCMap(MAKEFOURCC('a', 'v', 'c', '1'));

const AMOVIESETUP_MEDIATYPE kParserInputType = {&MEDIATYPE_Stream, &MEDIASUBTYPE_NULL};
const AMOVIESETUP_MEDIATYPE kH264VideoType = {&MEDIATYPE_Video, &kSubtypeAvc1};
const AMOVIESETUP_MEDIATYPE kDecodedVideoType = {&MEDIATYPE_Video, &MEDIASUBTYPE_NULL};

// Name (LPWSTR in the SDK's record), rendered, output, zero, many, connects to filter, to pin, types.
const AMOVIESETUP_PIN kParserPins[] = {
    {const_cast<LPWSTR>(L"Input"), FALSE, FALSE, FALSE, FALSE, &GUID_NULL, NULL, 1, &kParserInputType},
    {const_cast<LPWSTR>(L"Output"), FALSE, TRUE, FALSE, TRUE, &GUID_NULL, NULL, 1, &kH264VideoType},
};

const AMOVIESETUP_PIN kDecodeFilterPins[] = {
    {const_cast<LPWSTR>(L"Input"), FALSE, FALSE, FALSE, FALSE, &GUID_NULL, NULL, 1, &kH264VideoType},
    {const_cast<LPWSTR>(L"Output"), FALSE, TRUE, FALSE, FALSE, &GUID_NULL, NULL, 1, &kDecodedVideoType},
};

constexpr DWORD kMerit = MERIT_NORMAL + 1;

const AMOVIESETUP_FILTER kParserSetup = {&CLSID_OrvexMovFileParserFilter, L"Orvex Mov File Parser Filter", kMerit, 2,
                                         kParserPins};
const AMOVIESETUP_FILTER kDecodeFilterSetup = {&CLSID_OrvexH264DecodeFilter11, L"Orvex H.264 Decode Filter 1.1", kMerit,
                                               2, kDecodeFilterPins};

} // namespace

CFactoryTemplate g_Templates[] = {
    {L"Orvex Mov File Parser Filter", &CLSID_OrvexMovFileParserFilter, COrvexMovFileParserFilter::CreateInstance, NULL,
     &kParserSetup},
    {L"Orvex H.264 Decode Filter 1.1 (CFactoryTemplate)", &CLSID_OrvexH264DecodeFilter11,
     COrvexH264DecodeFilter11::CreateInstance, NULL, &kDecodeFilterSetup},
    {L"Orvex H.264 Decode Filter PropertyPage", &CLSID_OrvexH264DecodeFilterPropertyPage,
     COrvexH264DecodeFilterPropertyPage::CreateInstance, NULL, NULL},
};
int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

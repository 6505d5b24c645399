// Resource identifiers of the decode filter's property page.
#pragma once

#define IDS_DECODE_PARAMETERS_TITLE 101
#define IDD_DECODE_PARAMETERS 102

// Deblocking skip mode = button id - IDC_DEBLOCKING_NOT_SKIP.
#define IDC_DEBLOCKING_NOT_SKIP 1001
#define IDC_DEBLOCKING_SKIP_ALL 1002
#define IDC_DEBLOCKING_SKIP_NON_REF 1003
// Output scaling mode = button id - IDC_SCALING_ORIGINAL.
#define IDC_SCALING_ORIGINAL 1017
#define IDC_SCALING_HALF 1018
#define IDC_SCALING_QUARTER 1019

#ifndef RC_INVOKED
// Makes the page's dialog template and title string known under the module
// instance. On Windows the module's resource script holds them and this does
// nothing.
void RegisterDecodeFilterPageResources();
#endif

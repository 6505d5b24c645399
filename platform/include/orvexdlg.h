// Linux-only resources for the dialog model of winuser.h: a module registers
// the dialog templates and strings that its resource script would hold on
// Windows, and a test or a text front end presses buttons as a user would.
#pragma once

#include "winuser.h"

extern "C" {

typedef struct OrvexDialogControl {
    int id;            // -1 for controls without an id (group boxes, labels)
    LPCWSTR className; // L"BUTTON", L"STATIC", L"EDIT"
    DWORD style;       // BS_* type and WS_GROUP, as in the resource script
    LPCWSTR text;
    short x, y, cx, cy; // dialog units
} OrvexDialogControl;

typedef struct OrvexDialogTemplate {
    DWORD style;
    short cx, cy; // dialog units
    LPCWSTR fontName;
    WORD pointSize;
    UINT cControls;
    const OrvexDialogControl *controls; // in template order
} OrvexDialogTemplate;

// Registers (or replaces) dialog template id of hInstance; the template is copied.
BOOL OrvexRegisterDialogTemplate(HINSTANCE hInstance, UINT id, const OrvexDialogTemplate *dialogTemplate);
// Registers (or replaces) string resource id of hInstance; the text is copied.
BOOL OrvexRegisterStringResource(HINSTANCE hInstance, UINT id, LPCWSTR text);
// Drops every template and string of hInstance.
void OrvexUnregisterResources(HINSTANCE hInstance);

// A user's click on button id: an automatic radio button becomes checked and
// the other radio buttons of its group (from the control with WS_GROUP at or
// before it up to the next one) are cleared; an automatic check box toggles.
// Then WM_COMMAND with BN_CLICKED goes to the dialog procedure. FALSE when the
// dialog has no such control or the control is disabled.
BOOL OrvexClickDlgButton(HWND hDlg, int id);

// The number of live dialog windows, for leak checks in tests.
LONG OrvexDialogWindowCount(void);
}

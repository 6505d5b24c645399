// Copies of the dialog templates and strings modules register (orvexdlg.h),
// shared by the dialog windows and LoadStringW.
#pragma once

#include <orvexdlg.h>

#include <string>
#include <vector>

namespace orvex::com {

struct DialogControlCopy {
    int id;
    std::wstring className;
    DWORD style;
    std::wstring text;
    short x, y, cx, cy;
};

struct DialogTemplateCopy {
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::wstring fontName;
    WORD pointSize = 0;
    std::vector<DialogControlCopy> controls;
};

// False when hInstance has no dialog template id.
bool findDialogTemplate(HINSTANCE hInstance, UINT id, DialogTemplateCopy &out);

} // namespace orvex::com

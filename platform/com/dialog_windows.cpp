// Dialog windows and their controls. A window handle is the address of a
// Window record that stays valid until DestroyWindow; every entry point checks
// the handle against the set of live windows first. Dialog procedures are
// called without the lock held, so they may call back in.
#include "dialog_resources.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <set>

namespace orvex::com {
namespace {

// Dialog base units: a dialog unit is a quarter of kBaseX pixels across and
// an eighth of kBaseY pixels down.
constexpr int kBaseX = 6;
constexpr int kBaseY = 13;
constexpr int kDialogSlots = 3; // DWLP_MSGRESULT, DWLP_DLGPROC, DWLP_USER

struct Window {
    bool isDialog = false;
    Window *dialog = nullptr; // the owning dialog of a control
    HWND parent = nullptr;    // the parent window given at creation (dialogs)
    HINSTANCE instance = nullptr;
    int id = -1;
    std::wstring className;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::wstring text;
    UINT check = BST_UNCHECKED;
    bool visible = false;
    bool enabled = true;
    RECT rect{};
    LONG_PTR userData = 0;
    LONG_PTR dialogSlots[kDialogSlots]{};
    std::vector<std::unique_ptr<Window>> controls; // template order
};

struct Windows {
    std::mutex lock;
    std::set<Window *> live;
    std::set<std::unique_ptr<Window>> dialogs; // owners of the dialogs
};

Windows &windows()
{
    static Windows w;
    return w;
}

RECT dialogUnitsToPixels(int x, int y, int cx, int cy)
{
    return RECT{x * kBaseX / 4, y * kBaseY / 8, (x + cx) * kBaseX / 4, (y + cy) * kBaseY / 8};
}

// The live window of a handle, or null (last error set). Caller holds the lock.
Window *lookup(Windows &w, HWND hWnd)
{
    auto it = w.live.find(static_cast<Window *>(hWnd));
    if (it == w.live.end()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return *it;
}

Window *lookupDialog(Windows &w, HWND hDlg)
{
    Window *dlg = lookup(w, hDlg);
    return dlg && dlg->isDialog ? dlg : nullptr;
}

Window *controlById(Window *dlg, int id)
{
    if (!dlg) return nullptr;
    for (auto &c : dlg->controls) {
        if (c->id == id && id != -1) return c.get();
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

DLGPROC procOf(const Window *dlg)
{
    return reinterpret_cast<DLGPROC>(dlg->dialogSlots[DWLP_DLGPROC / sizeof(LONG_PTR)]);
}

bool isRadio(const Window *c)
{
    DWORD type = c->style & BS_TYPEMASK;
    return c->className == L"BUTTON" && (type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON);
}

// Sends a message to a dialog's procedure without holding the lock.
INT_PTR callDialog(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    DLGPROC proc;
    {
        Windows &w = windows();
        std::lock_guard<std::mutex> guard(w.lock);
        Window *dlg = lookupDialog(w, hDlg);
        if (!dlg) return 0;
        proc = procOf(dlg);
    }
    return proc ? proc(hDlg, msg, wParam, lParam) : 0;
}

} // namespace
} // namespace orvex::com

using namespace orvex::com;

extern "C" HWND WINAPI CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                                          DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    DialogTemplateCopy tpl;
    if (!IS_INTRESOURCE(lpTemplateName) ||
        !findDialogTemplate(hInstance, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(lpTemplateName)), tpl)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    auto dlg = std::make_unique<Window>();
    dlg->isDialog = true;
    dlg->parent = hWndParent;
    dlg->instance = hInstance;
    dlg->className = L"#32770";
    dlg->style = tpl.style;
    dlg->visible = (tpl.style & WS_VISIBLE) != 0;
    dlg->rect = dialogUnitsToPixels(0, 0, tpl.cx, tpl.cy);
    dlg->dialogSlots[DWLP_DLGPROC / sizeof(LONG_PTR)] = reinterpret_cast<LONG_PTR>(lpDialogFunc);
    for (const DialogControlCopy &c : tpl.controls) {
        auto control = std::make_unique<Window>();
        control->dialog = dlg.get();
        control->instance = hInstance;
        control->id = c.id;
        control->className = c.className;
        control->style = c.style;
        control->text = c.text;
        control->visible = true;
        control->enabled = (c.style & WS_DISABLED) == 0;
        control->rect = dialogUnitsToPixels(c.x, c.y, c.cx, c.cy);
        dlg->controls.push_back(std::move(control));
    }
    HWND hDlg = dlg.get();
    {
        Windows &w = windows();
        std::lock_guard<std::mutex> guard(w.lock);
        w.live.insert(dlg.get());
        for (auto &c : dlg->controls)
            w.live.insert(c.get());
        w.dialogs.insert(std::move(dlg));
    }
    if (lpDialogFunc) lpDialogFunc(hDlg, WM_INITDIALOG, 0, dwInitParam);
    return hDlg;
}

extern "C" BOOL WINAPI DestroyWindow(HWND hWnd)
{
    {
        Windows &w = windows();
        std::lock_guard<std::mutex> guard(w.lock);
        Window *win = lookup(w, hWnd);
        if (!win) return FALSE;
        if (!win->isDialog) {
            Window *dlg = win->dialog;
            w.live.erase(win);
            std::erase_if(dlg->controls, [win](const std::unique_ptr<Window> &c) { return c.get() == win; });
            return TRUE;
        }
    }
    callDialog(hWnd, WM_DESTROY, 0, 0);
    std::unique_ptr<Window> owned;
    {
        Windows &w = windows();
        std::lock_guard<std::mutex> guard(w.lock);
        Window *dlg = lookupDialog(w, hWnd);
        if (!dlg) return FALSE; // destroyed by its own WM_DESTROY handling
        for (auto &c : dlg->controls)
            w.live.erase(c.get());
        w.live.erase(dlg);
        for (auto it = w.dialogs.begin(); it != w.dialogs.end(); ++it) {
            if (it->get() == dlg) {
                owned = std::move(w.dialogs.extract(it).value());
                break;
            }
        }
    }
    return TRUE;
}

extern "C" BOOL WINAPI IsWindow(HWND hWnd)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    return w.live.count(static_cast<Window *>(hWnd)) ? TRUE : FALSE;
}

extern "C" BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    Window *win = lookup(w, hWnd);
    if (!win) return FALSE;
    BOOL wasVisible = win->visible ? TRUE : FALSE;
    win->visible = nCmdShow != SW_HIDE;
    return wasVisible;
}

extern "C" BOOL WINAPI IsWindowVisible(HWND hWnd)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    Window *win = lookup(w, hWnd);
    return win && win->visible ? TRUE : FALSE;
}

extern "C" BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    Window *win = lookup(w, hWnd);
    if (!win) return FALSE;
    win->rect = RECT{X, Y, X + nWidth, Y + nHeight};
    return TRUE;
}

extern "C" BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    if (!lpRect) return FALSE;
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    Window *win = lookup(w, hWnd);
    if (!win) return FALSE;
    *lpRect = win->rect;
    return TRUE;
}

extern "C" BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect)
{
    if (!lpRect) return FALSE;
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    if (!lookupDialog(w, hDlg)) return FALSE;
    *lpRect =
        dialogUnitsToPixels(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top);
    return TRUE;
}

extern "C" HWND WINAPI GetParent(HWND hWnd)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    Window *win = lookup(w, hWnd);
    if (!win) return nullptr;
    return win->isDialog ? win->parent : static_cast<HWND>(win->dialog);
}

extern "C" BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    Window *win = lookup(w, hWnd);
    if (!win) return FALSE;
    BOOL wasDisabled = win->enabled ? FALSE : TRUE;
    win->enabled = bEnable != FALSE;
    return wasDisabled;
}

extern "C" BOOL WINAPI IsWindowEnabled(HWND hWnd)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    Window *win = lookup(w, hWnd);
    return win && win->enabled ? TRUE : FALSE;
}

extern "C" LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    HWND dialogToClick = nullptr;
    int idToClick = -1;
    {
        Windows &w = windows();
        std::unique_lock<std::mutex> guard(w.lock);
        Window *win = lookup(w, hWnd);
        if (!win) return 0;
        if (win->isDialog) {
            guard.unlock();
            return callDialog(hWnd, Msg, wParam, lParam);
        }
        switch (Msg) {
        case BM_GETCHECK:
            return win->check;
        case BM_SETCHECK:
            win->check = static_cast<UINT>(wParam);
            return 0;
        case BM_CLICK:
            dialogToClick = win->dialog;
            idToClick = win->id;
            break;
        case WM_SETTEXT:
            win->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
            return TRUE;
        case WM_GETTEXT: {
            LPWSTR out = reinterpret_cast<LPWSTR>(lParam);
            if (!out || wParam == 0) return 0;
            size_t n = std::min(win->text.size(), static_cast<size_t>(wParam) - 1);
            win->text.copy(out, n);
            out[n] = 0;
            return static_cast<LRESULT>(n);
        }
        default:
            return 0;
        }
    }
    OrvexClickDlgButton(dialogToClick, idToClick);
    return 0;
}

extern "C" HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    return controlById(lookupDialog(w, hDlg), nIDDlgItem);
}

extern "C" int WINAPI GetDlgCtrlID(HWND hWnd)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    Window *win = lookup(w, hWnd);
    return win && !win->isDialog && win->id != -1 ? win->id : 0;
}

extern "C" BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    Window *c = controlById(lookupDialog(w, hDlg), nIDButton);
    if (!c) return FALSE;
    c->check = uCheck;
    return TRUE;
}

extern "C" UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    Window *c = controlById(lookupDialog(w, hDlg), nIDButton);
    return c ? c->check : BST_UNCHECKED;
}

extern "C" BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    Window *dlg = lookupDialog(w, hDlg);
    if (!dlg) return FALSE;
    for (auto &c : dlg->controls) {
        if (c->id >= nIDFirstButton && c->id <= nIDLastButton) {
            c->check = c->id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED;
        }
    }
    return TRUE;
}

extern "C" BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    Window *c = controlById(lookupDialog(w, hDlg), nIDDlgItem);
    if (!c) return FALSE;
    c->text = lpString ? lpString : L"";
    return TRUE;
}

extern "C" UINT WINAPI GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax)
{
    if (!lpString || cchMax <= 0) return 0;
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    Window *c = controlById(lookupDialog(w, hDlg), nIDDlgItem);
    if (!c) {
        lpString[0] = 0;
        return 0;
    }
    size_t n = std::min(c->text.size(), static_cast<size_t>(cchMax) - 1);
    c->text.copy(lpString, n);
    lpString[n] = 0;
    return static_cast<UINT>(n);
}

extern "C" LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    Window *win = lookup(w, hWnd);
    if (!win) return 0;
    LONG_PTR *slot = nullptr;
    LONG_PTR styleValue = 0;
    switch (nIndex) {
    case GWLP_USERDATA:
        slot = &win->userData;
        break;
    case GWL_STYLE:
        styleValue = win->style;
        win->style = static_cast<DWORD>(dwNewLong);
        return styleValue;
    case GWL_EXSTYLE:
        styleValue = win->exStyle;
        win->exStyle = static_cast<DWORD>(dwNewLong);
        return styleValue;
    case GWLP_ID:
        styleValue = win->id;
        win->id = static_cast<int>(dwNewLong);
        return styleValue;
    default:
        if (win->isDialog && nIndex >= 0 && nIndex % static_cast<int>(sizeof(LONG_PTR)) == 0 &&
            nIndex / static_cast<int>(sizeof(LONG_PTR)) < kDialogSlots) {
            slot = &win->dialogSlots[nIndex / sizeof(LONG_PTR)];
        }
        break;
    }
    if (!slot) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    LONG_PTR old = *slot;
    *slot = dwNewLong;
    return old;
}

extern "C" LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    Window *win = lookup(w, hWnd);
    if (!win) return 0;
    switch (nIndex) {
    case GWLP_USERDATA:
        return win->userData;
    case GWL_STYLE:
        return win->style;
    case GWL_EXSTYLE:
        return win->exStyle;
    case GWLP_ID:
        return win->id;
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(win->instance);
    default:
        if (win->isDialog && nIndex >= 0 && nIndex % static_cast<int>(sizeof(LONG_PTR)) == 0 &&
            nIndex / static_cast<int>(sizeof(LONG_PTR)) < kDialogSlots) {
            return win->dialogSlots[nIndex / sizeof(LONG_PTR)];
        }
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
}

extern "C" LONG WINAPI SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong)
{
    return static_cast<LONG>(SetWindowLongPtrW(hWnd, nIndex, dwNewLong));
}

extern "C" LONG WINAPI GetWindowLongW(HWND hWnd, int nIndex)
{
    return static_cast<LONG>(GetWindowLongPtrW(hWnd, nIndex));
}

extern "C" BOOL OrvexClickDlgButton(HWND hDlg, int id)
{
    HWND control = nullptr;
    {
        Windows &w = windows();
        std::lock_guard<std::mutex> guard(w.lock);
        Window *dlg = lookupDialog(w, hDlg);
        Window *c = controlById(dlg, id);
        if (!c || !c->enabled || c->className != L"BUTTON") return FALSE;
        DWORD type = c->style & BS_TYPEMASK;
        if (type == BS_AUTORADIOBUTTON) {
            // The group starts at the nearest control at or before this one
            // that carries WS_GROUP and ends before the next that does.
            auto &controls = dlg->controls;
            size_t at = 0;
            while (controls[at].get() != c)
                ++at;
            size_t first = at;
            while (first > 0 && !(controls[first]->style & WS_GROUP))
                --first;
            for (size_t i = first; i < controls.size(); ++i) {
                if (i > first && (controls[i]->style & WS_GROUP)) break;
                if (isRadio(controls[i].get())) controls[i]->check = BST_UNCHECKED;
            }
            c->check = BST_CHECKED;
        } else if (type == BS_AUTOCHECKBOX) {
            c->check = c->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        }
        control = c;
    }
    callDialog(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    return TRUE;
}

extern "C" LONG OrvexDialogWindowCount(void)
{
    Windows &w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    return static_cast<LONG>(w.dialogs.size());
}

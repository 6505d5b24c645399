// Resource tables of the dialog model, keyed by module instance and id.
#include "dialog_resources.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

namespace orvex::com {
namespace {

using Key = std::pair<HINSTANCE, UINT>;

struct Resources {
    std::mutex lock;
    std::map<Key, DialogTemplateCopy> dialogs;
    std::map<Key, std::wstring> strings;
};

Resources &resources()
{
    static Resources r;
    return r;
}

std::wstring textOrEmpty(LPCWSTR s)
{
    return s ? std::wstring(s) : std::wstring();
}

} // namespace

bool findDialogTemplate(HINSTANCE hInstance, UINT id, DialogTemplateCopy &out)
{
    Resources &r = resources();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.dialogs.find({hInstance, id});
    if (it == r.dialogs.end()) return false;
    out = it->second;
    return true;
}

} // namespace orvex::com

using namespace orvex::com;

extern "C" BOOL OrvexRegisterDialogTemplate(HINSTANCE hInstance, UINT id, const OrvexDialogTemplate *dialogTemplate)
{
    if (!dialogTemplate || (dialogTemplate->cControls && !dialogTemplate->controls)) return FALSE;
    DialogTemplateCopy copy;
    copy.style = dialogTemplate->style;
    copy.cx = dialogTemplate->cx;
    copy.cy = dialogTemplate->cy;
    copy.fontName = textOrEmpty(dialogTemplate->fontName);
    copy.pointSize = dialogTemplate->pointSize;
    for (UINT i = 0; i < dialogTemplate->cControls; ++i) {
        const OrvexDialogControl &c = dialogTemplate->controls[i];
        copy.controls.push_back({c.id, textOrEmpty(c.className), c.style, textOrEmpty(c.text), c.x, c.y, c.cx, c.cy});
    }
    Resources &r = resources();
    std::lock_guard<std::mutex> guard(r.lock);
    r.dialogs[{hInstance, id}] = std::move(copy);
    return TRUE;
}

extern "C" BOOL OrvexRegisterStringResource(HINSTANCE hInstance, UINT id, LPCWSTR text)
{
    if (!text) return FALSE;
    Resources &r = resources();
    std::lock_guard<std::mutex> guard(r.lock);
    r.strings[{hInstance, id}] = text;
    return TRUE;
}

extern "C" void OrvexUnregisterResources(HINSTANCE hInstance)
{
    Resources &r = resources();
    std::lock_guard<std::mutex> guard(r.lock);
    std::erase_if(r.dialogs, [hInstance](const auto &e) { return e.first.first == hInstance; });
    std::erase_if(r.strings, [hInstance](const auto &e) { return e.first.first == hInstance; });
}

extern "C" int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax)
{
    if (!lpBuffer || cchBufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Resources &r = resources();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.strings.find({hInstance, uID});
    if (it == r.strings.end()) {
        if (cchBufferMax > 0) lpBuffer[0] = 0;
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    const std::wstring &text = it->second;
    if (cchBufferMax == 0) {
        // As on Windows: hand out a read-only pointer to the resource itself.
        *reinterpret_cast<LPCWSTR *>(lpBuffer) = text.c_str();
        return static_cast<int>(text.size());
    }
    size_t n = std::min(text.size(), static_cast<size_t>(cchBufferMax) - 1);
    text.copy(lpBuffer, n);
    lpBuffer[n] = 0;
    return static_cast<int>(n);
}

#include "ToolBarResource.h"

#include <commctrl.h>

#include "ProgramIds.h"

namespace shell {

namespace {

constexpr COLORREF kMaskColour = RGB(255, 0, 255);
constexpr UINT_PTR kSubclassId = 1;

// Destroys the tool bar's image list with the tool bar.
LRESULT CALLBACK OwnImageList(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg == WM_NCDESTROY) {
        auto list = reinterpret_cast<HIMAGELIST>(SendMessageW(w, TB_GETIMAGELIST, 0, 0));
        RemoveWindowSubclass(w, OwnImageList, kSubclassId);
        LRESULT r = DefSubclassProc(w, msg, wp, lp);
        if (list) ImageList_Destroy(list);
        return r;
    }
    return DefSubclassProc(w, msg, wp, lp);
}

HIMAGELIST LoadImages(HMODULE module, int bitmapId, int width, int height) {
    auto bitmap = static_cast<HBITMAP>(
        LoadImageW(module, MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap) return nullptr;
    BITMAP info = {};
    GetObjectW(bitmap, sizeof info, &info);
    const int count = width > 0 ? info.bmWidth / width : 0;
    HIMAGELIST list = count > 0 ? ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, count, 0) : nullptr;
    if (list && ImageList_AddMasked(list, bitmap, kMaskColour) < 0) {
        ImageList_Destroy(list);
        list = nullptr;
    }
    DeleteObject(bitmap);
    return list;
}

}  // namespace

std::vector<WORD> LoadToolBarResource(HMODULE module, int id, int* width, int* height) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(RT_TOOLBAR));
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const auto* words = static_cast<const WORD*>(loaded ? LockResource(loaded) : nullptr);
    const DWORD size = SizeofResource(module, found) / sizeof(WORD);
    if (!words || size < 4 || words[0] != 1 || size < 4u + words[3]) return {};
    if (width) *width = words[1];
    if (height) *height = words[2];
    return std::vector<WORD>(words + 4, words + 4 + words[3]);
}

HWND CreateToolBarFromResource(HWND parent, HMODULE module, int toolbarId, int bitmapId, UINT controlId,
                               DWORD extraStyle) {
    int width = 0, height = 0;
    const std::vector<WORD> items = LoadToolBarResource(module, toolbarId, &width, &height);
    if (items.empty()) return nullptr;
    HIMAGELIST images = LoadImages(module, bitmapId, width, height);
    if (!images) return nullptr;

    const DWORD style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                        CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN | extraStyle;
    HWND bar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, style, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(controlId)),
                               GetModuleHandleW(nullptr), nullptr);
    if (!bar) {
        ImageList_Destroy(images);
        return nullptr;
    }
    SetWindowSubclass(bar, OwnImageList, kSubclassId, 0);
    SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(bar, TB_SETBITMAPSIZE, 0, MAKELPARAM(width, height));
    SendMessageW(bar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));

    std::vector<TBBUTTON> buttons(items.size());
    int image = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        TBBUTTON& b = buttons[i];
        if (items[i] == 0) {
            b.fsStyle = BTNS_SEP;
            continue;
        }
        b.iBitmap = image++;
        b.idCommand = items[i];
        b.fsState = TBSTATE_ENABLED;
        b.fsStyle = BTNS_BUTTON;
    }
    SendMessageW(bar, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    SendMessageW(bar, TB_AUTOSIZE, 0, 0);
    return bar;
}

}  // namespace shell

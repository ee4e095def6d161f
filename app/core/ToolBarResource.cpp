#include "ToolBarResource.h"

#include <commctrl.h>

#include <algorithm>

#include "Dpi.h"
#include "Owners.h"
#include "ProgramIds.h"

namespace shell {

namespace {

constexpr COLORREF kMaskColour = RGB(255, 0, 255);
constexpr UINT_PTR kSubclassId = 1;

// Where the tool bar's images come from, to draw them again at another
// resolution.
struct ImageSource {
    HMODULE module;
    int bitmapId, width, height;
    int scale;  // the images' current size: width and height times this
};

// Pixel art grows by whole steps: 1 up to 143 dpi, 2 up to 239, and so on.
int ImageScale(int dpi) { return std::max(1, (dpi + dpi::kDefault / 2) / dpi::kDefault); }

// The strip `scale` times larger, each pixel a square of pixels, so that the
// transparent colour stays exact.
HBITMAP Enlarge(HBITMAP strip, int scale) {
    BITMAP info = {};
    GetObjectW(strip, sizeof info, &info);
    const CWindowDc screen(nullptr);
    const CUniqueDc from(CreateCompatibleDC(screen.get())), to(CreateCompatibleDC(screen.get()));
    HBITMAP large = CreateCompatibleBitmap(screen.get(), info.bmWidth * scale, info.bmHeight * scale);
    if (large) {
        const CSelectScope selectFrom(from.get(), strip), selectTo(to.get(), large);
        SetStretchBltMode(to.get(), COLORONCOLOR);
        StretchBlt(to.get(), 0, 0, info.bmWidth * scale, info.bmHeight * scale, from.get(), 0, 0, info.bmWidth,
                   info.bmHeight, SRCCOPY);
    }
    return large;
}

HIMAGELIST LoadImages(HMODULE module, int bitmapId, int width, int height, int scale) {
    UniqueGdiT<HBITMAP> bitmap(static_cast<HBITMAP>(
        LoadImageW(module, MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bitmap) return nullptr;
    if (scale > 1) {
        bitmap.reset(Enlarge(bitmap.get(), scale));
        if (!bitmap) return nullptr;
        width *= scale;
        height *= scale;
    }
    BITMAP info = {};
    GetObjectW(bitmap.get(), sizeof info, &info);
    const int count = width > 0 ? info.bmWidth / width : 0;
    HIMAGELIST list = count > 0 ? ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, count, 0) : nullptr;
    if (list && ImageList_AddMasked(list, bitmap.get(), kMaskColour) < 0) {
        ImageList_Destroy(list);
        list = nullptr;
    }
    return list;
}

// In a rebar, the tool bar's band takes its new size.
void FitBand(HWND bar) {
    HWND rebar = GetParent(bar);
    wchar_t name[32] = {};
    if (!rebar || !GetClassNameW(rebar, name, 32) || lstrcmpiW(name, REBARCLASSNAMEW) != 0) return;
    SIZE size = {};
    SendMessageW(bar, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
    const int count = int(SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        REBARBANDINFOW band = {};
        band.cbSize = sizeof band;
        band.fMask = RBBIM_CHILD;
        if (!SendMessageW(rebar, RB_GETBANDINFOW, WPARAM(i), reinterpret_cast<LPARAM>(&band)) ||
            band.hwndChild != bar)
            continue;
        band.fMask = RBBIM_CHILDSIZE | RBBIM_IDEALSIZE;
        band.cyMinChild = size.cy;
        band.cxIdeal = size.cx;
        SendMessageW(rebar, RB_SETBANDINFOW, WPARAM(i), reinterpret_cast<LPARAM>(&band));
    }
}

// The images drawn again at the frame's new resolution.
void Rescale(HWND bar, ImageSource& source) {
    const int scale = ImageScale(dpi::Of(bar));
    if (scale == source.scale) return;
    HIMAGELIST images = LoadImages(source.module, source.bitmapId, source.width, source.height, scale);
    if (!images) return;
    source.scale = scale;
    auto old = reinterpret_cast<HIMAGELIST>(SendMessageW(bar, TB_GETIMAGELIST, 0, 0));
    SendMessageW(bar, TB_SETBITMAPSIZE, 0, MAKELPARAM(source.width * scale, source.height * scale));
    SendMessageW(bar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    if (old) ImageList_Destroy(old);
    SendMessageW(bar, TB_AUTOSIZE, 0, 0);
    FitBand(bar);
    InvalidateRect(bar, nullptr, TRUE);
}

// Destroys the tool bar's image list with the tool bar, and draws the
// images again when the frame's resolution changes.
LRESULT CALLBACK OwnImageList(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* source = reinterpret_cast<ImageSource*>(data);
    if (msg == WM_NCDESTROY) {
        auto list = reinterpret_cast<HIMAGELIST>(SendMessageW(w, TB_GETIMAGELIST, 0, 0));
        RemoveWindowSubclass(w, OwnImageList, kSubclassId);
        LRESULT r = DefSubclassProc(w, msg, wp, lp);
        if (list) ImageList_Destroy(list);
        delete source;
        return r;
    }
    if (msg == WM_DPICHANGED_AFTERPARENT && source) {
        Rescale(w, *source);
        return 0;
    }
    return DefSubclassProc(w, msg, wp, lp);
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
    const int scale = ImageScale(dpi::Of(parent));
    HIMAGELIST images = LoadImages(module, bitmapId, width, height, scale);
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
    SetWindowSubclass(bar, OwnImageList, kSubclassId,
                      reinterpret_cast<DWORD_PTR>(new ImageSource{module, bitmapId, width, height, scale}));
    SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(bar, TB_SETBITMAPSIZE, 0, MAKELPARAM(width * scale, height * scale));
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

#include "Printer.h"

// First: the extended print dialog's declarations need STDMETHOD.
#include <objbase.h>
#include <commdlg.h>
#include <winspool.h>

#include <cstring>

#include "SystemCalls.h"

namespace printing {
namespace {

DefaultPrinterLookup g_lookup = nullptr;
PrintDialogHook g_dialogHook = nullptr;

// The printing and print-dialog functions, from their libraries on first use
// (winspool.drv and comdlg32.dll, with what they load, cost every start).
BOOL DefaultPrinterOfSystem(wchar_t* buffer, DWORD* size) {
    static const auto f =
        shell::sys::Function<decltype(&GetDefaultPrinterW)>(L"winspool.drv", "GetDefaultPrinterW");
    return f ? f(buffer, size) : FALSE;
}

BOOL OpenPrinterOfSystem(wchar_t* name, HANDLE* handle) {
    static const auto f = shell::sys::Function<decltype(&OpenPrinterW)>(L"winspool.drv", "OpenPrinterW");
    return f ? f(name, handle, nullptr) : FALSE;
}

LONG DocumentPropertiesOfSystem(HANDLE handle, wchar_t* name, DEVMODEW* out, DWORD mode) {
    static const auto f =
        shell::sys::Function<decltype(&DocumentPropertiesW)>(L"winspool.drv", "DocumentPropertiesW");
    return f ? f(nullptr, handle, name, out, nullptr, mode) : -1;
}

void ClosePrinterOfSystem(HANDLE handle) {
    static const auto f = shell::sys::Function<decltype(&ClosePrinter)>(L"winspool.drv", "ClosePrinter");
    if (f) f(handle);
}

HRESULT PrintDlgExOfSystem(PRINTDLGEXW* pd) {
    static const auto f = shell::sys::Function<decltype(&PrintDlgExW)>(L"comdlg32.dll", "PrintDlgExW");
    return f ? f(pd) : E_FAIL;
}

bool SystemDefaultPrinter(std::wstring* name) {
    DWORD size = 0;
    DefaultPrinterOfSystem(nullptr, &size);
    if (size == 0) return false;
    std::wstring text(size, L'\0');
    if (!DefaultPrinterOfSystem(text.data(), &size)) return false;
    text.resize(wcsnlen(text.c_str(), text.size()));
    *name = text;
    return !text.empty();
}

// A movable global block holding `size` bytes of `data`; null on failure.
HGLOBAL GlobalCopy(const void* data, size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!block) return nullptr;
    if (void* p = GlobalLock(block)) {
        if (data) std::memcpy(p, data, size);
        GlobalUnlock(block);
    }
    return block;
}

HGLOBAL MakeDevNames(const std::wstring& printer) {
    const size_t chars = 3 + printer.size() + 1 + 1;  // three offsets' worth of text, then the strings
    const size_t size = sizeof(DEVNAMES) + chars * sizeof(wchar_t) + 8;
    HGLOBAL block = GlobalCopy(nullptr, size);
    if (!block) return nullptr;
    auto* names = static_cast<DEVNAMES*>(GlobalLock(block));
    auto* text = reinterpret_cast<wchar_t*>(names);
    const WORD start = sizeof(DEVNAMES) / sizeof(wchar_t);
    names->wDriverOffset = start;  // empty driver name
    names->wDeviceOffset = WORD(start + 1);
    std::memcpy(text + start + 1, printer.c_str(), printer.size() * sizeof(wchar_t));
    names->wOutputOffset = WORD(start + 1 + printer.size() + 1);  // empty port
    names->wDefault = 0;
    GlobalUnlock(block);
    return block;
}

bool RunPrintDlgEx(HWND owner, const CPrinter& printer, PrintChoice* choice) {
    PRINTDLGEXW pd = {};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = owner;
    if (const DEVMODEW* mode = printer.DevMode())
        pd.hDevMode = GlobalCopy(mode, mode->dmSize + mode->dmDriverExtra);
    pd.hDevNames = MakeDevNames(printer.Name());
    pd.Flags = PD_NOSELECTION | PD_NOPAGENUMS | PD_NOCURRENTPAGE | PD_USEDEVMODECOPIESANDCOLLATE;
    pd.nStartPage = START_PAGE_GENERAL;
    const HRESULT hr = PrintDlgExOfSystem(&pd);
    bool ok = SUCCEEDED(hr) && pd.dwResultAction != PD_RESULT_CANCEL;
    if (ok) {
        choice->action = pd.dwResultAction == PD_RESULT_PRINT ? PrintChoice::kPrint : PrintChoice::kApply;
        if (pd.hDevMode) {
            if (auto* mode = static_cast<const BYTE*>(GlobalLock(pd.hDevMode))) {
                const auto* dm = reinterpret_cast<const DEVMODEW*>(mode);
                choice->devMode.assign(mode, mode + dm->dmSize + dm->dmDriverExtra);
                GlobalUnlock(pd.hDevMode);
            }
        }
        if (pd.hDevNames) {
            if (auto* names = static_cast<const DEVNAMES*>(GlobalLock(pd.hDevNames))) {
                choice->printer = reinterpret_cast<const wchar_t*>(names) + names->wDeviceOffset;
                GlobalUnlock(pd.hDevNames);
            }
        }
        choice->output = (pd.Flags & PD_PRINTTOFILE) ? L"FILE:" : L"";
    } else {
        choice->action = PrintChoice::kCancel;
    }
    if (pd.hDC) DeleteDC(pd.hDC);
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
    if (pd.hDevNames) GlobalFree(pd.hDevNames);
    return ok;
}

}  // namespace

DefaultPrinterLookup SetDefaultPrinterLookup(DefaultPrinterLookup lookup) {
    DefaultPrinterLookup old = g_lookup;
    g_lookup = lookup;
    return old;
}

bool DefaultPrinterName(std::wstring* name) { return g_lookup ? g_lookup(name) : SystemDefaultPrinter(name); }

PrintDialogHook SetPrintDialogHook(PrintDialogHook hook) {
    PrintDialogHook old = g_dialogHook;
    g_dialogHook = hook;
    return old;
}

bool ShowPrintDialog(HWND owner, const CPrinter& printer, PrintChoice* choice) {
    *choice = PrintChoice();
    if (g_dialogHook) return g_dialogHook(owner, printer, choice) && choice->action != PrintChoice::kCancel;
    return RunPrintDlgEx(owner, printer, choice);
}

bool CPrinter::OpenDefault() {
    std::wstring name;
    if (!DefaultPrinterName(&name)) {
        Close();
        return false;
    }
    return Open(name, nullptr);
}

bool CPrinter::Open(const std::wstring& name, const DEVMODEW* mode) {
    HANDLE handle = nullptr;
    if (name.empty() || !OpenPrinterOfSystem(const_cast<wchar_t*>(name.c_str()), &handle)) return false;
    std::vector<BYTE> block;
    if (mode) {
        const auto* bytes = reinterpret_cast<const BYTE*>(mode);
        block.assign(bytes, bytes + mode->dmSize + mode->dmDriverExtra);
    } else {
        const LONG size = DocumentPropertiesOfSystem(handle, const_cast<wchar_t*>(name.c_str()), nullptr, 0);
        if (size > 0) {
            block.resize(size_t(size));
            if (DocumentPropertiesOfSystem(handle, const_cast<wchar_t*>(name.c_str()),
                                           reinterpret_cast<DEVMODEW*>(block.data()), DM_OUT_BUFFER) < 0)
                block.clear();
        }
    }
    Close();
    name_ = name;
    handle_ = handle;
    devMode_ = std::move(block);
    return true;
}

void CPrinter::Close() {
    if (handle_) ClosePrinterOfSystem(handle_);
    handle_ = nullptr;
    name_.clear();
    devMode_.clear();
}

const DEVMODEW* CPrinter::DevMode() const {
    return devMode_.size() >= offsetof(DEVMODEW, dmFields)
               ? reinterpret_cast<const DEVMODEW*>(devMode_.data())
               : nullptr;
}

HDC CPrinter::CreateDc() const {
    if (!handle_) return nullptr;
    return CreateDCW(L"WINSPOOL", name_.c_str(), nullptr, DevMode());
}

}  // namespace printing

// The printer a print frame works with: its name, an open handle and a
// device-mode block; the default printer at first, replaced by the print
// dialog's choice. Also the print dialog itself, which tests replace.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace printing {

class CPrinter {
   public:
    CPrinter() = default;
    CPrinter(const CPrinter&) = delete;
    CPrinter& operator=(const CPrinter&) = delete;
    ~CPrinter() { Close(); }

    // The system's default printer; false (and closed) when there is none.
    bool OpenDefault();
    // Printer `name` with device mode `mode` (null: the printer's own).
    bool Open(const std::wstring& name, const DEVMODEW* mode);
    void Close();

    bool IsOpen() const { return handle_ != nullptr; }
    const std::wstring& Name() const { return name_; }
    // Null when the driver gave none.
    const DEVMODEW* DevMode() const;
    // A device context for printing on it (the caller deletes it); null on failure.
    HDC CreateDc() const;

   private:
    std::wstring name_;
    HANDLE handle_ = nullptr;
    std::vector<BYTE> devMode_;
};

// The default printer's name; false when there is none. Tests replace the
// lookup to see the program without a printer.
using DefaultPrinterLookup = bool (*)(std::wstring* name);
DefaultPrinterLookup SetDefaultPrinterLookup(DefaultPrinterLookup lookup);  // null restores the system's
bool DefaultPrinterName(std::wstring* name);

// What the user chose in the print dialog.
struct PrintChoice {
    enum Action { kCancel, kPrint, kApply } action = kCancel;
    std::wstring printer;       // empty: the current one
    std::vector<BYTE> devMode;  // empty: the current one
    // Null-free text: empty for the printer, "FILE:" for printing to a file
    // (the driver asks for its name), or a file path.
    std::wstring output;
};

// Runs the print dialog (PrintDlgExW) for `printer`: no selection, no page
// ranges, no current page; copies and collation are the device mode's.
// Tests install a hook that answers instead (null restores the dialog).
using PrintDialogHook = bool (*)(HWND owner, const CPrinter& printer, PrintChoice* choice);
PrintDialogHook SetPrintDialogHook(PrintDialogHook hook);
bool ShowPrintDialog(HWND owner, const CPrinter& printer, PrintChoice* choice);

}  // namespace printing

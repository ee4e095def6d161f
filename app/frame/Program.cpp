#include "Program.h"

#include <commctrl.h>
#include <ole2.h>

#include <atomic>
#include <iterator>

#include "CommandIds.h"
#include "CommandLine.h"
#include "Dpi.h"
#include "MainFrame.h"
#include "MessageLoop.h"
#include "MessageSink.h"
#include "Owners.h"
#include "ProgramIds.h"
#include "ScriptHost.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "StartupMarks.h"
#include "Window.h"
#include "WindowPlacement.h"

namespace shell {
namespace {

constexpr const wchar_t* kDefaultLanguage = L"mui\\en.dll";

std::wstring LanguageSetting() {
    std::wstring value;
    if (!settings::ReadString(settings::File::Setting, L"Setting", L"Language", value))
        value = kDefaultLanguage;
    return value;
}

// A string of the executable's own table (the language library may be the
// thing that is missing).
std::wstring OwnString(UINT id) {
    const wchar_t* text = nullptr;
    const int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return n > 0 ? std::wstring(text, size_t(n)) : std::wstring();
}

// The path in place of the first "%s"; the text is never used as a format.
std::wstring WithPath(std::wstring text, const std::wstring& path) {
    const size_t at = text.find(L"%s");
    if (at == std::wstring::npos) return text + path;
    return text.replace(at, 2, path);
}

}  // namespace

bool SingleInstanceCheck(std::wstring_view commandLine) {
    if (settings::ReadBool(settings::File::Setting, L"Setting", L"MulInst", false)) return true;
    // Owned for the life of the process; the system releases it at exit.
    CUniqueHandle mutex(CreateMutexW(nullptr, TRUE, MORROWPAD_MUTEX_NAME));
    if (mutex && GetLastError() != ERROR_ALREADY_EXISTS) {
        mutex.release();
        return true;
    }
    mutex.reset();
    HWND running = FindWindowW(MORROWPAD_FRAME_CLASS, nullptr);
    if (!running) return true;
    const std::wstring line(commandLine);
    COPYDATASTRUCT record = MakeHandOver(line);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record), SMTO_ABORTIFHUNG, 5000,
                        &result);
    SetForegroundWindow(running);
    SetFocus(running);
    return false;
}

bool LoadLanguage() {
    const std::wstring folder = settings::ProgramFolder();
    const std::wstring chosen = folder + LanguageSetting();
    HMODULE language = LoadLibraryW(chosen.c_str());
    if (!language) {
        ShowMessage(nullptr, WithPath(OwnString(IDS_LANGUAGE_LOAD_FAILED), chosen).c_str(),
                    MB_ICONEXCLAMATION);
        language = LoadLibraryW((folder + kDefaultLanguage).c_str());
        if (!language) {
            ShowMessage(nullptr, OwnString(IDS_DEFAULT_LANGUAGE_FAILED).c_str(), MB_ICONEXCLAMATION);
            return false;
        }
    }
    SetResourceModule(language);
    return true;
}

HMODULE LoadEditLibrary() { return LoadLibraryW((settings::ProgramFolder() + L"Edit.dll").c_str()); }

std::vector<std::wstring> CPlugDepPreloaderThread::ListLibraries(const std::wstring& folder) {
    return {folder + L"chardet.dll", folder + LanguageSetting()};
}

void CPlugDepPreloaderThread::Run() {
    for (const std::wstring& path : Libraries()) LoadLibraryW(path.c_str());  // never freed
    CUniqueHandle edit(CreateFileW((folder_ + L"Edit.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!edit) return;
    static char buffer[64 * 1024];  // only this thread reads into it
    DWORD got = 0;
    while (ReadFile(edit.get(), buffer, sizeof buffer, &got, nullptr) && got) {
    }
}

void CConfigPreloaderThread::Run() {
    for (settings::File f :
         {settings::File::Setting, settings::File::History, settings::File::Key, settings::File::Tools}) {
        // Shared for everything, so that the main thread converting or
        // writing the file at this moment is never refused.
        CUniqueHandle file(CreateFileW(settings::PathOf(f).c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    }
}

void CFontWarmUpThread::Run() {
    const UniqueGdiT<HFONT> font(CreateFontIndirectW(&font_));
    const CUniqueDc dc(CreateCompatibleDC(nullptr));
    if (!font || !dc) return;
    const HGDIOBJ old = SelectObject(dc.get(), font.get());
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc.get(), &metrics);
    static const wchar_t kSample[] = L" 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz[EOF]";
    SIZE size = {};
    GetTextExtentPoint32W(dc.get(), kSample, int(std::size(kSample) - 1), &size);
    SelectObject(dc.get(), old);
}

void StartWarmUpThreads() {
    // The document font as a new document's panes make it (at the system's resolution).
    const int slot =
        ID_FONT_FIRST + settings::ReadClampedInt(settings::File::Setting, L"Fonts", L"CurrentFont");
    CThreadImpl<CFontWarmUpThread>::Launch(std::make_unique<CFontWarmUpThread>(
        settings::ToLogFont(settings::ReadFontSlot(slot), dpi::Of(nullptr))));
    CThreadImpl<CPlugDepPreloaderThread>::Launch(
        std::make_unique<CPlugDepPreloaderThread>(settings::ProgramFolder()));
    CThreadImpl<CConfigPreloaderThread>::Launch(std::make_unique<CConfigPreloaderThread>());
}

int RunMainFrame(int show, std::wstring_view commandLine, HMODULE editLibrary) {
    CMessageLoop loop;
    AddMessageLoop(&loop);
    auto frame = std::make_unique<CMainFrame>();
    startup::Mark("loop made");
    if (!frame->Create(commandLine, editLibrary)) {
        RemoveMessageLoop();
        return 0;
    }
    startup::Mark("frame created");
    if (show != SW_SHOWNORMAL || !RestorePlacement(frame->Window())) ShowWindow(frame->Window(), show);
    startup::Mark("shown");
    const int code = loop.Run();
    RemoveMessageLoop();
    frame.reset();  // destroys the window if it still exists
    return code;
}

int RunProgram(int show, std::wstring_view commandLine) {
    const HRESULT com = CoInitialize(nullptr);
    const HRESULT ole = OleInitialize(nullptr);
    startup::Mark("COM");
    int code = 0;
    if (SingleInstanceCheck(commandLine)) {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_COOL_CLASSES};
        InitCommonControlsEx(&icc);
        startup::Mark("instance, common controls");
        StartWarmUpThreads();
        startup::Mark("warm-up threads");
        syntax::SetScriptEngineChoice(
            settings::ReadClampedInt(settings::File::Setting, L"Setting", L"ScriptEngine"));
        const bool language = LoadLanguage();
        settings::ReportSetAsideFiles();  // found by the reads so far, told in the language's words
        startup::Mark("language library");
        if (!language) {
            code = -1;
        } else {
            CUniqueLibrary edit(LoadEditLibrary());
            startup::Mark("Edit.dll");
            if (edit) code = RunMainFrame(show, commandLine, edit.get());
        }
    }
    if (SUCCEEDED(ole)) OleUninitialize();
    if (SUCCEEDED(com)) CoUninitialize();
    return code;
}

}  // namespace shell

// The program's start-up and shutdown, step by step; WinMain only calls
// RunProgram. The steps are separate so that tests can run each one in
// their own process.
//
//   COM and OLE up -> single-instance check (or hand-over and exit 0) ->
//   common controls -> warm-up threads -> language library (exit -1 when
//   not even the default loads) -> Edit.dll (exit 0, silently, when
//   missing) -> main frame and message loop -> Edit.dll freed -> OLE and
//   COM down.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Owners.h"
#include "Resources.h"

namespace shell {

// True when start-up goes on: Setting/MulInst is set, this is the first
// instance, or no running frame was found. Otherwise the command line has
// been handed to the running frame (WM_COPYDATA, 5 s at most) and the
// caller ends with exit code 0.
bool SingleInstanceCheck(std::wstring_view commandLine);

// Program folder + Setting/Language (default "mui\en.dll"), falling back to
// "mui\en.dll" after a message; false after the second message when the
// default cannot be loaded either. On success the library becomes the
// resource module; it is never freed.
bool LoadLanguage();

// Edit.dll by its full path in the program folder (never from the search
// path), or null.
HMODULE LoadEditLibrary();

// A thread that runs T::Run once and then deletes its own object: nobody
// waits for it. An exception never leaves the thread.
template <class T>
class CThreadImpl {
   public:
    virtual ~CThreadImpl() = default;
    // Created suspended, then resumed. False (and the object deleted) when
    // the thread cannot be created.
    static bool Launch(std::unique_ptr<T> thread) {
        T* self = thread.release();
        const CUniqueHandle h(CreateThread(nullptr, 0, &Entry, self, CREATE_SUSPENDED, nullptr));
        if (!h) {
            delete self;
            return false;
        }
        ResumeThread(h.get());
        return true;
    }

   private:
    static DWORD WINAPI Entry(void* p) {
        T* self = static_cast<T*>(p);
        try {
            self->Run();
        } catch (...) {
        }
        delete self;
        return 0;
    }
};

// Warms the program's own libraries so that their later loads are cheap:
// chardet.dll and the language library are loaded (and stay loaded);
// Edit.dll is only read through, because its entry point initialises OLE on
// the thread that loads it, which must be the main thread. Nothing else in
// the folder is touched: loading every DLL found there would run any
// library planted beside the executable.
class CPlugDepPreloaderThread : public CThreadImpl<CPlugDepPreloaderThread> {
   public:
    // The list is made by the thread that starts this one: reading the
    // settings may convert a settings file, which only the main thread does.
    explicit CPlugDepPreloaderThread(std::wstring folder)
        : folder_(std::move(folder)), libraries_(ListLibraries(folder_)) {}
    void Run();
    // The libraries loaded, by full path: chardet.dll, then the language
    // library named in the settings (or the default).
    const std::vector<std::wstring>& Libraries() const { return libraries_; }

   private:
    static std::vector<std::wstring> ListLibraries(const std::wstring& folder);
    std::wstring folder_;
    std::vector<std::wstring> libraries_;
};

// Opens and closes setting.ini, history.ini, key.ini and tools.ini so that
// they are in the system cache; missing files are skipped.
class CConfigPreloaderThread : public CThreadImpl<CConfigPreloaderThread> {
   public:
    void Run();
};

// Loads the editor font's face and the metrics of its first characters
// while the main thread makes the frame, so that a document's first paint
// finds them in the system's font cache. The font is described by the thread
// that starts this one (from the settings).
class CFontWarmUpThread : public CThreadImpl<CFontWarmUpThread> {
   public:
    explicit CFontWarmUpThread(const LOGFONTW& font) : font_(font) {}
    void Run();

   private:
    LOGFONTW font_;
};

void StartWarmUpThreads();

// Creates the frame, shows it (restoring Setting/WinPos for SW_SHOWNORMAL),
// runs the loop and destroys the frame; the loop's exit code, or 0 when the
// frame cannot be created.
int RunMainFrame(int show, std::wstring_view commandLine, HMODULE editLibrary);

// Everything from COM up to COM down; the process exit code.
int RunProgram(int show, std::wstring_view commandLine);

}  // namespace shell

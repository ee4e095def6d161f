// Running external tool n (frame commands 29000 + n): its record is read
// from "tools.ini" at each run, the arguments are asked for when the tool
// wants that, the placeholders are replaced from the active document, and
// the tool is either handed to the shell or started with its output
// captured into the output window.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "Redirector.h"
#include "Tools.h"

namespace automation {

class CToolRunner {
   public:
    // What a run needs of the frame.
    struct Host {
        HWND frame = nullptr;  // owner of the shell's windows and of the arguments dialog
        // The active document's pane, or null.
        std::function<HWND()> activePane;
        // Shows the output window (made on first use) and gives its redirector; null on failure.
        std::function<CRedirector*()> showOutput;
        // The one-line input dialog: true when confirmed, *value holding the text.
        std::function<bool(HWND owner, const std::wstring& caption, const std::wstring& prompt,
                           std::wstring* value)>
            ask;
    };

    explicit CToolRunner(Host host) : host_(std::move(host)) {}

    // Runs tool n. False when the run was cancelled or could not start (a
    // captured tool says why in the output window; the shell reports its
    // own failures).
    bool Run(int n);
    // The Tools popup rebuilt from "tools.ini".
    void RebuildMenu(HMENU tools) const { RebuildToolsMenu(tools, ReadTools()); }

   private:
    Host host_;
};

}  // namespace automation

// The plug-in loader. When the frame has been created it loads every
// "*.dll" of the program folder's "plugin\" that exports Plugin_Initialize,
// in the order the file system lists them, and hands each an IDevEnv; then,
// when the library exports it, Plugin_SetMenu with the plug-in popup (top-
// level position 7, whose placeholder item is removed first). When the
// frame is destroyed, Plugin_Uninitialize of each running plug-in is called,
// the last loaded first. No library is ever freed: windows and hooks of a
// plug-in may outlive its calls.
//
// Each plug-in gets an IDevEnv of its own that passes every call on to the
// frame's and notes what the plug-in registered: listeners, panes and
// command states. The frame holds guards in place of the plug-in's
// listeners, which call them and catch whatever they throw. So a plug-in
// whose entry point throws ("fails its initialisation": the entry points
// return nothing) has what it registered taken back and is skipped, one
// that throws from a listener is stopped the same way, and none is called
// after its Plugin_Uninitialize. Every library skipped or stopped leaves a
// line in the output window; the others load on.
//
// Only C++ exceptions are caught. A hardware fault inside a plug-in (an
// access violation) is not: GCC has no structured exception handling, so
// it reaches the crash report like any fault of the program.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "DevEnv.h"

namespace automation {

enum class PluginState {
    kRunning,       // initialised, its listeners are called
    kNotLoaded,     // LoadLibrary failed (error in PluginInfo)
    kNoEntryPoint,  // loaded, but no Plugin_Initialize: left alone
    kFailed,        // an entry point threw: what it registered was taken back
    kStopped,       // a listener threw, or Plugin_Uninitialize was called
};

struct PluginInfo {
    std::wstring file;  // the name in the folder
    PluginState state = PluginState::kNotLoaded;
    DWORD error = 0;  // kNotLoaded: the loader's error code
};

class CPlugin;

class CPluginSet {
   public:
    CPluginSet();
    CPluginSet(const CPluginSet&) = delete;
    CPluginSet& operator=(const CPluginSet&) = delete;
    ~CPluginSet();

    // Removes the item at position 0 of `menu` (when there is a menu), then
    // loads the plug-ins of `folder` (with a trailing backslash) for
    // `frame`. Loading twice does nothing the second time.
    void Load(IDevEnv* frame, HMENU menu, const std::wstring& folder);
    // Plugin_Uninitialize of every running plug-in that exports it, newest
    // first; afterwards the frame calls none of their listeners.
    void Unload();

    // Every library seen, in load order.
    std::vector<PluginInfo> Plugins() const;

   private:
    std::vector<std::unique_ptr<CPlugin>> plugins_;
    bool loaded_ = false;
};

}  // namespace automation

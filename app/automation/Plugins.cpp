#include "Plugins.h"

#include <algorithm>

#include "DialogIds.h"
#include "Owners.h"
#include "Resources.h"

namespace automation {
namespace {

// The entry points take one pointer-sized argument and use the C calling
// convention (the caller removes the argument), so a library that declares
// Plugin_Uninitialize without its argument is called safely too.
using InitializeFn = void(__cdecl*)(IDevEnv* env);
using SetMenuFn = void(__cdecl*)(HMENU menu);
using UninitializeFn = void(__cdecl*)(IDevEnv* env);

template <class Fn>
Fn Entry(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Runs plug-in code; false when it threw.
template <class F>
bool Guarded(F&& call) noexcept {
    try {
        call();
        return true;
    } catch (...) {
        return false;
    }
}

// A line for the output window: the language library's text, or ours when
// it has none.
std::wstring Line(UINT id, const wchar_t* fallback, std::initializer_list<std::wstring> args) {
    std::wstring text = shell::FormatLanguageString(id, args);
    if (text.empty()) text = shell::FormatText(fallback, args);
    return text + L"\r\n";
}

}  // namespace

// One library: the IDevEnv it was given, which notes what it registered.
class CPlugin final : public IDevEnv {
   public:
    CPlugin(IDevEnv* frame, std::wstring file, HMODULE module) : frame_(frame), module_(module) {
        info_.file = std::move(file);
        info_.state = PluginState::kRunning;
    }

    const PluginInfo& Info() const { return info_; }
    HMODULE Module() const { return module_; }
    bool Running() const { return info_.state == PluginState::kRunning; }

    // What an entry point that threw, or a listener that threw, leaves
    // behind is taken back: its listeners, panes and command states.
    void Withdraw(PluginState state, DWORD error = 0) {
        info_.state = state;
        info_.error = error;
        for (auto& guard : messageGuards_)
            if (guard->inner) {
                frame_->RemoveMessageListener(guard.get());
                guard->inner = nullptr;
            }
        // The frame cannot drop idle listeners: its guards stay, silent.
        for (auto& guard : idleGuards_) guard->inner = nullptr;
        for (HWND window : panes_)
            for (int step = 0; step < 4 && IsWindow(window) && frame_->RemovePane(window); ++step) {
            }
        panes_.clear();
        for (UINT id : commands_) frame_->RemoveUpdateCommand(id);
        commands_.clear();
    }

    // After Plugin_Uninitialize: nothing of the plug-in is called any more;
    // what it left registered stays with the frame.
    void Stop() {
        info_.state = PluginState::kStopped;
        for (auto& guard : messageGuards_)
            if (guard->inner) {
                frame_->RemoveMessageListener(guard.get());
                guard->inner = nullptr;
            }
        for (auto& guard : idleGuards_) guard->inner = nullptr;
    }

    // A failure inside the program (out of memory) is the call's failure:
    // nothing is thrown into the plug-in.
    template <class R, class F>
    static R Shielded(R failed, F&& call) {
        try {
            return call();
        } catch (...) {
            return failed;
        }
    }

    // IDevEnv: every call goes on to the frame.
    BOOL MORROWPAD_CALL AddPane(HWND window, const RECT* rc) override {
        return Shielded<BOOL>(FALSE, [&] {
            const BOOL added = frame_->AddPane(window, rc);
            if (added && std::find(panes_.begin(), panes_.end(), window) == panes_.end())
                panes_.push_back(window);
            return added;
        });
    }
    BOOL MORROWPAD_CALL RemovePane(HWND window) override { return frame_->RemovePane(window); }
    HWND MORROWPAD_CALL ShowPane(HWND window, int show) override { return frame_->ShowPane(window, show); }
    HWND MORROWPAD_CALL GetMainWindow() override { return frame_->GetMainWindow(); }
    UINT MORROWPAD_CALL AllocateCommandId() override { return frame_->AllocateCommandId(); }
    IView* MORROWPAD_CALL GetActiveView() override { return frame_->GetActiveView(); }
    HWND MORROWPAD_CALL GetToolBar() override { return frame_->GetToolBar(); }
    int MORROWPAD_CALL MessageBox(const wchar_t* text, UINT flags, const wchar_t* caption,
                                  HWND owner) override {
        return Shielded<int>(0, [&] { return frame_->MessageBox(text, flags, caption, owner); });
    }
    BOOL MORROWPAD_CALL AddMessageListener(MessageListener* listener) override {
        if (!listener || !Running()) return FALSE;
        return Shielded<BOOL>(FALSE, [&] {
            messageGuards_.push_back(std::make_unique<MessageGuard>(this, listener));
            if (frame_->AddMessageListener(messageGuards_.back().get())) return TRUE;
            messageGuards_.back()->inner = nullptr;
            return FALSE;
        });
    }
    BOOL MORROWPAD_CALL RemoveMessageListener(MessageListener* listener) override {
        // The first occurrence, as the frame would.
        for (auto& guard : messageGuards_)
            if (listener && guard->inner == listener) {
                guard->inner = nullptr;
                return frame_->RemoveMessageListener(guard.get());
            }
        return FALSE;
    }
    BOOL MORROWPAD_CALL AddIdleListener(IdleListener* listener) override {
        return Shielded<BOOL>(FALSE, [&] { return AddIdle(listener, false); });
    }
    BOOL MORROWPAD_CALL AddIdleListener2(IdleListener* listener) override {
        return Shielded<BOOL>(FALSE, [&] { return AddIdle(listener, true); });
    }
    BOOL MORROWPAD_CALL AddUpdateCommand(UINT id, UINT kinds) override {
        return Shielded<BOOL>(FALSE, [&] {
            const BOOL added = frame_->AddUpdateCommand(id, kinds);
            if (added) commands_.push_back(id);
            return added;
        });
    }
    BOOL MORROWPAD_CALL RemoveUpdateCommand(UINT id) override {
        commands_.erase(std::remove(commands_.begin(), commands_.end(), id), commands_.end());
        return frame_->RemoveUpdateCommand(id);
    }
    LRESULT MORROWPAD_CALL AppendOutput(const wchar_t* text, int length) override {
        return Shielded<LRESULT>(0, [&] { return frame_->AppendOutput(text, length); });
    }
    UINT MORROWPAD_CALL TrackMenu(HMENU menu, int x, int y, BOOL send) override {
        return Shielded<UINT>(0, [&] { return frame_->TrackMenu(menu, x, y, send); });
    }
    LANGID MORROWPAD_CALL GetLanguage() override { return frame_->GetLanguage(); }

   private:
    // What the frame holds in place of a plug-in's listener. Guards live as
    // long as the set: the frame may still hold a copy of its list.
    struct MessageGuard final : MessageListener {
        MessageGuard(CPlugin* owner, MessageListener* listener) : owner(owner), inner(listener) {}
        LRESULT MORROWPAD_CALL OnMessage(HWND frame, UINT msg, WPARAM wp, LPARAM lp, BOOL* handled) override {
            if (!inner) return 0;
            LRESULT result = 0;
            if (!Guarded([&] { result = inner->OnMessage(frame, msg, wp, lp, handled); })) {
                *handled = FALSE;
                owner->Failed();
                return 0;
            }
            return result;
        }
        BOOL MORROWPAD_CALL PreTranslateMessage(MSG* msg) override {
            if (!inner) return FALSE;
            BOOL used = FALSE;
            if (!Guarded([&] { used = inner->PreTranslateMessage(msg); })) {
                owner->Failed();
                return FALSE;
            }
            return used;
        }
        CPlugin* owner;
        MessageListener* inner;
    };
    struct IdleGuard final : IdleListener {
        IdleGuard(CPlugin* owner, IdleListener* listener) : owner(owner), inner(listener) {}
        void MORROWPAD_CALL OnIdle(IUpdateUI* ui) override {
            if (inner && !Guarded([&] { inner->OnIdle(ui); })) owner->Failed();
        }
        CPlugin* owner;
        IdleListener* inner;
    };

    BOOL AddIdle(IdleListener* listener, bool second) {
        if (!listener || !Running()) return FALSE;
        idleGuards_.push_back(std::make_unique<IdleGuard>(this, listener));
        IdleGuard* guard = idleGuards_.back().get();
        const BOOL added = second ? frame_->AddIdleListener2(guard) : frame_->AddIdleListener(guard);
        if (!added) guard->inner = nullptr;
        return added;
    }

    // A listener threw: the plug-in is stopped, once.
    void Failed() {
        if (!Running()) return;
        Withdraw(PluginState::kStopped);
        const std::wstring line =
            Line(IDS_PLUGIN_STOPPED, L"The plug-in %s failed and was stopped.", {info_.file});
        frame_->AppendOutput(line.c_str(), int(line.size()));
    }

    IDevEnv* frame_;
    HMODULE module_;
    PluginInfo info_;
    std::vector<std::unique_ptr<MessageGuard>> messageGuards_;
    std::vector<std::unique_ptr<IdleGuard>> idleGuards_;
    std::vector<HWND> panes_;
    std::vector<UINT> commands_;
};

CPluginSet::CPluginSet() = default;
CPluginSet::~CPluginSet() = default;

void CPluginSet::Load(IDevEnv* frame, HMENU menu, const std::wstring& folder) {
    if (loaded_ || !frame) return;
    loaded_ = true;
    // The placeholder goes whether or not a plug-in comes.
    if (menu) DeleteMenu(menu, 0, MF_BYPOSITION);
    auto report = [&](UINT id, const wchar_t* fallback, std::initializer_list<std::wstring> args) {
        const std::wstring line = Line(id, fallback, args);
        frame->AppendOutput(line.c_str(), int(line.size()));
    };
    WIN32_FIND_DATAW found = {};
    std::vector<std::wstring> files;
    {
        const shell::CUniqueFind find(FindFirstFileW((folder + L"*.dll").c_str(), &found));
        if (!find) return;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(found.cFileName);
        } while (FindNextFileW(find.get(), &found));
    }

    for (const std::wstring& file : files) {
        // No error box for a library that is damaged or misses a dependency;
        // its own folder is searched for the libraries it needs.
        DWORD oldMode = 0;
        SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
        HMODULE module = LoadLibraryExW((folder + file).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        const DWORD error = module ? 0 : GetLastError();
        SetThreadErrorMode(oldMode, nullptr);
        if (!module) {
            plugins_.push_back(std::make_unique<CPlugin>(frame, file, nullptr));
            plugins_.back()->Withdraw(PluginState::kNotLoaded, error);
            report(IDS_PLUGIN_NOT_LOADED, L"The plug-in %s cannot be loaded (error %d) and was skipped.",
                   {file, std::to_wstring(error)});
            continue;
        }
        auto plugin = std::make_unique<CPlugin>(frame, file, module);
        CPlugin* p = plugin.get();
        plugins_.push_back(std::move(plugin));
        const auto initialize = Entry<InitializeFn>(module, "Plugin_Initialize");
        if (!initialize) {
            // Left loaded: it may be a library that a plug-in needs.
            p->Withdraw(PluginState::kNoEntryPoint);
            report(IDS_PLUGIN_NO_ENTRY, L"%s exports no Plugin_Initialize and was skipped.", {file});
            continue;
        }
        bool ok = Guarded([&] { initialize(p); });
        const auto setMenu = Entry<SetMenuFn>(module, "Plugin_SetMenu");
        if (ok && p->Running() && setMenu && menu) {
            const int before = GetMenuItemCount(menu);
            ok = Guarded([&] { setMenu(menu); });
            // Items of a plug-in that failed half-way would run nothing.
            if (!ok)
                for (int i = GetMenuItemCount(menu) - 1; i >= before && i >= 0; --i)
                    DeleteMenu(menu, UINT(i), MF_BYPOSITION);
        }
        if (!ok) {
            p->Withdraw(PluginState::kFailed);
            report(IDS_PLUGIN_FAILED, L"The plug-in %s failed while starting and was skipped.", {file});
        }
    }
}

void CPluginSet::Unload() {
    for (auto it = plugins_.rbegin(); it != plugins_.rend(); ++it) {
        CPlugin& plugin = **it;
        if (!plugin.Running()) continue;
        if (const auto uninitialize = Entry<UninitializeFn>(plugin.Module(), "Plugin_Uninitialize"))
            Guarded([&] { uninitialize(&plugin); });
        plugin.Stop();
    }
}

std::vector<PluginInfo> CPluginSet::Plugins() const {
    std::vector<PluginInfo> all;
    for (const auto& plugin : plugins_) all.push_back(plugin->Info());
    return all;
}

}  // namespace automation

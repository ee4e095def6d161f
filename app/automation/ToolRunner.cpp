#include "ToolRunner.h"

#include "Resources.h"
#include "SystemCalls.h"

namespace automation {
namespace {

constexpr UINT kAskCaption = 15009;
constexpr UINT kAskPrompt = 15010;

}  // namespace

bool CToolRunner::Run(int n) {
    if (n < 0 || n >= kMaxTools) return false;
    ToolRecord tool = ReadTool(n);
    if (tool.flag & kToolFlagAsk) {
        std::wstring args = tool.args;
        if (!host_.ask || !host_.ask(host_.frame, shell::LanguageString(kAskCaption),
                                     shell::LanguageString(kAskPrompt), &args))
            return false;
        tool.args = std::move(args);
    }
    const DocumentContext doc = ContextOf(host_.activePane ? host_.activePane() : nullptr);
    const std::wstring args =
        ExpandPlaceholders(tool.args, doc, QuoteStyleFor(tool.exePath + L" " + tool.args));
    if (tool.flag & kToolFlagCapture) {
        CRedirector* output = host_.showOutput ? host_.showOutput() : nullptr;
        if (!output) return false;
        if (output->IsRunning()) {  // the first child goes on running; only its reader stops
            output->Close();
            output->OnChildEnded();
        }
        // The start folder is not used: the child starts in the program's current folder.
        return output->Open(tool.exePath + L" " + args);
    }
    const std::wstring folder = ExpandPlaceholders(tool.initDir, doc, QuoteStyle::None);
    const HINSTANCE result =
        shell::sys::ShellExecute(host_.frame, L"open", tool.exePath.c_str(), args.empty() ? nullptr : args.c_str(),
                                 folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace automation

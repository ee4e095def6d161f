#include "ToolRunner.h"

#include "Resources.h"
#include "SystemCalls.h"

namespace automation {
namespace {

constexpr UINT kAskCaption = 15009;
constexpr UINT kAskPrompt = 15010;

// A program path with blanks that names a file is quoted: unquoted, the
// system would try "C:\Program.exe" for "C:\Program Files\x.exe" first.
// Anything else (a quoted path, "cmd /c dir") is used as it is.
std::wstring ProgramPart(const std::wstring& exePath) {
    if (exePath.find_first_of(L" \t") == std::wstring::npos || exePath.find(L'"') != std::wstring::npos)
        return exePath;
    const DWORD attributes = GetFileAttributesW(exePath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return exePath;
    return L"\"" + exePath + L"\"";
}

}  // namespace

bool CToolRunner::Run(int n) {
    if (n < 0 || n >= kMaxTools) return false;
    ToolRecord tool = ReadTool(n);
    if (tool.exePath.empty()) return false;  // a tool left half-made on the options page
    if (tool.flag & kToolFlagAsk) {
        std::wstring args = tool.args;
        if (!host_.ask || !host_.ask(host_.frame, shell::LanguageString(kAskCaption),
                                     shell::LanguageString(kAskPrompt), &args))
            return false;
        tool.args = std::move(args);
    }
    const DocumentContext doc = ContextOf(host_.activePane ? host_.activePane() : nullptr);
    const std::wstring program = ProgramPart(tool.exePath);
    const std::wstring args = ExpandPlaceholders(tool.args, doc, QuoteStyleFor(program + L" " + tool.args));
    if (tool.flag & kToolFlagCapture) {
        CRedirector* output = host_.showOutput ? host_.showOutput() : nullptr;
        if (!output) return false;
        if (output->IsRunning()) output->Stop();  // the first child goes on running; only its reader stops
        // The start folder is not used: the child starts in the program's current folder.
        return output->Open(program + L" " + args);
    }
    const std::wstring folder = ExpandPlaceholders(tool.initDir, doc, QuoteStyle::None);
    const HINSTANCE result = shell::sys::ShellExecute(
        host_.frame, L"open", tool.exePath.c_str(), args.empty() ? nullptr : args.c_str(),
        folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace automation

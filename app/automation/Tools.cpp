#include "Tools.h"

#include <cwctype>
#include <utility>

#include "CommandIds.h"
#include "EditProtocol.h"
#include "Paths.h"
#include "Settings.h"

namespace automation {
namespace {

using settings::File;

std::wstring Unmarked(std::wstring value) {
    if (!value.empty() && value[0] == L'#') value.erase(0, 1);
    return value;
}

// A section without keys reads as missing.
bool SectionExists(const std::wstring& section) {
    wchar_t buffer[4];
    const std::wstring path = settings::PathOf(File::Tools);
    return GetPrivateProfileSectionW(section.c_str(), buffer, 4, settings::Readable(path).c_str()) > 0;
}

std::wstring BlockText(HGLOBAL block) {
    std::wstring text;
    if (!block) return text;
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(block))) {
        const size_t units = GlobalSize(block) / sizeof(wchar_t);
        size_t n = 0;
        while (n < units && p[n]) ++n;
        text.assign(p, n);
        GlobalUnlock(block);
    }
    GlobalFree(block);
    return text;
}

void ReplaceAll(std::wstring& text, const std::wstring& name, const std::wstring& value) {
    for (size_t at = text.find(name); at != std::wstring::npos; at = text.find(name, at + value.size()))
        text.replace(at, name.size(), value);
}

wchar_t Blanked(wchar_t c) { return c < 0x20 || c == 0x7F ? L' ' : c; }

// `value` as one argument by the C runtime's rules, in quotes: a quote in
// it after n backslashes becomes 2n + 1 backslashes and the quote, and
// backslashes before the closing quote are doubled.
std::wstring QuotedArgument(const std::wstring& value) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : value) {
        c = Blanked(c);
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// `value` inside quotes the user wrote. For a program a quote is written
// \" (as above); for the interpreter it is written "", which the program
// reads as one quote and which leaves the interpreter in quoted mode, so
// that nothing in the text is special to it. Trailing backslashes are
// doubled when the user's text goes on with a quote.
std::wstring InsideQuotesArgument(const std::wstring& value, bool beforeQuote, QuoteStyle style) {
    std::wstring out;
    size_t backslashes = 0;
    for (wchar_t c : value) {
        c = Blanked(c);
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c != L'"') {
            out.append(backslashes, L'\\');
        } else if (style == QuoteStyle::Interpreter) {
            out.append(backslashes * 2, L'\\');
            out += L'"';
        } else {
            out.append(backslashes * 2 + 1, L'\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(beforeQuote ? backslashes * 2 : backslashes, L'\\');
    return out;
}

// Every character the command interpreter treats specially, quotes
// included, preceded by ^: the interpreter then never enters quoted mode in
// this argument, and the program it starts sees the quotes.
std::wstring InterpreterEscaped(const std::wstring& argument) {
    std::wstring out;
    for (wchar_t c : argument) {
        if (wcschr(L"^\"&|<>()%!", c)) out += L'^';
        out += c;
    }
    return out;
}

std::wstring DocumentArgument(const std::wstring& value, bool insideQuotes, bool beforeQuote,
                              QuoteStyle style) {
    if (style == QuoteStyle::None) return value;
    if (insideQuotes) return InsideQuotesArgument(value, beforeQuote, style);
    const std::wstring argument = QuotedArgument(value);
    return style == QuoteStyle::Interpreter ? InterpreterEscaped(argument) : argument;
}

// $(CurSel), $(CurWord) and $(CurLineText) in one pass from left to right,
// so that inserted text is never searched again. Whether a placeholder
// stands inside quotes is read from the user's text alone, as the C runtime
// reads it (a quote after an odd number of backslashes is a character): an
// inserted argument leaves the quoting as it found it.
std::wstring ExpandDocumentText(const std::wstring& text, const DocumentContext& doc, QuoteStyle style) {
    const std::pair<const wchar_t*, const std::wstring*> names[] = {
        {L"$(CurSel)", &doc.selection}, {L"$(CurWord)", &doc.word}, {L"$(CurLineText)", &doc.lineText}};
    std::wstring out;
    bool inside = false;
    size_t backslashes = 0;
    size_t i = 0;
    while (i < text.size()) {
        bool replaced = false;
        for (const auto& [name, value] : names) {
            const size_t n = wcslen(name);
            if (text.compare(i, n, name) != 0) continue;
            i += n;
            out += DocumentArgument(*value, inside, i < text.size() && text[i] == L'"', style);
            replaced = true;
            break;
        }
        if (replaced) {
            backslashes = 0;
            continue;
        }
        const wchar_t c = text[i++];
        out += c;
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"' && backslashes % 2 == 0) inside = !inside;
        backslashes = 0;
    }
    return out;
}

std::wstring FolderOf(const std::wstring& path) {
    std::wstring folder = shell::FolderPart(path);
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder;
}

std::wstring WithoutExtension(const std::wstring& name) {
    const size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = wchar_t(towlower(c));
    return s;
}

}  // namespace

ToolRecord ReadTool(int n) {
    ToolRecord t;
    const std::wstring section = settings::KeyName(L"Tool", n);
    settings::ReadString(File::Tools, section.c_str(), L"Title", t.title, L"", -1, 128);
    settings::ReadString(File::Tools, section.c_str(), L"ExePath", t.exePath, L"", -1, 512);
    settings::ReadString(File::Tools, section.c_str(), L"Args", t.args, L"", -1, 512);
    settings::ReadString(File::Tools, section.c_str(), L"InitDir", t.initDir, L"", -1, 512);
    t.args = Unmarked(std::move(t.args));
    t.initDir = Unmarked(std::move(t.initDir));
    t.flag = settings::ReadInt(File::Tools, section.c_str(), L"Flag", 0);
    return t;
}

std::vector<ToolRecord> ReadTools() {
    std::vector<ToolRecord> tools;
    for (int n = 0; n < kMaxTools && SectionExists(settings::KeyName(L"Tool", n)); ++n)
        tools.push_back(ReadTool(n));
    return tools;
}

void WriteTools(const std::vector<ToolRecord>& tools) {
    DeleteFileW(settings::PathOf(File::Tools).c_str());
    for (size_t i = 0; i < tools.size() && i < size_t(kMaxTools); ++i) {
        const ToolRecord& t = tools[i];
        const std::wstring section = settings::KeyName(L"Tool", int(i));
        // Quoted, so that a value with quotes at both ends reads back whole
        // (reading takes one pair of surrounding quotes away).
        settings::WriteString(File::Tools, section.c_str(), L"Title", (L"\"" + t.title + L"\"").c_str());
        settings::WriteString(File::Tools, section.c_str(), L"ExePath", (L"\"" + t.exePath + L"\"").c_str());
        settings::WriteString(File::Tools, section.c_str(), L"Args", (L"\"#" + t.args + L"\"").c_str());
        settings::WriteString(File::Tools, section.c_str(), L"InitDir", (L"\"#" + t.initDir + L"\"").c_str());
        settings::WriteInt(File::Tools, section.c_str(), L"Flag", t.flag);
    }
}

DocumentContext ContextOf(HWND pane) {
    DocumentContext doc;
    if (!pane || !IsWindow(pane)) return doc;
    if (const auto* name = reinterpret_cast<const wchar_t*>(SendMessageW(pane, MPM_GETFILENAME, 0, 0)))
        doc.path = name;
    Position caret = {0, 0};
    SendMessageW(pane, MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
    doc.line = caret.line;
    doc.column = caret.column;
    doc.selection = BlockText(reinterpret_cast<HGLOBAL>(SendMessageW(pane, MPM_GETSELTEXT, 0, 0)));
    doc.word = BlockText(reinterpret_cast<HGLOBAL>(SendMessageW(pane, MPM_GETWORDATCARET, 0, 0)));
    const LRESULT length = SendMessageW(pane, MPM_GETLINE, WPARAM(caret.line), 0);
    if (length > 0) {
        std::wstring text(size_t(length) + 1, L'\0');
        SendMessageW(pane, MPM_GETLINE, WPARAM(caret.line), reinterpret_cast<LPARAM>(text.data()));
        text.resize(size_t(length));
        doc.lineText = std::move(text);
    }
    return doc;
}

std::wstring ExpandPlaceholders(const std::wstring& text, const DocumentContext& doc, QuoteStyle style) {
    std::wstring out = text;
    const std::wstring name = shell::FileNamePart(doc.path);
    ReplaceAll(out, L"$(FilePath)", doc.path);
    ReplaceAll(out, L"$(FileDir)", FolderOf(doc.path));
    ReplaceAll(out, L"$(FileName)", name);
    ReplaceAll(out, L"$(FileNameNoExt)", WithoutExtension(name));
    ReplaceAll(out, L"$(CurLine)", std::to_wstring(doc.line));
    ReplaceAll(out, L"$(CurCol)", std::to_wstring(doc.column));
    return ExpandDocumentText(out, doc, style);
}

QuoteStyle QuoteStyleFor(const std::wstring& commandLine) {
    size_t i = commandLine.find_first_not_of(L" \t");
    if (i == std::wstring::npos) return QuoteStyle::CommandLine;
    std::wstring program;
    if (commandLine[i] == L'"') {
        const size_t end = commandLine.find(L'"', i + 1);
        program = commandLine.substr(i + 1, end == std::wstring::npos ? std::wstring::npos : end - i - 1);
    } else {
        program = commandLine.substr(i, commandLine.find_first_of(L" \t", i) - i);
    }
    const std::wstring name = Lower(shell::FileNamePart(program));
    const size_t dot = name.find_last_of(L'.');
    const std::wstring extension = dot == std::wstring::npos ? std::wstring() : name.substr(dot);
    const bool interpreter =
        name == L"cmd" || name == L"cmd.exe" || extension == L".bat" || extension == L".cmd";
    return interpreter ? QuoteStyle::Interpreter : QuoteStyle::CommandLine;
}

void RebuildToolsMenu(HMENU tools, const std::vector<ToolRecord>& records) {
    if (!tools) return;
    for (int i = GetMenuItemCount(tools) - 1; i >= 0; --i) {
        const UINT id = GetMenuItemID(tools, i);
        if (id >= ID_TOOL_FIRST && id <= ID_TOOL_LAST) DeleteMenu(tools, UINT(i), MF_BYPOSITION);
    }
    const int count = GetMenuItemCount(tools);
    if (count > 0) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE;
        if (GetMenuItemInfoW(tools, UINT(count - 1), TRUE, &info) && (info.fType & MFT_SEPARATOR))
            DeleteMenu(tools, UINT(count - 1), MF_BYPOSITION);
    }
    for (size_t n = 0; n < records.size() && n < size_t(kMaxTools); ++n) {
        if (n == 0) AppendMenuW(tools, MF_SEPARATOR, 0, nullptr);
        if (!records[n].title.empty())
            AppendMenuW(tools, MF_STRING, UINT_PTR(ID_TOOL_FIRST + n), records[n].title.c_str());
    }
}

}  // namespace automation

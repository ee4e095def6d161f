// External tools as "tools.ini" keeps them, the placeholders their
// arguments may hold, and the entries they get in the Tools menu.
//
// Sections "Tool0", "Tool1", ... each with Title, ExePath, Args, InitDir and
// Flag; the list ends at the first number without a section. Args and
// InitDir are stored with a leading "#" (and in quotes), so that leading
// and trailing blanks survive; one leading "#" is removed on reading, and a
// value stored without it is used as it is.
//
// Placeholders, replaced in this order, every occurrence, case-sensitively:
//   $(FilePath) $(FileDir) $(FileName) $(FileNameNoExt) $(CurLine) $(CurCol)
//   $(CurSel) $(CurWord) $(CurLineText)
// Lines and columns count from 0. The last three put document text into a
// command line; there each becomes exactly one argument (or one part of the
// argument the user quoted), whatever the text holds, so that a file's
// content cannot add arguments or commands:
// - standing alone, the text is enclosed in double quotes; a double quote in
//   it becomes \" with the backslashes before it doubled, and backslashes
//   before the closing quote are doubled (the C runtime's rules);
// - within quotes the user wrote ("$(CurSel)", "-m $(CurLineText)") only
//   the escapes are added;
// - when the command interpreter reads the line (its program is cmd, or a
//   .bat or .cmd file), a standing-alone argument has every character
//   special to the interpreter, its quotes included, escaped with ^, and
//   within the user's quotes a double quote is written "" (one quote to
//   the program, and the interpreter stays in quoted mode). Within the
//   user's quotes the interpreter still expands %NAME% in the text: write
//   the placeholder on its own for text that may hold percent signs;
// - line breaks and other control characters become blanks.
// Document text is inserted in one pass and never searched for
// placeholders again. Paths and numbers are inserted as they are: write
// "$(FilePath)" in quotes for paths with blanks.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace automation {

constexpr int kToolFlagCapture = 1;  // output into the output window
constexpr int kToolFlagAsk = 2;      // ask for the arguments first
constexpr int kMaxTools = 1000;      // command identifiers 29000..29999

struct ToolRecord {
    std::wstring title;
    std::wstring exePath;
    std::wstring args;
    std::wstring initDir;
    int flag = 0;
    bool operator==(const ToolRecord&) const = default;
};

// Tool n's keys; missing keys give empty strings and flag 0.
ToolRecord ReadTool(int n);
// Every tool, to the first number without a section (at most kMaxTools).
std::vector<ToolRecord> ReadTools();
// Rewrites the whole file, the tools numbered from 0 in list order.
void WriteTools(const std::vector<ToolRecord>& tools);

// What the placeholders stand for.
struct DocumentContext {
    std::wstring path;  // empty for a document without a file
    int line = 0;
    int column = 0;
    std::wstring selection;
    std::wstring word;
    std::wstring lineText;
};
// Read from an edit control (a document pane); null gives an empty context.
DocumentContext ContextOf(HWND pane);

enum class QuoteStyle {
    None,         // everything inserted as it is (the start folder)
    CommandLine,  // document text as one argument
    Interpreter,  // the same, and escaped for the command interpreter
};
std::wstring ExpandPlaceholders(const std::wstring& text, const DocumentContext& doc, QuoteStyle style);
// Interpreter when the command line's program is cmd or a .bat or .cmd
// file, else CommandLine.
QuoteStyle QuoteStyleFor(const std::wstring& commandLine);

// The Tools popup: items 29000..29999 and then a trailing separator are
// removed; then a separator and one item per tool with a title (29000 + n).
void RebuildToolsMenu(HMENU tools, const std::vector<ToolRecord>& records);

}  // namespace automation

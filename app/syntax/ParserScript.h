// Running a syntax definition script: the script site whose named item
// "Parser" lets the script build lexers (parsers, regions, items).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ScriptHost.h"
#include "SyntaxParser.h"

namespace syntax {

// Runs the script at `path` through a new script site with the "Parser"
// object; every lexer the script creates is appended to `parsers`, in
// creation order, also when the script fails afterwards. Failures (the
// engine missing, the file unreadable, a script error, a script that does
// not end) are reported to the user through the message sink. Answers
// whether the script ran without a reported failure.
// A script still running after the time limit (an endless loop) is stopped
// and reported once; it contributes no lexers. The run does not touch the
// calling thread's windows; messages are shown from the calling thread after
// the run, owned by its active window.
bool RunParserScript(const std::wstring& path, std::vector<std::unique_ptr<CSyntaxParser>>& parsers);
// The same, handing the failure to the caller (message 0: none) instead of
// showing it, so that the caller can settle its state before a message box
// lets other messages in.
bool RunParserScript(const std::wstring& path, std::vector<std::unique_ptr<CSyntaxParser>>& parsers,
                     ScriptError* failure);

// The time a syntax script may run, in milliseconds (5000 unless set).
// Answers the previous limit.
DWORD SetScriptTimeLimit(DWORD milliseconds);

}  // namespace syntax

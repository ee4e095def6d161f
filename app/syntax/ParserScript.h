// Running a syntax definition script: the script site whose named item
// "Parser" lets the script build lexers (parsers, regions, items).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "SyntaxParser.h"

namespace syntax {

// Runs the script at `path` through a new script site with the "Parser"
// object; every lexer the script creates is appended to `parsers`, in
// creation order, also when the script fails afterwards. Failures (the
// engine missing, the file unreadable, a script error, a script that does
// not end) are reported to the user through the message sink. Answers
// whether the script ran without a reported failure.
bool RunParserScript(const std::wstring& path, std::vector<std::unique_ptr<CSyntaxParser>>& parsers);

}  // namespace syntax

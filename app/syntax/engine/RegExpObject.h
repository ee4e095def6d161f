// The language's built-in classes that `New` creates without a script class
// of that name: RegExp, over the program's own regular-expression engine
// (app/regex). Its Execute returns a collection of matches; each
// match has its value, position, length and the texts of its groups.
#pragma once

#include <memory>

#include "Value.h"

namespace script {

// Error number of a malformed pattern ("Syntax error in regular expression").
namespace err {
constexpr int kRegexSyntax = 5017;
}

// A new instance of built-in class `name` (ignoring case); null when no
// built-in class has that name.
std::shared_ptr<CObject> NewBuiltinClass(StringView name);

}  // namespace script

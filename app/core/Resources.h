// The module that dialogs, menus and strings are loaded from: the
// executable until the language library is loaded, that library after (for
// the life of the process). Safe to ask from any thread.
#pragma once

#include <windows.h>

#include <string>

namespace shell {

HMODULE ResourceModule();
void SetResourceModule(HMODULE module);

// A string of the resource module's table; empty when it has none.
std::wstring LanguageString(UINT id);
// The string with each "%s" / "%d" replaced in turn by the arguments given
// as text; the string itself is never used as a format, so a translation
// with a stray "%n" cannot do harm. "%%" is a percent sign.
std::wstring FormatLanguageString(UINT id, std::initializer_list<std::wstring> args);
std::wstring FormatText(const std::wstring& pattern, std::initializer_list<std::wstring> args);

}  // namespace shell

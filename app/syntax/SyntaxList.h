// The syntax definitions of syntax.ini and the lexers their scripts build.
//
// The list is read on first use and kept until Reload. A definition's
// script runs the first time a lexer of that name is asked for; the lexer
// is then shared by every document that uses the definition and lives until
// the next Reload, so no lexer pointer may be kept across one. A script that
// failed is not run again before the next Reload: its error is shown once.
#pragma once

#include <string>

#include "EditProtocol.h"

namespace syntax {

struct SyntaxEntry {
    std::wstring title;
    std::wstring file;         // inside "syntax\"
    std::wstring extensions;   // ";c;cpp;h;"
    std::wstring names;        // ";Makefile;Makefile.*;": whole file names, "*" and "?" as wildcards
    std::wstring templateFile; // inside "template\"
    int tabSize = 0;
};

int EntryCount();
const SyntaxEntry* Entry(int index);                          // null when out of range
const SyntaxEntry* EntryByLexerName(const std::wstring& name);  // exact title
ILexer* LexerByName(const std::wstring& name);                  // title, ignoring case; named as the title
ILexer* LexerByExtension(const std::wstring& extension);        // without the dot
// The first entry one of whose names matches the file name of `path`
// (ignoring case); null when none does.
const SyntaxEntry* EntryByFileName(const std::wstring& path);
// The lexer for a file: by its name (EntryByFileName), else by its extension.
ILexer* LexerForFile(const std::wstring& path);
// Whether `lexer` is one of the list's and folds by indentation (its
// script called FoldByIndent); false for other lexers.
bool FoldsByIndent(const ILexer* lexer);
// The save dialog's type list, entries separated by "|"; an entry's
// extensions become "*.c", its names stay as they are.
std::wstring FileTypeFilter();
// Frees every entry and lexer and reads syntax.ini again on next use.
void Reload();

}  // namespace syntax

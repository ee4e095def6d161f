#include "SyntaxList.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "ParserScript.h"
#include "Resources.h"
#include "Settings.h"
#include "SyntaxParser.h"

namespace syntax {

namespace {

using settings::File;

struct State {
    bool loaded = false;
    std::vector<SyntaxEntry> entries;
    std::vector<std::unique_ptr<CSyntaxParser>> parsers;
    std::set<std::wstring> failed;  // lower-cased titles whose script gave no lexer
};

State& Get() {
    static State s;
    return s;
}

std::wstring Lower(std::wstring s) {
    if (!s.empty()) CharLowerBuffW(s.data(), DWORD(s.size()));
    return s;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring ScriptPath(const SyntaxEntry& e) { return settings::ProgramFolder() + L"syntax\\" + e.file; }

void Load(State& s) {
    s.loaded = true;
    const int count = settings::ReadInt(File::Syntax, L"Syntax", L"Count", 0);
    for (int n = 0; n < count && n < 10000; ++n) {
        const std::wstring section = settings::KeyName(L"Syntax", n);
        SyntaxEntry e;
        if (!settings::ReadString(File::Syntax, section.c_str(), L"Title", e.title, L"", -1, 261)) continue;
        if (!settings::ReadString(File::Syntax, section.c_str(), L"File", e.file)) continue;
        // An entry whose script is missing would fail on every use.
        if (GetFileAttributesW(ScriptPath(e).c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        std::wstring ext;
        settings::ReadString(File::Syntax, section.c_str(), L"Ext", ext);
        e.extensions = L";" + ext + L";";
        std::wstring names;
        settings::ReadString(File::Syntax, section.c_str(), L"Names", names);
        e.names = L";" + names + L";";
        settings::ReadString(File::Syntax, section.c_str(), L"Template", e.templateFile);
        const int tab = settings::ReadInt(File::Syntax, section.c_str(), L"Tab", 0);
        e.tabSize = tab < 0 ? 4 : tab > 32 ? 32 : tab;
        s.entries.push_back(std::move(e));
    }
}

State& Loaded() {
    State& s = Get();
    if (!s.loaded) Load(s);
    return s;
}

}  // namespace

int EntryCount() { return int(Loaded().entries.size()); }

const SyntaxEntry* Entry(int index) {
    State& s = Loaded();
    return index >= 0 && size_t(index) < s.entries.size() ? &s.entries[size_t(index)] : nullptr;
}

const SyntaxEntry* EntryByLexerName(const std::wstring& name) {
    for (const SyntaxEntry& e : Loaded().entries)
        if (e.title == name) return &e;
    return nullptr;
}

bool FoldsByIndent(const ILexer* lexer) {
    if (!lexer) return false;
    for (const auto& p : Loaded().parsers)
        if (p.get() == lexer) return p->FoldsByIndent();
    return false;
}

ILexer* LexerByName(const std::wstring& name) {
    State& s = Loaded();
    if (name.empty()) return nullptr;
    for (const auto& p : s.parsers)
        if (!p->GetName().empty() && EqualNoCase(p->GetName(), name)) return p.get();
    const SyntaxEntry* entry = nullptr;
    for (const SyntaxEntry& e : s.entries)
        if (EqualNoCase(e.title, name)) {
            entry = &e;
            break;
        }
    if (!entry || s.failed.count(Lower(entry->title))) return nullptr;
    const size_t before = s.parsers.size();
    ScriptError failure;
    RunParserScript(ScriptPath(*entry), s.parsers, &failure);
    // The list is settled before a message box lets other messages (a file
    // handed over by a second instance) ask for lexers again. The lexer is
    // named after its entry, whatever the case of the request, so that the
    // entry is found by its name and shown as written.
    ILexer* lexer = nullptr;
    if (s.parsers.size() > before) {
        s.parsers[before]->SetName(entry->title);
        lexer = s.parsers[before].get();
    } else {
        s.failed.insert(Lower(entry->title));  // plain until the next reload
    }
    ReportScriptError(failure, GetActiveWindow());
    return lexer;
}

ILexer* LexerByExtension(const std::wstring& extension) {
    if (extension.empty() || extension.find(L';') != std::wstring::npos) return nullptr;
    const std::wstring key = Lower(L";" + extension + L";");
    for (const SyntaxEntry& e : Loaded().entries)
        if (Lower(e.extensions).find(key) != std::wstring::npos) return LexerByName(e.title);
    return nullptr;
}

namespace {

// Whether `name` matches `pattern` ("*" any run, "?" any one character),
// both lower-cased already.
bool Matches(const wchar_t* pattern, const wchar_t* name) {
    const wchar_t *star = nullptr, *resume = nullptr;
    while (*name) {
        if (*pattern == L'*') {
            star = pattern++;
            resume = name;
        } else if (*pattern && (*pattern == L'?' || *pattern == *name)) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == L'*') ++pattern;
    return !*pattern;
}

// The items of a ";a;b;" list.
std::vector<std::wstring> Items(const std::wstring& list) {
    std::vector<std::wstring> items;
    size_t at = 0;
    while (at < list.size()) {
        const size_t end = std::min(list.find(L';', at), list.size());
        if (end > at) items.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return items;
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t at = path.find_last_of(L"\\/:");
    return at == std::wstring::npos ? path : path.substr(at + 1);
}

std::wstring ExtensionOf(const std::wstring& name) {
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
}

}  // namespace

const SyntaxEntry* EntryByFileName(const std::wstring& path) {
    const std::wstring name = Lower(FileNameOf(path));
    if (name.empty()) return nullptr;
    for (const SyntaxEntry& e : Loaded().entries)
        for (const std::wstring& pattern : Items(Lower(e.names)))
            if (Matches(pattern.c_str(), name.c_str())) return &e;
    return nullptr;
}

ILexer* LexerForFile(const std::wstring& path) {
    if (const SyntaxEntry* e = EntryByFileName(path)) return LexerByName(e->title);
    return LexerByExtension(ExtensionOf(FileNameOf(path)));
}

std::wstring FileTypeFilter() {
    std::wstring filter = shell::LanguageString(15020) + L"(*.*)|*.*|";
    for (const SyntaxEntry& e : Loaded().entries) {
        // ";c;cpp;" and ";Makefile;" -> "*.c;*.cpp;Makefile"; entries with
        // neither are left out.
        std::wstring patterns;
        for (const std::wstring& ext : Items(e.extensions))
            patterns += (patterns.empty() ? L"*." : L";*.") + ext;
        for (const std::wstring& name : Items(e.names)) patterns += (patterns.empty() ? L"" : L";") + name;
        if (patterns.empty()) continue;
        filter += e.title + L"(" + patterns + L")|" + patterns + L"|";
    }
    return filter;
}

void Reload() {
    State& s = Get();
    s.entries.clear();
    s.parsers.clear();
    s.failed.clear();
    s.loaded = false;
}

}  // namespace syntax

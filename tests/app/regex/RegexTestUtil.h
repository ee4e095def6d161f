// Helpers shared by the regular-expression tests: the unit type of the build
// (wchar_t on Windows, char16_t natively) and conversions from UTF-16 literals.
#pragma once

#include <string>

#include "Regex.h"

#ifdef _WIN32
using Unit = wchar_t;
#else
using Unit = char16_t;
#endif
using Str = std::basic_string<Unit>;
using Regex = mrx::CRegexpT<Unit>;

inline Str S(const char16_t* s) {
    Str out;
    for (; *s; ++s) out += Unit(*s);
    return out;
}

inline Str S(const std::string& s) {
    Str out;
    for (unsigned char c : s) out += Unit(c);
    return out;
}

inline std::string Narrow(const Str& s) {
    std::string out;
    for (Unit u : s) out += u < 128 ? char(u) : '?';
    return out;
}

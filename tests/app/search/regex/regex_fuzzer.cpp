// libFuzzer harness: compile any pattern with any flags and search a text.
// The input is flags (1 byte), pattern length (1 byte), pattern, text, all
// read as UTF-16 units. Build and run:
//   CXX=clang++-14 cmake -S native -B build/fuzz -DFUZZ=ON && cmake --build build/fuzz --target regex_fuzzer
//   build/fuzz/regex_fuzzer -max_total_time=300 -max_len=256
#include <cstddef>
#include <cstdint>
#include <string>

#include "Regex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int flags = data[0] & 63;
    const size_t plen = std::min<size_t>(data[1], (size - 2) / 2);
    const char16_t* units = reinterpret_cast<const char16_t*>(data + 2);
    std::u16string pattern(units, units + plen);
    const size_t rest = (size - 2) / 2 - plen;
    std::u16string text(units + plen, units + plen + rest);
    mrx::CRegexpT<char16_t> re(pattern, flags);
    re.SetBudget(200000);
    const auto m = re.Search(text);
    if (m.Matched()) {
        if (m.Start() < 0 || m.End() > int(text.size()) || m.Start() > m.End()) __builtin_trap();
        const std::u16string tmpl = u"$0$1${x}$+$`$'$$";
        re.Expand(tmpl.c_str(), int(tmpl.size()), text.c_str(), int(text.size()), m);
    }
    return 0;
}

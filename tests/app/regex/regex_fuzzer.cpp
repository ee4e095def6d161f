// libFuzzer harness: compile any pattern with any flags and search a text.
// The input is flags (1 byte), pattern length in units (2 bytes, little
// endian), pattern, text, all read as UTF-16 units. Patterns as long as the
// find box allows (4,096 units) need -max_len=8192 or so; the dictionary
// holds nesting tokens. Build and run:
//   CXX=clang++-14 cmake -S native -B build/fuzz -DFUZZ=ON && cmake --build build/fuzz --target regex_fuzzer
//   build/fuzz/regex_fuzzer -max_total_time=300 -max_len=8192 -len_control=0
//   -dict=tests/app/regex/regex_fuzzer.dict
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "Regex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const int flags = data[0] & 63;
    const size_t units = (size - 3) / 2;
    const size_t plen = std::min<size_t>(size_t(data[1]) | (size_t(data[2]) << 8), units);
    std::u16string all(units, u'\0');
    std::memcpy(all.data(), data + 3, units * 2);
    const std::u16string pattern = all.substr(0, plen), text = all.substr(plen);
    mrx::CRegexpT<char16_t> re(pattern, flags);
    mrx::Budget budget;
    budget.steps = 200000;
    budget.memory = 1 << 20;
    const int n = int(text.size());
    const auto m = re.Search(text.c_str(), n, 0, -1, budget);
    if (m.Matched()) {
        if (m.Start() < 0 || m.End() > n || m.Start() > m.End()) __builtin_trap();
        // A match never splits a surrogate pair.
        for (int edge : {m.Start(), m.End()})
            if (edge > 0 && edge < n && text[size_t(edge) - 1] >= 0xD800 &&
                text[size_t(edge) - 1] <= 0xDBFF && text[size_t(edge)] >= 0xDC00 &&
                text[size_t(edge)] <= 0xDFFF)
                __builtin_trap();
        const std::u16string tmpl = u"$0$1${x}$+$`$'$$";
        re.Expand(tmpl.c_str(), int(tmpl.size()), text.c_str(), n, m);
    }
    // Bounded searches: one position, and a range that ends before the text.
    if (n > 0) re.Search(text.c_str(), n, n / 2, n / 2, budget);
    return 0;
}

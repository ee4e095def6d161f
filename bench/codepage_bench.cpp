// Our own conversion of the code pages the system refuses: a few megabytes
// of Korean, Chinese and Japanese text decoded whole and line by line, clean
// and with one invalid byte near the start (which sends the double-byte
// pages from the system's conversion of the whole buffer to their fallback).
#include <cstdio>
#include <string>
#include <vector>

#include "../codepage/CodePages.h"
#include "BenchUtil.h"

namespace {

// `bytes` of text in `cp`, lines of 60 characters.
std::string Text(int cp, size_t bytes) {
    static const wchar_t kHangul[] = {0xAC00, 0xB098, 0xB2E4, 0xB77C, 0xB9C8, 0xBC14, 0xC0AC};
    std::wstring line;
    for (int k = 0; k < 60; ++k) {
        const wchar_t c = cp == 51949 || cp == 50225   ? kHangul[k % 7]
                          : cp == 51936 || cp == 50227 ? wchar_t(0x4E2D)
                                                       : wchar_t(0x3042 + k % 40);
        line += c;
    }
    line += L"\r\n";
    const int n = codepage::FromWide(cp, line.data(), int(line.size()), nullptr, 0);
    if (n <= 0) return {};
    std::string one(size_t(n), '\0');
    codepage::FromWide(cp, line.data(), int(line.size()), one.data(), n);
    std::string out;
    while (out.size() < bytes) out += one;
    return out;
}

double Whole(int cp, const std::string& s, std::vector<wchar_t>& w) {
    const double t0 = Now();
    const int n = codepage::ToWide(cp, s.data(), int(s.size()), w.data(), int(w.size()));
    const double t = Now() - t0;
    if (n <= 0) printf("  (conversion failed: %lu)\n", GetLastError());
    return t;
}

double ByLine(int cp, const std::string& s, std::vector<wchar_t>& w) {
    const double t0 = Now();
    size_t start = 0;
    while (start < s.size()) {
        size_t end = s.find('\n', start);
        if (end == std::string::npos) end = s.size();
        const int len = int(end - start);
        if (len > 0) codepage::ToWide(cp, s.data() + start, len, w.data(), len);
        start = end + 1;
    }
    return Now() - t0;
}

}  // namespace

int main() {
    const int pages[] = {51949, 51936, 51932, 50225, 50227, 50220};
    for (int cp : pages) codepage::UseOwnConversionForTesting(cp, true);
    const size_t size = 4 << 20;
    std::vector<wchar_t> wide(size + 16);
    printf("%-6s %12s %12s %12s %12s  (MB/s, median of 5)\n", "page", "whole", "whole+bad", "lines",
           "lines+bad");
    for (int cp : pages) {
        const double t0 = Now();
        codepage::ToWide(cp, "\xB0\xA1", 2, wide.data(), 2);
        printf("%-6d first call: %.1f ms\n", cp, (Now() - t0) * 1e3);
    }
    for (int cp : pages) {
        const std::string clean = Text(cp, size);
        if (clean.empty()) {
            printf("%-6d cannot write the text\n", cp);
            continue;
        }
        std::string bad = clean;
        bad[1] = '\xFF';  // one invalid byte in the first line
        std::vector<double> a, b, c, d;
        for (int r = 0; r < 5; ++r) {
            a.push_back(Whole(cp, clean, wide));
            b.push_back(Whole(cp, bad, wide));
            c.push_back(ByLine(cp, clean, wide));
            d.push_back(ByLine(cp, bad, wide));
        }
        const double mb = double(clean.size()) / 1e6;
        printf("%-6d %12.1f %12.1f %12.1f %12.1f\n", cp, mb / Median(a), mb / Median(b), mb / Median(c),
               mb / Median(d));
    }
    return 0;
}

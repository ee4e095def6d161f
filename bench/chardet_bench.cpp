// Detector benchmark (native): accuracy per encoding and sample size, and
// speed, beside Debian's uchardet on the same files.
//
//   python3 tools/chardet/make_corpus.py /tmp/chardet-corpus
//   cmake --build build/native --target chardet_bench && build/native/chardet_bench /tmp/chardet-corpus
#include <uchardet/uchardet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "CodePageNames.h"
#include "Detector.h"

namespace {

// uchardet's names for the same character sets.
int CodePageOf(std::string name) {
    for (auto& c : name) c = char(toupper(c));
    static const std::map<std::string, std::string> alias = {
        {"MAC-CYRILLIC", "x-mac-cyrillic"}, {"EUC-TW", "x-euc-tw"}, {"UTF-16", "UTF-16LE"},
        {"SHIFT_JIS", "Shift_JIS"}, {"ISO-8859-1", "windows-1252"}, {"ISO-8859-15", "windows-1252"},
        {"WINDOWS-1252", "windows-1252"}, {"UHC", "EUC-KR"}, {"CP949", "EUC-KR"}, {"ISO-8859-8-I", "ISO-8859-8"},
        {"ASCII", ""}};
    auto it = alias.find(name);
    if (it != alias.end()) name = it->second;
    return chardet::CodePageOfName(name.c_str());
}

std::string Read(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string Uchardet(const std::string& data) {
    uchardet_t u = uchardet_new();
    uchardet_handle_data(u, data.data(), data.size());
    uchardet_data_end(u);
    std::string name = uchardet_get_charset(u);
    uchardet_delete(u);
    return name;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "/tmp/chardet-corpus";
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        std::fprintf(stderr, "no corpus in %s (tools/chardet/make_corpus.py makes one)\n", folder.c_str());
        return 1;
    }
    struct Sample {
        std::string encoding;
        int size;
        std::string data;
        std::vector<int> equivalent;  // code pages that decode it to the same text
    };
    std::vector<Sample> samples;
    while (dirent* e = readdir(dir)) {
        std::string n = e->d_name;
        const size_t a = n.find("__"), b = n.find("__", a + 2);
        if (a == std::string::npos || b == std::string::npos) continue;
        if (n.size() < 4 || n.substr(n.size() - 4) != ".txt") continue;
        Sample s{n.substr(0, a), std::stoi(n.substr(a + 2, b - a - 2)), Read(folder + "/" + n), {}};
        std::istringstream eq(Read(folder + "/" + n.substr(0, n.size() - 4) + ".eq"));
        for (int cp; eq >> cp;) s.equivalent.push_back(cp);
        samples.push_back(std::move(s));
    }
    closedir(dir);
    std::sort(samples.begin(), samples.end(),
              [](const Sample& x, const Sample& y) { return std::tie(x.encoding, x.size) < std::tie(y.encoding, y.size); });
    struct Tally {
        int n = 0, ours = 0, theirs = 0;
    };
    std::map<std::string, Tally> byEncoding;
    std::map<int, Tally> bySize;
    std::map<std::string, Tally> utf16NoBom;
    Tally all;
    for (const Sample& s : samples) {
        std::vector<int> want = s.equivalent;
        if (want.empty()) want.push_back(chardet::CodePageOfName(s.encoding.c_str()));
        auto ok = [&](int cp) { return cp != 0 && std::find(want.begin(), want.end(), cp) != want.end(); };
        const std::string ours = chardet::Detect(reinterpret_cast<const uint8_t*>(s.data.data()), s.data.size());
        const bool okOurs = ok(chardet::CodePageOfName(ours.c_str()));
        const bool okTheirs = ok(CodePageOf(Uchardet(s.data)));
        for (Tally* t : {&byEncoding[s.encoding], &bySize[s.size], &all}) {
            ++t->n;
            t->ours += okOurs;
            t->theirs += okTheirs;
        }
    }
    std::printf("chardet_bench: %zu samples (real text, sizes 200 to 16000 bytes); a name counts as right when\n"
                "it decodes the sample to the same text as the encoding it was written in\n", samples.size());
    std::printf("%-16s %8s %8s %8s\n", "encoding", "samples", "ours %", "uchardet %");
    for (const auto& [enc, t] : byEncoding)
        std::printf("%-16s %8d %8.1f %8.1f\n", enc.c_str(), t.n, 100.0 * t.ours / t.n, 100.0 * t.theirs / t.n);
    std::printf("%-16s %8s %8s %8s\n", "size", "", "", "");
    for (const auto& [size, t] : bySize)
        std::printf("%-16d %8d %8.1f %8.1f\n", size, t.n, 100.0 * t.ours / t.n, 100.0 * t.theirs / t.n);
    std::printf("%-16s %8d %8.1f %8.1f\n", "all", all.n, 100.0 * all.ours / all.n, 100.0 * all.theirs / all.n);
    // Speed on the 16000-byte samples.
    std::vector<const Sample*> big;
    for (const Sample& s : samples)
        if (s.size == 16000) big.push_back(&s);
    size_t bytes = 0;
    auto t0 = std::chrono::steady_clock::now();
    for (int rep = 0; rep < 20; ++rep)
        for (const Sample* s : big) {
            bytes += s->data.size();
            chardet::Detect(reinterpret_cast<const uint8_t*>(s->data.data()), s->data.size());
        }
    const double ours = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    t0 = std::chrono::steady_clock::now();
    for (int rep = 0; rep < 20; ++rep)
        for (const Sample* s : big) Uchardet(s->data);
    const double theirs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("speed on 16000-byte samples: ours %.0f MB/s, uchardet %.0f MB/s\n", bytes / ours / 1e6,
                bytes / theirs / 1e6);
    return 0;
}

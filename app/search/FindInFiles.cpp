// Find in files.
//
// The walk is depth first in the order the platform enumerates entries. Each
// admitted file is taken whole (read into a buffer kept for the search when
// small, else mapped read-only) and cut into lines in its own encoding (CR,
// LF or CR LF units of 1, 2 or 4 bytes), so that only the lines worth looking
// at are converted to UTF-16. The size of a mapped file that is searched is
// the smallest of the file's size before and after mapping and the view's
// size: a file that another program shrinks while it is mapped is never read
// past its view.
//
// A plain search of ASCII text in a code page that keeps ASCII as it is (and
// never makes an ASCII unit out of other bytes) first looks for the pattern
// in the bytes of each line; only a line that may hold a match is converted
// and searched by the finder the find dialog uses, so both agree on what
// matches. Patterns with a unit whose case partners leave ASCII (k and the
// Kelvin sign, s and the long s) or with "?" (the replacement of bytes that
// do not convert) are always converted first.
//
// One work budget serves every line of a regular-expression search: a
// pattern that runs out of it stops the whole search once.
#include "FindInFiles.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "CaseFold.h"
#include "CodePages.h"
#include "FileEncoding.h"
#include "Finder.h"
#include "Owners.h"
#include "Regex.h"
#include "Settings.h"
#include "SettingsKeys.h"

namespace GrepUtil {
namespace {

// Expression steps granted per unit of text searched line by line.
constexpr uint64_t kStepsPerUnit = 32;


wchar_t LowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c; }

std::wstring LowerAscii(std::wstring s) {
    for (wchar_t& c : s) c = LowerAscii(c);
    return s;
}

// Code pages whose conversion maps bytes 0..127 to the same units and never
// yields such a unit from other bytes (invalid bytes aside, which become "?"
// or a replacement character).
bool KeepsAscii(int cp) {
    if (cp == 0) cp = int(GetACP());
    if (cp == 65001 || cp == 20127 || cp == 874 || (cp >= 1250 && cp <= 1258)) return true;
    if (cp == 932 || cp == 936 || cp == 949 || cp == 950 || cp == 54936 || cp == 51932 || cp == 51936 ||
        cp == 51949)
        return true;
    if ((cp >= 28591 && cp <= 28606) || cp == 20866 || cp == 21866 || cp == 38598) return true;
    if (cp == 437 || cp == 850 || cp == 852 || cp == 855 || cp == 857 || cp == 858 || (cp >= 860 && cp <= 866))
        return true;
    return false;
}

int UnitWidth(int cp) { return (cp == 1200 || cp == 1201) ? 2 : (cp == 12000 || cp == 12001) ? 4 : 1; }

bool Convertible(int cp) {
    if (cp == 0 || cp == 1200 || cp == 1201 || cp == 12000 || cp == 12001) return true;
    return cp > 0 && (IsValidCodePage(UINT(cp)) || codepage::HasOwnConversion(cp));
}

// A file's bytes: a mapped view, or the part of the search's buffer read.
struct FileBytes {
    shell::CMappedFile view;
    const uint8_t* buffer = nullptr;  // the bytes read, when not mapped
    size_t size = 0;
    const uint8_t* Bytes() const { return view.data() ? view.data() : buffer; }
};

enum class OpenResult { kOk, kEmpty, kFailed };

// Files up to this size are read into a buffer kept for the whole search:
// fewer calls into the system than a mapping of their own each.
constexpr LONGLONG kReadLimit = 1 << 20;

OpenResult MapWhole(const std::wstring& path, std::vector<uint8_t>* buffer, FileBytes* out) {
    const shell::CUniqueHandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!f) return OpenResult::kFailed;
    LARGE_INTEGER before = {};
    if (!GetFileSizeEx(f.get(), &before)) return OpenResult::kFailed;
    if (before.QuadPart == 0) return OpenResult::kEmpty;
    if (before.QuadPart <= kReadLimit) {
        if (buffer->size() < size_t(before.QuadPart)) buffer->resize(size_t(kReadLimit));
        DWORD got = 0;
        if (!ReadFile(f.get(), buffer->data(), DWORD(before.QuadPart), &got, nullptr)) return OpenResult::kFailed;
        out->buffer = buffer->data();
        out->size = got;
        return got ? OpenResult::kOk : OpenResult::kEmpty;
    }
    switch (out->view.Map(f.get())) {
        case shell::CMappedFile::Result::kOk:
            out->size = out->view.size();
            return OpenResult::kOk;
        case shell::CMappedFile::Result::kEmpty:
            return OpenResult::kEmpty;
        default:
            return OpenResult::kFailed;
    }
}

// Whether an expression matches the same at a place within a line whether
// the line stands alone or among others: it has no anchors (^ $ \A \z \Z
// \G) and no group with options (look-arounds, inline flags, recursion)
// outside its classes. Word boundaries agree: line breaks are not word units.
bool LineFree(const std::wstring& p) {
    bool inClass = false;
    for (size_t i = 0; i < p.size(); ++i) {
        const wchar_t c = p[i];
        if (c == L'\\') {
            if (++i >= p.size()) return false;
            const wchar_t e = p[i];
            if (!inClass && (e == L'A' || e == L'z' || e == L'Z' || e == L'G')) return false;
            continue;
        }
        if (inClass) {
            if (c == L']') inClass = false;
            continue;
        }
        if (c == L'[') {
            inClass = true;
            if (i + 1 < p.size() && p[i + 1] == L'^') ++i;
            if (i + 1 < p.size() && p[i + 1] == L']') ++i;  // "]" first is a member
        } else if (c == L'^' || c == L'$' || (c == L'(' && i + 1 < p.size() && p[i + 1] == L'?')) {
            return false;
        }
    }
    return true;
}

struct LineRef {
    int number;
    size_t offset;  // in the block
    int length;
};
constexpr size_t kBlockUnits = 1 << 16;

}  // namespace

struct CGreper::Impl {
    std::wstring filter;  // ";" + types + ";", ASCII lower case; empty admits every file
    size_t sampleBytes = 4096;
    std::unique_ptr<mrx::CRegexpT<wchar_t>> regex;
    mrx::Budget budget;
    search::CNormalFinder finder;
    // The byte form of an ASCII pattern for the line filter (lower case when
    // case is ignored); empty when lines are always converted.
    std::string asciiPattern;
    std::vector<wchar_t> line = std::vector<wchar_t>(1025);
    std::vector<uint8_t> readBuffer;
    bool lineFree = false;          // the expression may run over many lines at once
    std::vector<wchar_t> block;     // lines, each followed by LF
    std::vector<LineRef> refs;
    IGrepCallBack* callBack = nullptr;
    bool halt = false;  // Stop, or the expression ran out of its budget

    bool KeepGoing(GrepStats& stats) {
        if (halt) return false;
        if (callBack && !callBack->KeepGoing()) {
            stats.stopped = true;
            halt = true;
        }
        return !halt;
    }
};

CGreper::CGreper() : startTick_(GetTickCount()), impl_(std::make_unique<Impl>()) {}
CGreper::~CGreper() = default;

bool FilterAdmits(const std::wstring& filter, const std::wstring& fileName) {
    const size_t slash = fileName.find_last_of(L"\\/");
    const size_t dot = fileName.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return true;
    if (filter.empty()) return true;
    const std::wstring entry = LowerAscii(fileName.substr(dot)) + L";";
    return LowerAscii(filter).find(entry) != std::wstring::npos;
}

void CGreper::Configure(const GrepOptions& options) {
    options_ = options;
    stats_ = GrepStats();
    Impl& m = *impl_;
    m.filter = LowerAscii(L";" + options.fileTypes + L";");
    // No types at all, or "*.*" among them: every file.
    if (options.fileTypes.empty() || m.filter.find(L";*.*;") != std::wstring::npos) m.filter.clear();
    m.sampleBytes = encoding::SampleSize(
        settings::ReadClampedInt(settings::File::Setting, L"Setting", L"AutoDetectBuffer"), SIZE_MAX);
    m.regex.reset();
    m.asciiPattern.clear();
    const std::wstring& p = options.pattern;
    if (options.regex) {
        m.regex = std::make_unique<mrx::CRegexpT<wchar_t>>();
        m.regex->Compile(p.c_str(), int(p.size()), options.matchCase ? 0 : mrx::IGNORECASE);
        m.lineFree = LineFree(p);
        if (!m.regex->Ok()) {
            const std::string& e = m.regex->Error();
            stats_.patternError.assign(e.begin(), e.end());
            if (stats_.patternError.empty()) stats_.patternError = L"invalid expression";
        }
        return;
    }
    m.finder.SetPattern(p.c_str(), int(p.size()), options.matchCase, false);
    bool ascii = !p.empty();
    for (wchar_t c : p) {
        if (c == 0 || c >= 128 || c == L'?' || c == L'\r' || c == L'\n') ascii = false;
        // Case partners outside ASCII (the Kelvin sign, the long s).
        else if (!options.matchCase)
            for (uint32_t o = search::NextCase(c); o != uint32_t(c); o = search::NextCase(o))
                if (o >= 128) ascii = false;
    }
    if (ascii)
        for (wchar_t c : p) m.asciiPattern += char(options.matchCase ? c : LowerAscii(c));
}

int CGreper::Run(const std::wstring& folder, IGrepCallBack* callBack) {
    total_ = 0;
    Impl& m = *impl_;
    m.callBack = callBack;
    m.halt = false;
    m.budget = mrx::Budget();
    m.budget.steps = budgetSteps_;
    // Detection loads the detector for each file: held here, it stays loaded
    // for the whole search instead of being mapped anew every time.
    shell::CUniqueLibrary detector;
    if (options_.codePage < 0)
        detector.reset(LoadLibraryExW((settings::ProgramFolder() + L"chardet.dll").c_str(), nullptr,
                                      LOAD_WITH_ALTERED_SEARCH_PATH));
    const GrepStats kept = stats_;
    stats_ = GrepStats();
    stats_.patternError = kept.patternError;
    if (stats_.patternError.empty() && !folder.empty()) Walk(folder);
    detector.reset();
    Finish(total_, folder);
    if (callBack) callBack->Finished();
    m.callBack = nullptr;
    return total_;
}

void CGreper::Walk(const std::wstring& folder) {
    std::wstring base = folder;
    if (base.back() != L'\\' && base.back() != L'/') base += L'\\';
    WIN32_FIND_DATAW fd;
    const shell::CUniqueFind find(FindFirstFileExW((base + L"*.*").c_str(), FindExInfoBasic, &fd,
                                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) return;
    do {
        const wchar_t* name = fd.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
        if (!impl_->KeepGoing(stats_)) break;
        const std::wstring path = base + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // Links and junctions to folders are not followed: one pointing
            // at an ancestor would walk the tree again and again.
            if (options_.subfolders && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) Walk(path);
            continue;
        }
        if (impl_->callBack) impl_->callBack->Progress(path.c_str(), total_);
        if (!FilterAdmits(impl_->filter, name)) continue;
        // A file too large for the memory its lines need is skipped.
        try {
            SearchFile(path);
        } catch (const std::bad_alloc&) {
            impl_->block.clear();
            impl_->refs.clear();
            ++stats_.skipped;
        }
    } while (!impl_->halt && FindNextFileW(find.get(), &fd));
}

void CGreper::SearchFile(const std::wstring& path) {
    Impl& m = *impl_;
    FileBytes file;
    const OpenResult opened = MapWhole(path, &m.readBuffer, &file);
    if (opened == OpenResult::kEmpty) return;
    if (opened == OpenResult::kFailed) {
        ++stats_.skipped;
        return;
    }
    const uint8_t* data = file.Bytes();
    const size_t n = file.size;
    int cp = options_.codePage;
    if (cp < 0) cp = encoding::DetectCodePage(data, std::min(m.sampleBytes, n));
    if (!Convertible(cp)) {
        ++stats_.skipped;
        return;
    }
    ++stats_.files;
    const size_t w = size_t(UnitWidth(cp));
    const bool bigEndian = cp == 1201 || cp == 12001;
    const bool keepsAscii = w == 1 && KeepsAscii(cp);
    const bool byteFilter = keepsAscii && !m.asciiPattern.empty();
    size_t i = encoding::SkipByteOrderMark(data, n, cp);
    int lineNo = 0;
    auto unitAt = [&](size_t at) -> uint32_t {
        if (w == 1) return data[at];
        uint32_t u = 0;
        for (size_t k = 0; k < w; ++k)
            u = bigEndian ? (u << 8 | data[at + k]) : (u | uint32_t(data[at + k]) << (8 * k));
        return u;
    };
    // An expression that cannot see past its line's ends is first run over
    // many lines at once; only the lines its matches start in are searched
    // alone. A match found in the run starts no later than the first match
    // of any one line, whose context it shares.
    const bool blocks = m.regex && m.lineFree && !options_.invert;
    m.block.clear();
    m.refs.clear();
    // Lines without a candidate are only counted, a window at a time.
    const bool skipping = byteFilter && !options_.invert;
    constexpr size_t kWindow = 1 << 20;
    while (i < n) {
        if (skipping) {
            size_t lineStart = i, scan = i;
            bool found = false;
            for (;;) {
                const size_t windowEnd = std::min(n, scan + kWindow);
                const size_t c = NextCandidate(data, scan, windowEnd, n);
                const size_t stop = std::min(c, windowEnd);
                for (size_t k = scan; k < stop; ++k) {
                    const uint8_t b = data[k];
                    if (b == '\n' || (b == '\r' && !(k + 1 < n && data[k + 1] == '\n'))) {
                        ++lineNo;
                        lineStart = k + 1;
                    }
                }
                if (c < windowEnd) {
                    found = true;
                    break;
                }
                scan = windowEnd;
                if (scan >= n || !m.KeepGoing(stats_)) break;
            }
            if (!found) return;
            i = lineStart;
        }
        // The line [i, end) and the start of the next one.
        size_t end = i, next;
        if (w == 1) {
            while (end < n && data[end] != '\n' && data[end] != '\r') ++end;
            next = end;
            if (next < n) next += (data[next] == '\r' && next + 1 < n && data[next + 1] == '\n') ? 2 : 1;
        } else {
            uint32_t u = 0;
            while (end + w <= n && (u = unitAt(end)) != '\n' && u != '\r') end += w;
            if (end + w > n) {
                end = next = n;
            } else {
                next = end + w;
                if (u == '\r' && next + w <= n && unitAt(next) == '\n') next += w;
            }
        }
        const int number = lineNo++;
        const size_t at = i;
        i = next;
        if (!m.KeepGoing(stats_)) return;
        if (end == at) continue;
        if (byteFilter && !options_.invert && !MayHold(data + at, end - at)) continue;
        const int length = Convert(data + at, end - at, cp, keepsAscii);
        if (length <= 0) continue;
        if (blocks) {
            m.refs.push_back({number, m.block.size(), length});
            m.block.insert(m.block.end(), m.line.data(), m.line.data() + length);
            m.block.push_back(L'\n');
            if (m.block.size() >= kBlockUnits && !SearchBlock(path)) return;
            continue;
        }
        int column = 0;
        const bool matched = Match(m.line.data(), length, &column);
        if (m.halt) return;
        if (matched == options_.invert) continue;
        ++total_;
        Report(path, number, options_.invert ? 0 : column, m.line.data(), length);
        if (options_.namesOnly) return;
    }
    if (blocks) SearchBlock(path);
}

bool CGreper::SearchBlock(const std::wstring& path) {
    Impl& m = *impl_;
    const wchar_t* text = m.block.data();
    const int size = int(m.block.size());
    bool more = true;
    size_t next = 0;  // the first line not yet settled
    while (next < m.refs.size()) {
        // A budget of the block's own: an expression that is slow over many
        // lines at once is tried line by line on the search's budget.
        mrx::Budget local;
        local.steps = 100000 + 64 * uint64_t(size);
        const mrx::MatchResult r = m.regex->Search(text, size, int(m.refs[next].offset), size, local);
        if (!r.Matched() && r.status != mrx::Status::kTooComplex) break;
        size_t j = m.refs.size();
        if (r.Matched()) {
            // The line the match starts in (or ends, at its break).
            j = size_t(std::upper_bound(m.refs.begin() + ptrdiff_t(next), m.refs.end(), size_t(r.Start()),
                                        [](size_t at, const LineRef& ref) { return at < ref.offset; }) -
                       m.refs.begin()) - 1;
        }
        for (size_t k = r.Matched() ? j : next; k < (r.Matched() ? j + 1 : m.refs.size()); ++k) {
            const LineRef& ref = m.refs[k];
            int column = 0;
            const bool matched = Match(text + ref.offset, ref.length, &column);
            if (m.halt) {
                more = false;
                break;
            }
            if (!matched) continue;
            ++total_;
            Report(path, ref.number, column, text + ref.offset, ref.length);
            if (options_.namesOnly) {
                more = false;
                break;
            }
        }
        if (!more || !r.Matched()) break;
        next = j + 1;
    }
    m.block.clear();
    m.refs.clear();
    return more;
}

bool CGreper::MayHold(const uint8_t* bytes, size_t length) const {
    return NextCandidate(bytes, 0, length, length) < length;
}

size_t CGreper::NextCandidate(const uint8_t* b, size_t from, size_t to, size_t n) const {
    const std::string& p = impl_->asciiPattern;
    const size_t pn = p.size();
    if (n < pn) return to;
    const size_t last = std::min(to, n - pn + 1);  // starts before it
    const uint8_t first = uint8_t(p[0]);
    if (options_.matchCase) {
        for (size_t s = from; s < last; ++s) {
            const void* hit = std::memchr(b + s, first, last - s);
            if (!hit) return to;
            s = size_t(static_cast<const uint8_t*>(hit) - b);
            if (std::memcmp(b + s, p.data(), pn) == 0) return s;
        }
        return to;
    }
    // The pattern is in lower case: a letter's upper case differs in 0x20.
    const uint8_t mask = (first >= 'a' && first <= 'z') ? 0x20 : 0;
    for (size_t s = from; s < last; ++s) {
        if (uint8_t(b[s] | mask) != first) continue;
        size_t k = 1;
        while (k < pn) {
            uint8_t c = b[s + k];
            if (c >= 'A' && c <= 'Z') c += 32;
            if (c != uint8_t(p[k])) break;
            ++k;
        }
        if (k == pn) return s;
    }
    return to;
}

int CGreper::Convert(const uint8_t* b, size_t n, int cp, bool keepsAscii) {
    std::vector<wchar_t>& line = impl_->line;
    const size_t w = size_t(UnitWidth(cp));
    // A line that does not fit the buffer grows it to twice the need.
    auto reserve = [&](size_t units) {
        if (units + 1 > line.size()) line.resize(2 * units + 1);
    };
    if (n > 0x7FFFFFFF) n = 0x7FFFFFFF;
    if (w == 2) {
        const size_t units = n / 2;
        reserve(units);
        if (cp == 1200) {
            std::memcpy(line.data(), b, units * 2);
        } else {
            for (size_t k = 0; k < units; ++k) line[k] = wchar_t(b[2 * k] << 8 | b[2 * k + 1]);
        }
        return int(units);
    }
    if (w == 4) {
        reserve(n / 4 * 2);
        size_t out = 0;
        for (size_t k = 0; k + 4 <= n; k += 4) {
            uint32_t c = cp == 12000 ? (uint32_t(b[k]) | uint32_t(b[k + 1]) << 8 | uint32_t(b[k + 2]) << 16 |
                                        uint32_t(b[k + 3]) << 24)
                                     : (uint32_t(b[k]) << 24 | uint32_t(b[k + 1]) << 16 | uint32_t(b[k + 2]) << 8 |
                                        uint32_t(b[k + 3]));
            if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
            if (c >= 0x10000) {
                c -= 0x10000;
                line[out++] = wchar_t(0xD800 + (c >> 10));
                line[out++] = wchar_t(0xDC00 + (c & 0x3FF));
            } else {
                line[out++] = wchar_t(c);
            }
        }
        return int(out);
    }
    reserve(n);
    // ASCII lines convert to themselves in the code pages that keep ASCII.
    size_t k = 0;
    while (k < n && b[k] < 0x80) ++k;
    if (k == n && keepsAscii) {
        for (size_t j = 0; j < n; ++j) line[j] = wchar_t(b[j]);
        return int(n);
    }
    // The system's conversion, or ours where it refuses the code page.
    const char* bytes = reinterpret_cast<const char*>(b);
    int units = codepage::ToWide(cp, bytes, int(n), line.data(), int(line.size() - 1));
    if (units == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        units = codepage::ToWide(cp, bytes, int(n), nullptr, 0);
        reserve(size_t(std::max(units, 0)));
        units = codepage::ToWide(cp, bytes, int(n), line.data(), int(line.size() - 1));
    }
    return units;
}

bool CGreper::Match(const wchar_t* text, int length, int* column) {
    Impl& m = *impl_;
    if (m.regex) {
        // The budget grows with the text searched, so that a large tree is
        // never too complex for an ordinary expression; a catastrophic one
        // spends far more on a single line and stops the search.
        if (!m.budget.exhausted) m.budget.steps += kStepsPerUnit * (uint64_t(length) + 1);
        const mrx::MatchResult r = m.regex->Search(text, length, 0, length, m.budget);
        if (r.status == mrx::Status::kTooComplex) {
            stats_.tooComplex = true;
            m.halt = true;
            return false;
        }
        if (!r.Matched()) return false;
        *column = r.Start();
        return true;
    }
    int matchLength = 0;
    const wchar_t* hit = m.finder.FindForward(text, length, text, length, &matchLength);
    if (!hit) return false;
    *column = int(hit - text);
    return true;
}

// ---------------------------------------------------------------------------
// The outputs.

namespace {

std::wstring HitLine(const std::wstring& path, int line, int column, const wchar_t* text, int length) {
    std::wstring s;
    s.reserve(path.size() + size_t(length) + 32);
    s += L"#<";
    s += path;
    s += L">:(";
    s += std::to_wstring(line + 1);
    s += L',';
    s += std::to_wstring(column);
    s += L"):";
    s.append(text, size_t(length));
    s += L'\n';
    return s;
}

}  // namespace

COutputGreper::COutputGreper(std::function<void(const std::wstring&)> append) : append_(std::move(append)) {}

void COutputGreper::Flush() {
    if (!pending_.empty() && append_) append_(pending_);
    pending_.clear();
    pendingLines_ = 0;
    lastFlush_ = GetTickCount();
}

void COutputGreper::Report(const std::wstring& path, int line, int column, const wchar_t* text, int length) {
    if (pending_.empty()) lastFlush_ = GetTickCount();
    if (options_.namesOnly) {
        pending_ += path;
        pending_ += L'\n';
    } else {
        pending_ += HitLine(path, line, column, text, length);
    }
    // Batches keep the window's thread from being flooded by small appends.
    if (++pendingLines_ >= 100 || GetTickCount() - lastFlush_ >= 50) Flush();
}

void COutputGreper::Finish(int total, const std::wstring& folder) {
    if (!options_.namesOnly) pending_ += std::to_wstring(total) + L" lines were found in " + folder + L"\n";
    Flush();
}

CFileGreper::CFileGreper() {
    wchar_t temp[MAX_PATH + 1] = {}, name[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH || !GetTempFileNameW(temp, L"FT_", 0, name)) return;
    path_ = name;
    file_.reset(CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    created_ = bool(file_);
}

CFileGreper::~CFileGreper() {
    file_.reset();  // closed before it is deleted
    if (!keep_ && !path_.empty()) DeleteFileW(path_.c_str());
}

void CFileGreper::Write(const std::wstring& text, bool flush) {
    if (!file_) return;
    buffer_ += text;
    if (!flush && buffer_.size() < 32768) return;
    const char* p = reinterpret_cast<const char*>(buffer_.data());
    size_t left = buffer_.size() * sizeof(wchar_t);
    while (left > 0) {
        DWORD written = 0;
        const DWORD chunk = DWORD(std::min<size_t>(left, 1u << 30));
        if (!WriteFile(file_.get(), p, chunk, &written, nullptr) || written == 0) break;
        p += written;
        left -= written;
    }
    buffer_.clear();
}

void CFileGreper::Report(const std::wstring& path, int line, int column, const wchar_t* text, int length) {
    Write(options_.namesOnly ? path + L"\n" : HitLine(path, line, column, text, length), false);
}

void CFileGreper::Finish(int total, const std::wstring& folder) {
    if (!options_.namesOnly) {
        // Tick counts subtract across a wrap.
        const DWORD elapsed = GetTickCount() - startTick_;
        char seconds[64];
        std::snprintf(seconds, sizeof seconds, "%.2f", double(elapsed) / 1000.0);
        const std::string s(seconds);
        Write(std::to_wstring(total) + L" lines were found in " + folder + L" (" + std::wstring(s.begin(), s.end()) +
                  L" seconds)\n",
              true);
    } else {
        Write(std::wstring(), true);
    }
    file_.reset();
}

}  // namespace GrepUtil

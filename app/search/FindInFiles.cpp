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
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <emmintrin.h>
#include <exception>
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
    // Not 20127: the system reads a byte above 127 there as its low seven bits.
    if (cp == 65001 || cp == 874 || (cp >= 1250 && cp <= 1258)) return true;
    if (cp == 932 || cp == 936 || cp == 949 || cp == 950 || cp == 54936 || cp == 51932 || cp == 51936 ||
        cp == 51949)
        return true;
    if ((cp >= 28591 && cp <= 28606) || cp == 20866 || cp == 21866 || cp == 38598) return true;
    if (cp == 437 || cp == 850 || cp == 852 || cp == 855 || cp == 857 || cp == 858 ||
        (cp >= 860 && cp <= 866))
        return true;
    return false;
}

int UnitWidth(int cp) { return (cp == 1200 || cp == 1201) ? 2 : (cp == 12000 || cp == 12001) ? 4 : 1; }

bool Convertible(int cp) {
    if (cp == 0 || cp == 1200 || cp == 1201 || cp == 12000 || cp == 12001) return true;
    return cp > 0 && (IsValidCodePage(UINT(cp)) || codepage::HasOwnConversion(cp));
}

enum class OpenResult { kOk, kEmpty, kFailed, kNoMemory };

// Files up to this size are read whole into their slot's buffer with one
// ReadFile (asking one byte more than the walk listed, to see the end);
// larger ones are mapped.
constexpr uint64_t kReadLimit = 1 << 20;

// One entry of the walk on its way to the matching. The walk fills in the
// path, whether the filter admits it and the size it listed; a reader takes
// an admitted file's bytes; the matching searches it and hands the slot back.
struct Slot {
    std::wstring path;
    uint64_t listedSize = 0;
    bool admitted = false;
    bool ready = false;  // read (or nothing to read): the matching may take it
    OpenResult result = OpenResult::kFailed;
    std::vector<uint8_t> buffer;  // kept with the slot for the files that follow
    shell::CMappedFile view;
    size_t size = 0;
    const uint8_t* Bytes() const { return view.data() ? view.data() : buffer.data(); }
};

OpenResult ReadSlot(Slot& s) {
    s.size = 0;
    const shell::CUniqueHandle f(CreateFileW(s.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!f) return OpenResult::kFailed;
    auto reserve = [&](size_t bytes) {
        if (s.buffer.size() < bytes)
            s.buffer.resize(std::min<size_t>(kReadLimit + 1, std::max(bytes, 2 * s.buffer.size())));
    };
    if (s.listedSize <= kReadLimit) {
        const size_t want = size_t(s.listedSize) + 1;
        reserve(want);
        DWORD got = 0;
        if (!ReadFile(f.get(), s.buffer.data(), DWORD(want), &got, nullptr)) return OpenResult::kFailed;
        if (got < want) {
            s.size = got;
            return got ? OpenResult::kOk : OpenResult::kEmpty;
        }
        // Longer than listed: measured and taken anew.
        const LARGE_INTEGER zero = {};
        if (!SetFilePointerEx(f.get(), zero, nullptr, FILE_BEGIN)) return OpenResult::kFailed;
    }
    LARGE_INTEGER before = {};
    if (!GetFileSizeEx(f.get(), &before)) return OpenResult::kFailed;
    if (before.QuadPart == 0) return OpenResult::kEmpty;
    if (uint64_t(before.QuadPart) <= kReadLimit) {
        reserve(size_t(before.QuadPart));
        DWORD got = 0;
        if (!ReadFile(f.get(), s.buffer.data(), DWORD(before.QuadPart), &got, nullptr))
            return OpenResult::kFailed;
        s.size = got;
        return got ? OpenResult::kOk : OpenResult::kEmpty;
    }
    switch (s.view.Map(f.get())) {
        case shell::CMappedFile::Result::kOk: s.size = s.view.size(); return OpenResult::kOk;
        case shell::CMappedFile::Result::kEmpty: return OpenResult::kEmpty;
        default: return OpenResult::kFailed;
    }
}

// The platform's slim lock and condition variables: under Wine they wait on
// futexes without a call into the server, which the C library's pthread
// objects (events and semaphores) would make for every wake-up.
class CLock {
   public:
    explicit CLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~CLock() { ReleaseSRWLockExclusive(&lock_); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

   private:
    SRWLOCK& lock_;
};

// A thread running a body that lets no exception out, joined when its owner goes.
class CWorker {
   public:
    CWorker() = default;
    CWorker(const CWorker&) = delete;
    CWorker& operator=(const CWorker&) = delete;
    ~CWorker() { Join(); }
    bool Start(std::function<void()> body) {
        body_ = std::move(body);
        thread_.reset(CreateThread(nullptr, 0, &Entry, this, 0, nullptr));
        return bool(thread_);
    }
    void Join() {
        if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }

   private:
    static DWORD WINAPI Entry(void* p) {
        try {
            static_cast<CWorker*>(p)->body_();
        } catch (...) {
        }
        return 0;
    }
    std::function<void()> body_;
    shell::CUniqueHandle thread_;
};

// The walk and the reading ahead of the matching. Entries go round a ring
// of slots in walk order: the walk fills the slot after the last one listed
// while the ring has room, the readers take the admitted files in order and
// read them (several at once when there are several readers), and the
// matching takes the slots one after another as they become ready, so its
// results come in walk order whoever read what first.
//
// Every wait also ends on Stop, which the owner's going away presses; the
// workers are joined before anything they use goes.
class CPipeline {
   public:
    struct Setup {
        std::wstring folder;
        bool subfolders = true;
        const std::wstring* filter = nullptr;
        std::function<void(const std::wstring&)> listed;
        int readers = 1;
    };
    explicit CPipeline(Setup setup) : setup_(std::move(setup)), ring_(kSlots) {}
    ~CPipeline() {
        Stop();
        walker_.Join();
        readers_.clear();  // joins
    }
    CPipeline(const CPipeline&) = delete;
    CPipeline& operator=(const CPipeline&) = delete;

    // Starts the workers; throws when the platform gives none (the owner's
    // going away stops and joins those that did start).
    void Start() {
        readers_.reserve(size_t(setup_.readers));
        for (int i = 0; i < setup_.readers; ++i) {
            readers_.push_back(std::make_unique<CWorker>());
            if (!readers_.back()->Start([this] { Read(); })) {
                readers_.pop_back();
                break;
            }
        }
        if (readers_.empty() || !walker_.Start([this] { WalkAll(); })) throw std::bad_alloc();
    }

    // The next entry in walk order once it is ready; null at the end of the
    // walk or after Stop. The slot is the caller's until Release.
    Slot* Next() {
        const CLock hold(lock_);
        for (;;) {
            if (stop_) return nullptr;
            if (taken_ < listed_ && ring_[taken_ % kSlots].ready) return &ring_[taken_ % kSlots];
            if (walked_ && taken_ == listed_) return nullptr;
            ++matcherWaits_;
            SleepConditionVariableSRW(&readyCv_, &lock_, INFINITE, 0);
            --matcherWaits_;
        }
    }
    void Release(Slot& slot) {
        slot.view.Close();
        const CLock hold(lock_);
        slot.ready = false;
        ++taken_;
        if (walkerWaits_) WakeConditionVariable(&roomCv_);
    }
    void Stop() {
        const CLock hold(lock_);
        stop_ = true;
        stopped_ = true;
        WakeAllConditionVariable(&roomCv_);
        WakeAllConditionVariable(&workCv_);
        WakeAllConditionVariable(&readyCv_);
    }
    // What made the walk fail half-way (out of memory), once it is over.
    std::exception_ptr Failure() {
        const CLock hold(lock_);
        return failure_;
    }

   private:
    static constexpr size_t kSlots = 32;

    void WalkAll() {
        try {
            Walk(setup_.folder);
        } catch (...) {
            const CLock hold(lock_);
            failure_ = std::current_exception();
        }
        const CLock hold(lock_);
        walked_ = true;
        WakeAllConditionVariable(&workCv_);
        if (matcherWaits_) WakeConditionVariable(&readyCv_);
    }

    // False once stopped.
    bool Walk(const std::wstring& folder) {
        std::wstring base = folder;
        if (base.back() != L'\\' && base.back() != L'/') base += L'\\';
        WIN32_FIND_DATAW fd;
        const shell::CUniqueFind find(FindFirstFileExW((base + L"*.*").c_str(), FindExInfoBasic, &fd,
                                                       FindExSearchNameMatch, nullptr,
                                                       FIND_FIRST_EX_LARGE_FETCH));
        if (!find) return true;
        do {
            const wchar_t* name = fd.cFileName;
            if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
            std::wstring path = base + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                // Links and junctions to folders are not followed: one pointing
                // at an ancestor would walk the tree again and again.
                if (setup_.subfolders && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !Walk(path))
                    return false;
                continue;
            }
            const bool admitted = FilterAdmits(*setup_.filter, name);
            if (admitted && setup_.listed) setup_.listed(path);
            if (!Put(std::move(path), admitted, uint64_t(fd.nFileSizeHigh) << 32 | fd.nFileSizeLow))
                return false;
        } while (!stopped_ && FindNextFileW(find.get(), &fd));
        return !stopped_;
    }

    // False once stopped.
    bool Put(std::wstring path, bool admitted, uint64_t size) {
        const CLock hold(lock_);
        while (!stop_ && listed_ - taken_ >= kSlots) {
            ++walkerWaits_;
            SleepConditionVariableSRW(&roomCv_, &lock_, INFINITE, 0);
            --walkerWaits_;
        }
        if (stop_) return false;
        Slot& slot = ring_[listed_ % kSlots];
        slot.path.swap(path);
        slot.admitted = admitted;
        slot.listedSize = size;
        slot.ready = !admitted;
        slot.result = OpenResult::kEmpty;
        slot.size = 0;
        if (slot.ready && taken_ == listed_ && matcherWaits_) WakeConditionVariable(&readyCv_);
        ++listed_;
        if (admitted && readerWaits_) WakeConditionVariable(&workCv_);
        return true;
    }

    void Read() {
        for (;;) {
            size_t seq = 0;
            {
                const CLock hold(lock_);
                for (;;) {
                    // The matching may have taken entries that need no
                    // reading past this one, and their slots may hold others.
                    if (read_ < taken_) read_ = taken_;
                    while (read_ < listed_ && !ring_[read_ % kSlots].admitted) ++read_;
                    if (stop_ || read_ < listed_ || walked_) break;
                    ++readerWaits_;
                    SleepConditionVariableSRW(&workCv_, &lock_, INFINITE, 0);
                    --readerWaits_;
                }
                if (stop_ || read_ == listed_) return;
                seq = read_++;
            }
            Slot& slot = ring_[seq % kSlots];
            try {
                slot.result = ReadSlot(slot);
            } catch (...) {  // the buffer could not grow
                slot.view.Close();
                slot.result = OpenResult::kNoMemory;
            }
            const CLock hold(lock_);
            slot.ready = true;
            if (seq == taken_ && matcherWaits_) WakeConditionVariable(&readyCv_);
        }
    }

    Setup setup_;
    std::vector<Slot> ring_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE roomCv_ = CONDITION_VARIABLE_INIT;   // the walk waits for a free slot
    CONDITION_VARIABLE workCv_ = CONDITION_VARIABLE_INIT;   // readers wait for a file listed
    CONDITION_VARIABLE readyCv_ = CONDITION_VARIABLE_INIT;  // the matching waits for its next slot
    // Sequence numbers: listed by the walk, claimed by a reader, taken (and
    // handed back) by the matching; slot = number % kSlots.
    size_t listed_ = 0, read_ = 0, taken_ = 0;
    int walkerWaits_ = 0, readerWaits_ = 0, matcherWaits_ = 0;
    bool walked_ = false;
    bool stop_ = false;
    std::atomic<bool> stopped_{false};  // stop_ for the walk's loops, read without the lock
    std::exception_ptr failure_;
    // Last: the workers go (joined) before what they use.
    CWorker walker_;
    std::vector<std::unique_ptr<CWorker>> readers_;
};

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

// The line ends among bytes [from, to) of n (LF, CR LF, or CR alone; one
// that straddles `to` counts where its CR is), and where the line after the
// last of them starts. Sixteen bytes at a time where they hold no CR.
int CountLines(const uint8_t* data, size_t from, size_t to, size_t n, size_t* lineStart) {
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
    int lines = 0;
    for (size_t k = from; k < to;) {
        if (k + 16 <= to) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + k));
            if (!_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr))) {
                const unsigned lfs = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
                if (lfs) {
                    lines += __builtin_popcount(lfs);
                    *lineStart = k + size_t(32 - __builtin_clz(lfs));
                }
                k += 16;
                continue;
            }
        }
        for (const size_t end = std::min(to, k + 16); k < end; ++k) {
            const uint8_t b = data[k];
            if (b == '\n' || (b == '\r' && !(k + 1 < n && data[k + 1] == '\n'))) {
                ++lines;
                *lineStart = k + 1;
            }
        }
    }
    return lines;
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
    bool lineFree = false;       // the expression may run over many lines at once
    std::vector<wchar_t> block;  // lines, each followed by LF
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
    if (stats_.patternError.empty() && !folder.empty()) {
        CPipeline pipeline({folder, options_.subfolders, &m.filter,
                            [this](const std::wstring& path) { Listed(path); }, readers_});
        pipeline.Start();
        while (Slot* slot = pipeline.Next()) {
            if (callBack) callBack->Progress(slot->path.c_str(), total_);
            // Asked for every entry, also those never searched (left out by
            // the filter, empty, unreadable), so that Stop ends the walk.
            if (!m.KeepGoing(stats_)) {
                pipeline.Release(*slot);
                break;
            }
            if (slot->admitted) {
                if (slot->result == OpenResult::kOk) {
                    // A file too large for the memory its lines need is skipped.
                    try {
                        SearchFile(slot->path, slot->Bytes(), slot->size);
                    } catch (const std::bad_alloc&) {
                        m.block.clear();
                        m.refs.clear();
                        ++stats_.skipped;
                    }
                } else if (slot->result != OpenResult::kEmpty) {
                    ++stats_.skipped;
                }
            }
            pipeline.Release(*slot);
            if (m.halt) break;
        }
        if (!m.halt) {
            if (const std::exception_ptr failure = pipeline.Failure()) std::rethrow_exception(failure);
        }
    }
    detector.reset();
    Finish(total_, folder);
    if (callBack) callBack->Finished();
    m.callBack = nullptr;
    return total_;
}

void CGreper::SearchFile(const std::wstring& path, const uint8_t* data, size_t n) {
    Impl& m = *impl_;
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
                lineNo += CountLines(data, scan, stop, n, &lineStart);
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
                       m.refs.begin()) -
                1;
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
    // The pattern is in lower case when case is ignored: a letter's upper
    // case differs in 0x20, which an OR takes away.
    const bool fold = !options_.matchCase;
    auto foldMask = [fold](uint8_t c) -> uint8_t { return fold && c >= 'a' && c <= 'z' ? 0x20 : 0; };
    const uint8_t first = uint8_t(p[0]), final = uint8_t(p[pn - 1]);
    const uint8_t firstMask = foldMask(first), finalMask = foldMask(final);
    auto matches = [&](size_t s) {
        for (size_t k = 0; k < pn; ++k) {
            uint8_t c = b[s + k];
            if (fold && c >= 'A' && c <= 'Z') c += 32;
            if (c != uint8_t(p[k])) return false;
        }
        return true;
    };
    // Sixteen starts at a time, by the pattern's first and last units (the
    // last load ends before n: s + 15 + pn - 1 < last + pn - 1 <= n).
    const __m128i vFirst = _mm_set1_epi8(char(first)), vFinal = _mm_set1_epi8(char(final));
    const __m128i mFirst = _mm_set1_epi8(char(firstMask)), mFinal = _mm_set1_epi8(char(finalMask));
    size_t s = from;
    for (; s + 16 <= last; s += 16) {
        const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + s)), mFirst);
        const __m128i z =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + s + pn - 1)), mFinal);
        for (unsigned bits = unsigned(
                 _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, vFirst), _mm_cmpeq_epi8(z, vFinal))));
             bits; bits &= bits - 1) {
            const size_t at = s + size_t(__builtin_ctz(bits));
            if (matches(at)) return at;
        }
    }
    for (; s < last; ++s)
        if (uint8_t(b[s] | firstMask) == first && matches(s)) return s;
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
                                     : (uint32_t(b[k]) << 24 | uint32_t(b[k + 1]) << 16 |
                                        uint32_t(b[k + 2]) << 8 | uint32_t(b[k + 3]));
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
    file_.reset(CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
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
        Write(std::to_wstring(total) + L" lines were found in " + folder + L" (" +
                  std::wstring(s.begin(), s.end()) + L" seconds)\n",
              true);
    } else {
        Write(std::wstring(), true);
    }
    file_.reset();
}

}  // namespace GrepUtil

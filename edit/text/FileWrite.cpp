// Streaming a document's lines into a file in a save's encoding and line breaks.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "Encoding.h"
#include "FileIOParts.h"
#include "Iso2022.h"
#include "LineFileSource.h"
#include "TextDocument.h"
#include "ThreadScratch.h"

using namespace fileio_detail;

namespace {

// Reads a source file front to back in large blocks. Ranges are handed out
// as pointers into the block, valid until the next Load.
class SequentialReader {
public:
    explicit SequentialReader(LineFileSource* src) : src_(src) {
        if (src) Allocating();
        buf_.resize(src ? 4 << 20 : 0);
    }
    bool Contains(int64_t offset, int64_t length) const {
        return offset >= start_ && offset + length <= end_;
    }
    const char* At(int64_t offset) const { return buf_.data() + (offset - start_); }
    // Makes [offset, offset + length) available; false on a read error or a
    // file shorter than the lines say.
    bool Load(int64_t offset, int64_t length) {
        if (Contains(offset, length)) return true;
        if (size_t(length) > buf_.size()) {
            Allocating();
            buf_.resize(size_t(length));
        }
        const int64_t got = src_->ReadRaw(offset, int64_t(buf_.size()), buf_.data());
        start_ = offset;
        end_ = got < 0 ? offset : offset + got;
        return got >= length;
    }

private:
    LineFileSource* src_;
    std::vector<char> buf_;
    int64_t start_ = 0, end_ = 0;
};

// Makes room for `n` elements, growing geometrically.
template <typename V>
void Room(V& v, size_t n) {
    if (n <= v.capacity()) return;
    Allocating();
    v.reserve(std::max(n, 2 * v.capacity()));
}

// Whether the code page holds every character (a form of Unicode).
bool HoldsEverything(int codePage) {
    return codePage == encoding::kUtf8 || codePage == encoding::kUtf16LE || codePage == encoding::kUtf16BE ||
           codePage == encoding::kUtf32LE || codePage == encoding::kUtf32BE || codePage == 65000;
}

// What a save does with characters the target code page lacks.
enum class Loss { Refused, Accepted };

// What reading a conversion back takes, kept by each thread from line to line.
struct CheckScratch {
    std::vector<char> bytes;
    std::vector<wchar_t> back;
};
codepage::ThreadScratch<CheckScratch> g_checkScratch;

// Encodes UTF-16 into `out` (reused); false when the target cannot take it.
// Unless the loss is accepted, also when the bytes would not read back as
// the text: a code page that lacks a character writes a default character
// or a look-alike in its place (ERROR_NO_UNICODE_TRANSLATION).
bool Encode(int codePage, const wchar_t* text, int n, std::vector<char>& out, Loss loss = Loss::Refused) {
    if (n <= 0) {
        out.clear();
        return true;
    }
    const int need = encoding::FromUtf16(codePage, text, n, nullptr, 0);
    if (need <= 0) return false;
    Room(out, size_t(need));
    out.resize(size_t(need));
    if (encoding::FromUtf16(codePage, text, n, out.data(), need) != need) return false;
    if (loss == Loss::Accepted || HoldsEverything(codePage)) return true;
    // ISO-2022-JP (50220) writes half-width katakana as their full-width
    // forms by design; its variant 50221 holds the same characters and keeps
    // them, so it tells what 50220 lacks.
    const int checkCp = codePage == 50220 ? 50221 : codePage;
    CheckScratch local;
    CheckScratch* scratch = g_checkScratch.Get();
    if (!scratch) scratch = &local;
    std::vector<char>& bytes = scratch->bytes;
    const std::vector<char>* written = &out;
    if (checkCp != codePage) {
        const int k = encoding::FromUtf16(checkCp, text, n, nullptr, 0);
        if (k <= 0) return false;
        Room(bytes, size_t(k));
        bytes.resize(size_t(k));
        if (encoding::FromUtf16(checkCp, text, n, bytes.data(), k) != k) return false;
        written = &bytes;
    }
    std::vector<wchar_t>& back = scratch->back;
    const int w = int(written->size());
    const int units = encoding::ToUtf16(checkCp, written->data(), w, nullptr, 0);
    if (units < 0) return false;  // the conversion failed, with its reason
    bool same = units == n;
    if (same) {
        Room(back, size_t(units));
        back.resize(size_t(units));
        const int got = encoding::ToUtf16(checkCp, written->data(), w, back.data(), units);
        if (got < 0) return false;
        same = got == units && std::equal(back.begin(), back.end(), text);
    }
    if (!same) SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return same;
}

// Whether the code page writes with a state (ISO-2022: designations and
// shifts), which each conversion starts afresh and closes at its end.
bool Stateful(int codePage) {
    codepage::Iso2022 form;
    return codepage::Iso2022Of(codePage, &form) || codePage == 50229;
}

// Encodes `n` units of UTF-16 into `w` in pieces small enough for the
// conversion's int sizes; a piece never ends inside a surrogate pair. For a
// stateful code page a piece ends only after a line break (or with the text),
// so that a line is converted whole and keeps the shortest escape sequences.
bool EncodeTo(int codePage, const wchar_t* text, int64_t n, std::vector<char>& scratch, Writer& w, Loss loss) {
    constexpr int64_t kPiece = 1 << 20;
    const bool stateful = Stateful(codePage);
    while (n > 0) {
        int64_t k = std::min(n, kPiece);
        if (k < n && stateful) {
            int64_t cut = k;
            while (cut > 0 && text[cut - 1] != L'\n' && text[cut - 1] != L'\r') --cut;
            if (cut == 0) {  // a line longer than a piece: all of it
                cut = k;
                while (cut < n && text[cut - 1] != L'\n' && text[cut - 1] != L'\r') ++cut;
            }
            k = cut;
        } else if (k < n && IS_HIGH_SURROGATE(text[k - 1])) {
            --k;
        }
        if (k > INT32_MAX) {
            SetLastError(ERROR_ARITHMETIC_OVERFLOW);
            return false;
        }
        if (!Encode(codePage, text, int(k), scratch, loss)) return false;
        w.Write(scratch.data(), scratch.size());
        text += k;
        n -= k;
    }
    return true;
}

// A line of the backing file that could not be read back: said as such,
// never taken for a character the code page lacks.
bool ReadFailed() {
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_READ_FAULT);
    return false;
}

}  // namespace

namespace fileio_detail {

// Streams the document's lines in `fmt` into `w`.
//
// In the source's own encoding, runs of unloaded lines whose line breaks in
// the file are already the ones to write are copied as one block. Otherwise
// unloaded lines made only of ASCII are copied when both encodings agree on
// ASCII; the rest are gathered with line breaks in the source encoding and
// converted in large batches. Loaded lines are encoded one by one.
bool WriteDocument(TextDocument& doc, const SaveFormat& fmt, Writer& w) {
    const int cp = fmt.codePage;
    const wchar_t* brk = TextDocument::BreakString(fmt.lineBreak);
    const int brkUnits = int(wcslen(brk));
    std::vector<char> targetBreak, sourceBreak, scratch;
    if (!Encode(cp, brk, brkUnits, targetBreak)) return false;
    const Loss loss = fmt.writeBom & SAVE_ACCEPT_LOSS ? Loss::Accepted : Loss::Refused;
    if (fmt.writeBom & SAVE_WRITE_BOM) {
        int n = 0;
        const char* mark = ByteOrderMark(cp, &n);
        w.Write(mark, size_t(n));
    }
    LineFileSource* src = doc.source;
    const int srcCp = src ? src->CodePage() : cp;
    if (src && !Encode(srcCp, brk, brkUnits, sourceBreak)) return false;
    const bool copyBytes = src && srcCp == cp;
    const bool copyAscii = src && encoding::AsciiCompatible(srcCp) && encoding::AsciiCompatible(cp);
    const int64_t tb = int64_t(targetBreak.size());
    SequentialReader reader(src);

    int64_t spanStart = -1, spanEnd = 0;  // file bytes still to copy as they are
    auto flushSpan = [&]() {
        if (spanStart >= 0) w.Write(reader.At(spanStart), size_t(spanEnd - spanStart));
        spanStart = -1;
    };
    // Source bytes still to convert: up to a megabyte of lines, or one
    // longer line alone (at most INT32_MAX bytes, as loading ensures).
    constexpr size_t kBatchBytes = 1 << 20;
    std::vector<char> batch;
    std::vector<wchar_t> wide;
    auto flushBatch = [&]() {
        if (batch.empty()) return true;
        const int units = encoding::ToUtf16(srcCp, batch.data(), int(batch.size()), nullptr, 0);
        if (units < 0) return false;  // the conversion failed, with the reason
        Room(wide, size_t(units) + 1);
        wide.resize(size_t(units) + 1);
        const int got = encoding::ToUtf16(srcCp, batch.data(), int(batch.size()), wide.data(), units);
        if (got != units) return false;
        batch.clear();
        return EncodeTo(cp, wide.data(), got, scratch, w, loss);
    };
    // Writes what is pending, then the line break before the next line.
    auto writeBreak = [&]() {
        flushSpan();
        if (batch.size() >= kBatchBytes && !flushBatch()) return false;
        if (batch.empty()) {
            w.Write(targetBreak.data(), targetBreak.size());
            return true;
        }
        Room(batch, batch.size() + sourceBreak.size());
        batch.insert(batch.end(), sourceBreak.begin(), sourceBreak.end());
        return true;
    };

    const int count = doc.LineCount();
    for (int i = 0; i < count && w.ok(); ++i) {
        const Line& line = doc.LineAt(i);
        if (line.Loaded() || !src) {
            if (i > 0 && !writeBreak()) return false;
            flushSpan();
            if (!flushBatch()) return false;
            if (line.Loaded() && !EncodeTo(cp, line.text, line.length, scratch, w, loss)) return false;
            continue;
        }
        const int64_t off = line.offset, len = line.length;
        if (copyBytes) {
            // Extend the run when the file already holds the right break here.
            if (i > 0 && spanStart >= 0 && off == spanEnd + tb && reader.Contains(spanEnd, off + len - spanEnd) &&
                std::memcmp(reader.At(spanEnd), targetBreak.data(), size_t(tb)) == 0) {
                spanEnd = off + len;
                continue;
            }
            if (i > 0 && !writeBreak()) return false;
            flushSpan();
            if (!flushBatch()) return false;
            if (!reader.Load(off, len)) return ReadFailed();
            spanStart = off;
            spanEnd = off + len;
            continue;
        }
        if (i > 0 && !writeBreak()) return false;
        if (len == 0) continue;
        if (!reader.Load(off, len)) return ReadFailed();
        const char* bytes = reader.At(off);
        if (copyAscii && encoding::IsAscii(bytes, size_t(len))) {
            if (!flushBatch()) return false;
            w.Write(bytes, size_t(len));
        } else {
            if (batch.size() + size_t(len) > kBatchBytes && !flushBatch()) return false;
            Room(batch, batch.size() + size_t(len));
            batch.insert(batch.end(), bytes, bytes + len);
        }
    }
    flushSpan();
    return flushBatch() && w.ok();
}

}  // namespace fileio_detail

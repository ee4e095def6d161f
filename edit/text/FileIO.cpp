#include "FileIO.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "Encoding.h"
#include "LineFileSource.h"
#include "TextDocument.h"

namespace {

SaveFaultHook g_saveFault = nullptr;

bool Fails(SaveStep step) { return g_saveFault && g_saveFault(step); }

void Allocating() {
    if (Fails(SaveStep::Allocate)) throw std::bad_alloc();
}

std::wstring FullPath(const wchar_t* path) {
    wchar_t buf[MAX_PATH];
    DWORD n = GetFullPathNameW(path, MAX_PATH, buf, nullptr);
    if (n == 0) return path;
    if (n < MAX_PATH) return std::wstring(buf, n);
    std::wstring big(n, L'\0');
    n = GetFullPathNameW(path, n, big.data(), nullptr);
    big.resize(n);
    return big;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash + 1);
}

// Buffered writes in 512 KiB blocks; remembers the first failure.
class Writer {
public:
    static constexpr size_t kSize = 524288;
    explicit Writer(HANDLE h) : h_(h) {
        Allocating();
        buf_.resize(kSize);
    }
    bool ok() const { return ok_; }

    void Write(const void* data, size_t n) {
        const char* p = static_cast<const char*>(data);
        if (n <= kSize - used_) {
            std::memcpy(buf_.data() + used_, p, n);
            used_ += n;
            return;
        }
        const size_t fill = kSize - used_;
        std::memcpy(buf_.data() + used_, p, fill);
        used_ = kSize;
        Flush();
        p += fill;
        n -= fill;
        if (n > kSize) {
            Raw(p, n);
        } else {
            std::memcpy(buf_.data(), p, n);
            used_ = n;
        }
    }
    void Flush() {
        Raw(buf_.data(), used_);
        used_ = 0;
    }

private:
    void Raw(const char* p, size_t n) {
        while (ok_ && n > 0) {
            const DWORD chunk = DWORD(std::min<size_t>(n, 1u << 30));
            DWORD written = 0;
            if (Fails(SaveStep::Write) || !WriteFile(h_, p, chunk, &written, nullptr) || written != chunk) ok_ = false;
            p += chunk;
            n -= chunk;
        }
    }

    HANDLE h_;
    std::vector<char> buf_;
    size_t used_ = 0;
    bool ok_ = true;
};

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
        if (size_t(length) > buf_.size()) buf_.resize(size_t(length));
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

// Encodes UTF-16 into `out` (reused); false when the target cannot take it.
bool Encode(int codePage, const wchar_t* text, int n, std::vector<char>& out) {
    if (n <= 0) {
        out.clear();
        return true;
    }
    const int need = encoding::FromUtf16(codePage, text, n, nullptr, 0);
    if (need <= 0) return false;
    if (size_t(need) > out.capacity()) Allocating();
    out.resize(size_t(need));
    return encoding::FromUtf16(codePage, text, n, out.data(), need) == need;
}

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
    if (fmt.writeBom) {
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
    std::vector<char> batch;  // source bytes still to convert
    std::vector<wchar_t> wide;
    auto flushBatch = [&]() {
        if (batch.empty()) return true;
        const int units = encoding::ToUtf16(srcCp, batch.data(), int(batch.size()), nullptr, 0);
        wide.resize(size_t(units) + 1);
        const int got = encoding::ToUtf16(srcCp, batch.data(), int(batch.size()), wide.data(), units);
        batch.clear();
        if (!Encode(cp, wide.data(), got, scratch)) return false;
        w.Write(scratch.data(), scratch.size());
        return true;
    };
    // Writes what is pending, then the line break before the next line.
    auto writeBreak = [&]() {
        flushSpan();
        if (batch.empty()) {
            w.Write(targetBreak.data(), targetBreak.size());
            return true;
        }
        batch.insert(batch.end(), sourceBreak.begin(), sourceBreak.end());
        return batch.size() < (1u << 20) || flushBatch();
    };

    const int count = doc.LineCount();
    for (int i = 0; i < count && w.ok(); ++i) {
        const Line& line = doc.LineAt(i);
        if (line.Loaded() || !src) {
            if (i > 0 && !writeBreak()) return false;
            flushSpan();
            if (!flushBatch() || !Encode(cp, line.Loaded() ? line.text : L"", line.length, scratch)) return false;
            w.Write(scratch.data(), scratch.size());
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
            if (!flushBatch() || !reader.Load(off, len)) return false;
            spanStart = off;
            spanEnd = off + len;
            continue;
        }
        if (i > 0 && !writeBreak()) return false;
        if (len == 0) continue;
        if (!reader.Load(off, len)) return false;
        const char* bytes = reader.At(off);
        if (copyAscii && encoding::IsAscii(bytes, size_t(len))) {
            if (!flushBatch()) return false;
            w.Write(bytes, size_t(len));
        } else {
            batch.insert(batch.end(), bytes, bytes + len);
        }
    }
    flushSpan();
    return flushBatch() && w.ok();
}

}  // namespace

void SetSaveFaultHookForTesting(SaveFaultHook hook) { g_saveFault = hook; }

std::wstring MakeTempFile(const wchar_t* prefix) {
    wchar_t dir[256], name[MAX_PATH];
    const DWORD n = GetTempPathW(256, dir);
    if (n == 0 || n >= 256) return {};
    if (!GetTempFileNameW(dir, prefix, 0, name)) return {};
    return name;
}

std::wstring MovedAsideName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    const size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    std::wstring name = path.substr(nameStart);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    return path.substr(0, nameStart) + L"~#" + name + L"#.tmp";
}

bool LoadFile(TextDocument& doc, const wchar_t* path, int codePage, bool inPlace) {
    if (!path || !*path) return false;
    const std::wstring full = FullPath(path);
    std::wstring backing = full;
    if (!inPlace) {
        backing = MakeTempFile(L"MP_");
        if (backing.empty()) return false;
        if (!CopyFileW(full.c_str(), backing.c_str(), FALSE)) {
            DeleteFileW(backing.c_str());
            return false;
        }
    }
    // The new source is opened and scanned before the old one is let go.
    LineFileSource* src = new LineFileSource(codePage, inPlace);
    if (!src->Open(backing) || !doc.AttachSource(src)) {
        delete src;  // deletes a private copy
        if (!inPlace) DeleteFileW(backing.c_str());
        return false;
    }
    doc.fileName = path;
    return true;
}

bool SaveFile(TextDocument& doc, const wchar_t* path, const SaveFormat* format, bool update) {
    const SaveFormat fmt = format ? *format : SaveFormat{doc.currentCodePage, doc.lineBreak, doc.hasBom};
    if (update && format) {
        doc.currentCodePage = format->codePage;
        doc.lineBreak = format->lineBreak;
        doc.hasBom = format->writeBom ? 1 : 0;
    }
    if (!path || !*path) return false;
    const std::wstring full = FullPath(path);
    const DWORD oldAttrs = GetFileAttributesW(full.c_str());
    const bool existed = oldAttrs != INVALID_FILE_ATTRIBUTES;
    if (existed && (oldAttrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    // Saving over the file a document was loaded from in place: move it aside
    // and keep reading the unloaded lines from there.
    LineFileSource* src = doc.source;
    bool movedAside = false;
    if (src && src->InPlace() && !src->MovedAside() && SamePath(full, src->FileName())) {
        if (!src->MoveAside(MovedAsideName(full))) return false;
        movedAside = true;
    }
    auto fail = [&](const std::wstring& tmp) {
        const DWORD err = GetLastError();
        if (!tmp.empty()) DeleteFileW(tmp.c_str());
        if (movedAside) src->MoveBack(full);
        SetLastError(err ? err : ERROR_WRITE_FAULT);
        return false;
    };
    wchar_t tmpName[MAX_PATH];
    if (Fails(SaveStep::Create) || !GetTempFileNameW(FolderOf(full).c_str(), L"~MP", 0, tmpName)) return fail(L"");
    const std::wstring tmp = tmpName;
    HANDLE h = CreateFileW(tmp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return fail(tmp);
    bool ok;
    {
        Writer w(h);
        ok = WriteDocument(doc, fmt, w);
        if (ok) w.Flush();
        ok = ok && w.ok() && !Fails(SaveStep::Flush) && FlushFileBuffers(h);
    }
    CloseHandle(h);
    if (!ok) return fail(tmp);
    // Hidden and system files cannot be replaced as they are: clear the
    // attributes for the rename and give them back afterwards.
    if (existed && !movedAside) SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (Fails(SaveStep::Replace) || !MoveFileExW(tmp.c_str(), full.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (existed && !movedAside) SetFileAttributesW(full.c_str(), oldAttrs);
        return fail(tmp);
    }
    if (existed) SetFileAttributesW(full.c_str(), oldAttrs);
    if (update) {
        doc.savePoint = doc.undo.Count();
        doc.fileName = path;
    }
    return true;
}

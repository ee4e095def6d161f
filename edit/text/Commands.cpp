#include "Commands.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <functional>
#include <memory>
#include <utility>

#include <windows.h>

#include "FileIO.h"
#include "TextDocument.h"

namespace {
int g_counter = 0;
bool g_grouping = false;
int g_holds = 0;  // holds taken and not yet released

wchar_t* CopyOut(TextDocument& doc, Position a, Position b, int* length) {
    *length = doc.RangeLength(a, b, 0);
    wchar_t* buf = new wchar_t[size_t(*length) + 1];
    doc.CopyRange(a, b, 0, buf);
    buf[*length] = 0;
    return buf;
}

// Clamps and orders a range and, when the document records, copies its text
// for the inverse command.
struct RemovedRange {
    Position a, b;
    wchar_t* text = nullptr;
    int length = 0;
    RemovedRange(TextDocument& doc, Position start, Position end) : a(doc.Clamp(start)), b(doc.Clamp(end)) {
        if (b.line < a.line || (b.line == a.line && b.column < a.column)) std::swap(a, b);
        if (doc.recording) text = CopyOut(doc, a, b, &length);
    }
};
}  // namespace

namespace undo_group {
int Counter() { return g_counter; }
bool Grouping() { return g_grouping; }
// While a hold lasts, the group it opened takes every edit.
void Begin() {
    if (g_holds) return;
    ++g_counter;
    g_grouping = true;
}
void End() {
    if (g_holds) return;
    ++g_counter;
    g_grouping = false;
}
bool Hold() {
    if (g_holds++ == 0) {
        ++g_counter;
        g_grouping = true;
    }
    return true;
}
bool Release() {
    if (g_holds == 0) return false;
    if (--g_holds == 0) {
        ++g_counter;
        g_grouping = false;
    }
    return true;
}
int Next() {
    if (!g_grouping) ++g_counter;
    return g_counter;
}
}  // namespace undo_group

InsertCommand::~InsertCommand() {
    if (ownsText_) delete[] text_;
}

Command* InsertCommand::Execute(TextDocument& doc) {
    const Position at = doc.Clamp(at_);
    const Position end = doc.Insert(at, text_, length_);
    doc.Changed(at, at, end);
    if (!doc.recording) return nullptr;
    return new DeleteCommand(at, end);
}

Command* DeleteCommand::Execute(TextDocument& doc) {
    const RemovedRange r(doc, start_, end_);
    doc.Delete(r.a, r.b);
    doc.Changed(r.a, r.b, r.a);
    if (!doc.recording) return nullptr;
    return new InsertCommand(r.a, r.text, r.length, true);
}

ReplaceCommand::~ReplaceCommand() {
    if (ownsText_) delete[] text_;
}

Command* ReplaceCommand::Execute(TextDocument& doc) {
    const RemovedRange r(doc, start_, end_);
    doc.Delete(r.a, r.b);
    const Position end = doc.Insert(r.a, text_, length_);
    doc.Changed(r.a, r.b, end);
    if (!doc.recording) return nullptr;
    return new ReplaceCommand(r.a, end, r.text, r.length, true);
}

namespace {
bool Before(Position a, Position b) { return a.line < b.line || (a.line == b.line && a.column < b.column); }
}  // namespace

std::unique_ptr<CompoundReplaceCommand> CompoundReplaceCommand::FromRanges(TextDocument& doc,
                                                                           const ReplaceRangeArg* ranges, int count) {
    if (!ranges || count <= 0) return nullptr;
    const int lines = doc.LineCount();
    // The length of the line asked last, which the next range mostly asks again.
    int cachedLine = -1, cachedLength = 0;
    const auto length = [&](int line) {
        if (line != cachedLine) {
            cachedLine = line;
            cachedLength = doc.ReadableLength(line);
        }
        return cachedLength;
    };
    // In order and on lines of the text; then the lines they touch are
    // converted, runs of them at once, before their lengths are asked.
    Position prevEnd = {0, 0};
    int runFirst = -1, runLast = -2;
    for (int i = 0; i < count; ++i) {
        const ReplaceRangeArg& r = ranges[i];
        const Position a = r.start, b = r.end;
        if (r.length < -1 || (!r.text && r.length != 0)) return nullptr;
        if (a.line < 0 || b.line >= lines || Before(b, a) || Before(a, prevEnd)) return nullptr;
        prevEnd = b;
        if (a.line > runLast + 1) {
            if (runFirst >= 0) doc.LoadLines(runFirst, runLast);
            runFirst = a.line;
        }
        runLast = std::max(runLast, b.line);
    }
    doc.LoadLines(runFirst, runLast);
    auto cmd = std::make_unique<CompoundReplaceCommand>();
    size_t units = 0;
    for (int i = 0; i < count; ++i) {
        const ReplaceRangeArg& r = ranges[i];
        const Position a = r.start, b = r.end;
        if (a.column < 0 || b.column < 0 || a.column > length(a.line) || b.column > length(b.line)) return nullptr;
        int64_t removed = 0;
        if (a.line == b.line) {
            removed = b.column - a.column;
        } else {
            removed = int64_t(length(a.line)) - a.column + 1 + b.column;
            for (int line = a.line + 1; line < b.line; ++line) {
                const int n = doc.ReadableLength(line);
                if (n < 0) return nullptr;
                removed += int64_t(n) + 1;
            }
        }
        const size_t n = r.length < 0 ? wcslen(r.text) : size_t(r.length);
        if (removed > INT32_MAX || n > size_t(INT32_MAX)) return nullptr;
        if (removed == 0 && n == 0) continue;  // changes nothing
        units += n;
    }
    // Every range is good: the pieces and their text.
    cmd->text_.reserve(units);
    size_t lastAt = 0, lastLength = size_t(-1);  // the text of the piece before
    for (int i = 0; i < count; ++i) {
        const ReplaceRangeArg& r = ranges[i];
        const size_t n = r.length < 0 ? wcslen(r.text) : size_t(r.length);
        const Position a = r.start, b = r.end;
        int64_t removed = 0;
        if (a.line == b.line) {
            removed = b.column - a.column;
        } else {
            removed = int64_t(length(a.line)) - a.column + 1 + b.column;
            for (int line = a.line + 1; line < b.line; ++line) removed += int64_t(length(line)) + 1;
        }
        if (removed == 0 && n == 0) continue;
        // A text like the one before is kept once.
        if (n > 0 && n == lastLength && std::wmemcmp(r.text, cmd->text_.data() + lastAt, n) == 0) {
            cmd->pieces_.push_back({a.line, a.column, int(removed), kSameText});
            continue;
        }
        lastAt = cmd->text_.size();
        lastLength = n;
        cmd->pieces_.push_back({a.line, a.column, int(removed), int(n)});
        cmd->text_.insert(cmd->text_.end(), r.text, r.text + n);
    }
    if (cmd->pieces_.empty()) return nullptr;
    cmd->pieces_.shrink_to_fit();
    cmd->text_.shrink_to_fit();
    return cmd;
}

Command* CompoundReplaceCommand::Execute(TextDocument& doc) {
    Position* track = std::exchange(track_, nullptr);  // this run only
    const int tracked = std::exchange(tracked_, 0);
    const std::function<bool(int)> going = std::exchange(going_, nullptr);
    stopped_ = false;
    const int count = int(pieces_.size());
    if (count == 0) return nullptr;
    std::unique_ptr<CompoundReplaceCommand> inverse;
    if (doc.recording) {
        inverse = std::make_unique<CompoundReplaceCommand>();
        size_t removed = 0;
        for (const ReplacePiece& p : pieces_) removed += size_t(p.removed);
        inverse->pieces_.resize(pieces_.size());
        inverse->text_.resize(removed);
    }
    Position span[3];
    size_t written = 0;
    const int done = doc.ReplacePieces(pieces_.data(), count, text_.data(), inverse ? inverse->pieces_.data() : nullptr,
                                       inverse ? inverse->text_.data() : nullptr, &written, track, tracked, span,
                                       going ? &going : nullptr);
    if (done == 0) return nullptr;  // pieces past the text: nothing done
    doc.Changed(span[0], span[1], span[2]);
    if (inverse) {
        inverse->pieces_.resize(size_t(done));
        inverse->pieces_.shrink_to_fit();
        inverse->text_.resize(written);
        inverse->text_.shrink_to_fit();
    }
    if (done < count) {
        // Stopped (or out of memory): the inverse holds what was done, and
        // the rest stays, in the lines as they are now (the columns of a
        // line not reached yet have not moved).
        size_t used = 0, lastAt = 0, lastLength = 0;  // the text of the last piece done
        for (int k = 0; k < done; ++k) {
            const int n = pieces_[size_t(k)].inserted;
            if (n == kSameText) continue;
            lastAt = used;
            lastLength = size_t(n);
            used += size_t(n);
        }
        std::vector<wchar_t> rest;
        if (pieces_[size_t(done)].inserted == kSameText) {  // its text is a done one's
            rest.assign(text_.begin() + std::ptrdiff_t(lastAt), text_.begin() + std::ptrdiff_t(lastAt + lastLength));
            pieces_[size_t(done)].inserted = int(lastLength);
        }
        rest.insert(rest.end(), text_.begin() + std::ptrdiff_t(used), text_.end());
        text_.swap(rest);
        const int delta = span[2].line - span[1].line;
        pieces_.erase(pieces_.begin(), pieces_.begin() + done);
        for (ReplacePiece& p : pieces_) p.line += delta;
        stopped_ = true;
    }
    return inverse.release();
}

MacroCommand::~MacroCommand() {
    list_.ForEach([](Command* c) { delete c; });
}

Command* MacroCommand::Execute(TextDocument& doc) {
    MacroCommand* inverse = doc.recording ? new MacroCommand : nullptr;
    ReplayProgress* progress = std::exchange(progress_, nullptr);  // this run only
    const int total = progress ? list_.Count() : 0;
    int done = 0;
    list_.ForEachWhile([&](Command* c) {
        if (progress && (done & 255) == 255 && !progress->Tick(done, total)) return false;
        ++done;
        Command* inv = c->Execute(doc);
        if (inv && inverse) inverse->AddFront(inv);
        else delete inv;
        return true;
    });
    return inverse;
}

FileCommand::~FileCommand() {
    if (hold_) CloseHandle(hold_);
    if (deleteFile_ && !file_.empty()) DeleteFileW(file_.c_str());
}

Command* FileCommand::Execute(TextDocument& doc) {
    // The inverse owns the file that keeps the previous text, so that every
    // way out before it is handed over (an exception included) deletes it.
    std::unique_ptr<FileCommand> inverse;
    if (doc.recording) {
        inverse = std::make_unique<FileCommand>(std::wstring(), doc.currentCodePage, true);
        inverse->file_ = MakeTempFile(L"FT_");
        // In the document's own encoding, as before, whatever it cannot hold.
        const SaveFormat own = {doc.currentCodePage, doc.lineBreak, (doc.hasBom ? SAVE_WRITE_BOM : 0) | SAVE_ACCEPT_LOSS};
        if (inverse->file_.empty() || !SaveFile(doc, inverse->file_.c_str(), &own, false)) return nullptr;
        HANDLE h = CreateFileW(inverse->file_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) inverse->hold_ = h;
    }
    std::wstring name = doc.fileName;
    if (!LoadFile(doc, file_.c_str(), codePage_, false)) return nullptr;
    doc.fileName.swap(name);
    doc.NotifyAttributesChanged();
    return inverse.release();
}

bool Run(Command& command, TextDocument& doc) {
    if (doc.readOnly) {
        MessageBeep(MB_OK);
        return false;
    }
    Command* inverse = command.Execute(doc);
    if (doc.recording) {
        if (!inverse) return true;  // nothing was done: the history stays
        doc.redo.ForEach([](Command* c) { delete c; });
        while (doc.redo.RemoveTail()) {}
        doc.undo.AddTail(inverse);
    } else {
        delete inverse;
        // Without a history no undo can return to the saved text.
        doc.savePoint = TextDocument::kNeverSaved;
    }
    return true;
}

int TopGroupSize(const PtrListT<Command>& list);

namespace {
bool Replay(TextDocument& doc, PtrListT<Command>& from, PtrListT<Command>& to, ReplayProgress* progress) {
    if (from.Empty()) return false;
    if (doc.readOnly) {
        MessageBeep(MB_OK);
        return false;
    }
    // Told every 256 units of work (a command, or a range of a compound one).
    const int total = progress ? TopGroupSize(from) : 0;
    int done = 0, tickAt = 255;
    const auto going = [&](int at) {
        if (!progress || at < tickAt) return true;
        while (tickAt <= at) tickAt += 256;
        return progress->Tick(at, total);
    };
    while (going(done)) {
        Command* taken = from.RemoveTail();
        const int group = taken->group;
        auto* compound = progress ? dynamic_cast<CompoundReplaceCommand*>(taken) : nullptr;
        if (compound) compound->SetGoing([&going, base = done](int pieces) { return going(base + pieces); });
        const int weight = taken->Weight();
        Command* inverse = taken->Execute(doc);
        if (inverse) {
            inverse->group = group;
            to.AddTail(inverse);
        }
        if (compound && compound->Stopped()) {  // the rest stays for the next time
            from.AddTail(taken);
            break;
        }
        done += weight;
        delete taken;
        if (from.Empty() || from.Tail()->group != group) break;
    }
    return true;
}
}  // namespace

bool Undo(TextDocument& doc, ReplayProgress* progress) { return Replay(doc, doc.undo, doc.redo, progress); }
bool Redo(TextDocument& doc, ReplayProgress* progress) { return Replay(doc, doc.redo, doc.undo, progress); }

int TopGroupSize(const PtrListT<Command>& list) {
    if (list.Empty()) return 0;
    const int group = list.Tail()->group;
    int n = 0;
    list.ForEachReverseWhile([&](Command* c) {
        if (c->group != group) return false;
        n += c->Weight();
        return true;
    });
    return n;
}

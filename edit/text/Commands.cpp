#include "Commands.h"

#include <utility>

#include <windows.h>

#include <memory>

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
    const int total = progress ? TopGroupSize(from) : 0;
    for (int done = 0;; ++done) {
        if (progress && (done & 255) == 255 && !progress->Tick(done, total)) break;
        Command* taken = from.RemoveTail();
        const int group = taken->group;
        Command* inverse = taken->Execute(doc);
        if (inverse) {
            inverse->group = group;
            to.AddTail(inverse);
        }
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
        ++n;
        return true;
    });
    return n;
}

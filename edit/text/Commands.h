// Edit commands and undo.
//
// Every change to a document's text is a command. Executing a command on a
// document changes the text and returns the command that undoes it (null when
// the document is not recording); undo and redo execute the stored inverses
// and keep theirs on the other list. Commands carry a group number from one
// process-wide counter: outside a group every command takes a fresh number,
// inside one all share the number current when the group began, and undo and
// redo always take back a whole group.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "EditProtocol.h"
#include "PtrList.h"

class TextDocument;

namespace undo_group {
int Counter();
bool Grouping();
void Begin();   // counter + 1, grouping on
void End();     // counter + 1, grouping off
// A held group: Begin and End do nothing until the last release. Hold always
// answers true; Release answers false when nothing was held.
bool Hold();
bool Release();
int Next();     // the number a command constructed now takes

// One group for the lifetime of the object.
class Scope {
public:
    Scope() { Begin(); }
    ~Scope() { End(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};
}  // namespace undo_group

class Command {
public:
    Command() : group(undo_group::Next()) {}
    virtual ~Command() = default;
    // Performs the change and returns the heap-allocated inverse, or null
    // when the document is not recording or nothing could be done.
    virtual Command* Execute(TextDocument& doc) = 0;
    // The units of work it is for progress: 1, a compound replacement its ranges.
    virtual int Weight() const { return 1; }

    int group;
};

class InsertCommand : public Command {
public:
    // With `ownsText` the text (allocated with new[]) is freed with the command.
    InsertCommand(Position at, const wchar_t* text, int length, bool ownsText = false)
        : at_(at), text_(text), length_(length), ownsText_(ownsText) {}
    ~InsertCommand() override;
    Command* Execute(TextDocument& doc) override;

private:
    Position at_;
    const wchar_t* text_;
    int length_;
    bool ownsText_;
};

class DeleteCommand : public Command {
public:
    DeleteCommand(Position start, Position end) : start_(start), end_(end) {}
    Command* Execute(TextDocument& doc) override;

private:
    Position start_;
    Position end_;
};

class ReplaceCommand : public Command {
public:
    ReplaceCommand(Position start, Position end, const wchar_t* text, int length, bool ownsText = false)
        : start_(start), end_(end), text_(text), length_(length), ownsText_(ownsText) {}
    ~ReplaceCommand() override;
    Command* Execute(TextDocument& doc) override;

private:
    Position start_;
    Position end_;
    const wchar_t* text_;
    int length_;
    bool ownsText_;
};

// One range of a compound replacement, 16 bytes: from (line, column) on,
// `removed` units of the text (a line break counted as one) give way to the
// next `inserted` units of the command's text, or (kSameText) to the text of
// the range before again, so that a word replaced a million times, and the
// word it replaced, are kept once.
constexpr int kSameText = -1;
struct ReplacePiece {
    int line;
    int column;
    int removed;
    int inserted;
};

// Many ranges replaced in one pass (message 1101): each changed line is
// rebuilt once and the views are told once. The inverse is another such
// command holding only what was removed (each line break as an LF) and
// where its replacement now lies, so undo and redo give the text back unit
// for unit.
class CompoundReplaceCommand : public Command {
public:
    CompoundReplaceCommand() = default;
    // The ranges of message 1101 as a command, or null when they lie outside
    // the text, are out of order or overlap, or would change nothing.
    static std::unique_ptr<CompoundReplaceCommand> FromRanges(TextDocument& doc, const ReplaceRangeArg* ranges,
                                                              int count);
    // The next run carries these positions (of the text before it) through
    // the change as the ranges replaced one by one from the last would.
    void Track(Position* positions, int count) {
        track_ = positions;
        tracked_ = count;
    }
    int Count() const { return int(pieces_.size()); }
    int Weight() const override { return Count(); }
    // The next run asks `going` after each run of ranges sharing lines, with
    // the ranges done, and stops when it says false: the inverse holds what
    // was done, and this command keeps the rest (Stopped() until it runs
    // again).
    void SetGoing(std::function<bool(int)> going) { going_ = std::move(going); }
    bool Stopped() const { return stopped_; }
    Command* Execute(TextDocument& doc) override;

private:
    std::vector<ReplacePiece> pieces_;  // in text order, none overlapping
    std::vector<wchar_t> text_;         // the pieces' texts, one after another
    Position* track_ = nullptr;
    int tracked_ = 0;
    std::function<bool(int)> going_;
    bool stopped_ = false;
};

// Told how far a long run of commands is (an undo or redo of a large
// group, a command of many members); false stops it between two commands.
// An undo (redo) stopped moves what was replayed to the other list under the
// group's number and leaves the rest, so the document is whole and a further
// undo (redo) goes on.
struct ReplayProgress {
    virtual bool Tick(int done, int total) = 0;

   protected:
    ~ReplayProgress() = default;
};

// Several commands run as one: members run first to last, and the inverse
// runs the members' inverses in reverse order. Owns its members.
class MacroCommand : public Command {
public:
    MacroCommand() = default;
    ~MacroCommand() override;
    void AddBack(Command* c) { list_.AddTail(c); }
    // The next run tells `progress` every 256 members and stops when it
    // says so: the inverse then holds what was done, and the rest is left.
    void SetProgress(ReplayProgress* progress) { progress_ = progress; }
    void AddFront(Command* c) { list_.AddHead(c); }
    int Count() const { return list_.Count(); }
    Command* Execute(TextDocument& doc) override;

private:
    PtrListT<Command> list_;
    ReplayProgress* progress_ = nullptr;
};

// Replaces the whole text by a file's. The inverse holds the previous text in
// a temporary file, deleted when the inverse is destroyed. The document keeps
// its own file name.
class FileCommand : public Command {
public:
    FileCommand(std::wstring file, int codePage, bool deleteFile)
        : file_(std::move(file)), deleteFile_(deleteFile), codePage_(codePage) {}
    ~FileCommand() override;
    Command* Execute(TextDocument& doc) override;

private:
    std::wstring file_;
    bool deleteFile_;
    int codePage_;
    // A file of the command's own is held open while it lives, so that no
    // other instance takes it for a leftover of an ended process.
    HANDLE hold_ = nullptr;
};

// The only way edits enter a document. A read-only document beeps and
// nothing changes (false). Otherwise the command runs; when the document is
// recording, the redo list is emptied and the inverse appended to the undo
// list. The command itself stays the caller's.
bool Run(Command& command, TextDocument& doc);

// Take back (or redo) the whole group on top of the list. False when there
// was nothing to do or the document is read-only.
bool Undo(TextDocument& doc, ReplayProgress* progress = nullptr);
bool Redo(TextDocument& doc, ReplayProgress* progress = nullptr);

// The work of the commands on top of the list that share the top command's
// group: one each, a compound replacement one per range.
int TopGroupSize(const PtrListT<Command>& list);

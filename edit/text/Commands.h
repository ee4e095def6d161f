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

#include <string>

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

// Number of commands on top of the list that share the top command's group.
int TopGroupSize(const PtrListT<Command>& list);

// Loading a document from a file and saving it to one.
//
// Loading does not convert text: it scans the file for line breaks and
// records each line's byte offset and length; lines are converted when first
// read or edited. The file is either copied to a private temporary file first
// or used in place. Saving streams every line out in the requested encoding
// and line breaks, copying the bytes of unchanged lines when the encoding is
// unchanged.
//
// A save writes a temporary file beside the target, flushes it, gives it
// what belongs to the file rather than to its content (attributes, creation
// time, an access list of its own, named streams), and only then gives it
// the target's name in one rename that replaces the old file: at every
// instant the target's name holds a whole file, the old or the new one, and
// once the save reports success both the bytes and the name are on the disk.
// Saving over a file loaded in place first gives the old file a second name,
// the hidden moved-aside file (a hard link, or a flushed copy where the file
// system has none), from which the unloaded lines are read until the
// document lets it go. Whatever fails on the way, an exception included, the
// target, its folder and the document stay as they were; SaveStep and the
// fault hook below let tests prove it step by step. What a save killed on
// its way leaves (the temporary beside the target, the moved-aside file) is
// dealt with by RecoverInterruptedSave when the file is opened next.
//
// A new file in the target's place would break what the target is when it
// has more than one name (hard links) or is a symbolic link, and cannot be
// made at all in a folder where the user may not create files. There the
// existing file is written into instead, so that it stays the same file,
// after a safety copy of its bytes was made in the temporary folder; a
// failure writes them back. Never into the file the document reads its
// unloaded lines from: that one is replaced as above.
//
// A line may be at most INT32_MAX bytes long: a file with a longer one fails
// to load (ERROR_FILE_TOO_LARGE) rather than losing its end.
#pragma once

#include <windows.h>

#include <string>

#include "EditProtocol.h"

class TextDocument;

// Loads `path` in `codePage` through a private copy or in place. On failure
// the document is unchanged and its previous text stays readable.
bool LoadFile(TextDocument& doc, const wchar_t* path, int codePage, bool inPlace);

// Saves to `path` with `format` (null: the document's own settings). With
// `update`, a given format becomes the document's whatever the outcome, and a
// successful save sets the save point and the file name.
bool SaveFile(TextDocument& doc, const wchar_t* path, const SaveFormat* format, bool update);

// A new empty file in the temporary folder named with `prefix`; empty on failure.
std::wstring MakeTempFile(const wchar_t* prefix);

// "~#name#.tmp" beside "name.ext": where a file loaded in place goes while it
// is saved over.
std::wstring MovedAsideName(const std::wstring& path);

// The steps of a save that can fail on their own.
enum class SaveStep {
    Allocate,  // an allocation of the save
    Create,    // creating the temporary file beside the target
    Write,     // one write of the buffer
    Flush,     // flushing the file to disk
    Replace,   // the new file taking the target's name (or the old file taking it back)
    Reopen,    // reading the old file again from where it now is
    Open,        // opening the existing file to write into it
    SafetyCopy,  // making the safety copy of its bytes (creating it, one write, flushing it)
    Truncate,    // cutting the file written into at the end of the new content
    Restore,     // putting the old bytes back from the safety copy
    // Not a failure: asked before the old file of an in-place document gets
    // its second name; true makes the save go on as on a file system without
    // hard links, with a copy.
    NoHardLink,
    // Not a failure: asked before the temporary beside the target is named
    // and again before it is opened; true makes that fail with
    // ERROR_ACCESS_DENIED, as in a folder where the user may not create files.
    DenyCreate,
    Link,  // giving the old file its second name (the link, or one write of the copy)
};

// For tests only, never set by the control: called before every step of
// every save in this process; returning true makes that step fail the way it
// fails on its own (an allocation throws std::bad_alloc, a system call
// returns failure). Null, the default, fails nothing.
using SaveFaultHook = bool (*)(SaveStep step);
void SetSaveFaultHookForTesting(SaveFaultHook hook);

// The form of a full path that the system takes at any length: the
// extended-length form ("\\?\C:\...", "\\?\UNC\server\...") when it is
// too long for MAX_PATH.
std::wstring SystemPath(const std::wstring& full);

// "~MP1A2B#name.txt.tmp" in `folder`: the temporary a save of the file
// `name` writes beside it, known by its name for that file's
// ("~MP1A2B.tmp" when the name would be too long).
std::wstring SaveTemporaryName(const std::wstring& folder, const std::wstring& name, unsigned unique);
// Whether `candidate` (a name without folder) is a save temporary of the
// file named `name`.
bool IsSaveTemporaryOf(const std::wstring& candidate, const std::wstring& name);

// Whether some process has the file open (its owner is alive): a file that
// can be opened with no sharing is nobody's.
bool InUse(const std::wstring& path);

// Held while a save has the old file of an in-place document closed, and
// while leftovers are looked for, so that no instance takes what another is
// using for a leftover. Ends with its process.
class SaveLock {
public:
    SaveLock();
    ~SaveLock();
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;
    bool Held() const { return held_; }

private:
    HANDLE mutex_;
    bool held_ = false;
};

// Deals with what an interrupted save left beside `path`, before the file is
// opened: a missing file whose moved-aside file is there is put back; the
// moved-aside file and the save temporaries of the file are removed once
// nobody uses them and the file is whole. Never deletes the only copy of
// anything. Both return RecoveryBits (EditProtocol.h).
int RecoverInterruptedSave(const wchar_t* path);
// The same for the temporary folder: private copies and undo files that no
// process uses are removed; the safety copy of a file that was being written
// into when its process ended puts the old bytes back into that file first.
int RecoverTemporaryFolder();

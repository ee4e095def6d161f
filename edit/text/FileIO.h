// Loading a document from a file and saving it to one.
//
// Loading does not convert text: it scans the file for line breaks and
// records each line's byte offset and length; lines are converted when first
// read or edited. The file is either copied to a private temporary file first
// or used in place. Saving streams every line out in the requested encoding
// and line breaks, copying the bytes of unchanged lines when the encoding is
// unchanged.
//
// A save writes a temporary file beside the target and puts it in the
// target's place only when every byte was written and flushed: with
// ReplaceFileW, so that the file keeps what belongs to it rather than to its
// content (attributes, security, streams, creation time), or with renames
// where the file system lacks it. Saving over a file loaded in place keeps
// the old file as the hidden moved-aside file, from which the unloaded lines
// are read until the document lets it go. Whatever fails on the way, an
// exception included, the target, its folder and the document stay as they
// were; SaveStep and the fault hook below let tests prove it step by step.
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
    Replace,   // moving the new file over the target (or one rename of it)
    Reopen,    // reading the old file again from where it now is
    Open,        // opening the existing file to write into it
    SafetyCopy,  // making the safety copy of its bytes (creating it, one write, flushing it)
    Truncate,    // cutting the file written into at the end of the new content
    Restore,     // putting the old bytes back from the safety copy
    // Not a failure: asked before ReplaceFileW; true makes the save go on as
    // on a file system without it, with renames.
    NoReplaceFile,
    // Not a failure: asked before the temporary beside the target is named
    // and again before it is opened; true makes that fail with
    // ERROR_ACCESS_DENIED, as in a folder where the user may not create files.
    DenyCreate,
};

// For tests only, never set by the control: called before every step of
// every save in this process; returning true makes that step fail the way it
// fails on its own (an allocation throws std::bad_alloc, a system call
// returns failure). Null, the default, fails nothing.
using SaveFaultHook = bool (*)(SaveStep step);
void SetSaveFaultHookForTesting(SaveFaultHook hook);

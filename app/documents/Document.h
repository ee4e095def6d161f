// What the frame and the document windows share: the open request, the tab
// record, and how the frame reaches a document window's IView.
#pragma once

#include <windows.h>

#include "DevEnv.h"

namespace documents {

// Passed by pointer with MPF_OPEN and MPD_OPEN.
struct OpenRequest {
    int codePage = -1;     // negative or 1: detect
    int readOnly = 0;      // 1: read-only after loading
    int internalFile = 0;  // a file the program wrote: loaded exclusively, kept out of the recent list
};

// Passed by pointer with MPF_SET_TAB.
struct DocumentTab {
    int state;  // 0 plain, 1 modified, 2 saved, 3 read-only
    const wchar_t* title;
};

// Passed by pointer with MPD_NEW_FROM_TEMPLATE: the syntax the new document
// takes (by name) and its template file (in "template\" of the program
// folder); either may be null or empty.
struct TemplateEntry {
    const wchar_t* title;
    const wchar_t* templateFile;
};

// The IView of a document window (the window property "DocumentView"), or
// null for any other window.
IView* ViewOf(HWND window);
// Whether the document window's caption is the full path of its file (not
// an untitled caption).
bool HasFile(HWND window);

}  // namespace documents

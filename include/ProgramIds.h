// Numbers and names shared by the program's code, its resource script and
// the tests: plain definitions, so that .rc files can include this header.
#pragma once

// The main frame's window class. A second instance finds the first by it.
#define MORROWPAD_FRAME_CLASS L"Morrowpad"
// The instance mutex, owned by the first instance.
#define MORROWPAD_MUTEX_NAME L"Morrowpad"
// Caption of every message box.
#define MORROWPAD_CAPTION L"Morrowpad"

// dwData of the WM_COPYDATA record that hands a command line to the
// running instance.
#define MORROWPAD_HANDOVER_TAG 1

// Strings in the executable's own string table (no language library is
// loaded when they are needed).
#define IDS_LANGUAGE_LOAD_FAILED 15106  // "...failed in load language file:%s"
#define IDS_DEFAULT_LANGUAGE_FAILED 15107

// Resources of the executable.
#define IDI_MAINFRAME 128
// Cursor shown over a document pane while a macro is recorded.
#define IDC_RECORDING 134
// Status-bar pane icons: the mark of the panes that open a menu (code page,
// line ends; 9x16), the syntax pane and the tab-size pane (16x16).
#define IDI_PANE_MENU 140
#define IDI_PANE_SYNTAX 141
#define IDI_PANE_TABS 142
// Tool bars: resources of type RT_TOOLBAR (see ToolBarResource.h) and their
// image strips, 16x15 per button, magenta (0xFF00FF) transparent.
#define RT_TOOLBAR 241
#define IDR_PRINT_TOOLBAR 150
#define IDB_PRINT_TOOLBAR 150
#define IDR_MAIN_TOOLBAR 154
#define IDB_TOOLBAR 401
// The tear-off strip drawn as the first item of popup menus.
#define IDB_TEAR_OFF 402

// Menus that fill lists (app/res/Menus.rc): the code pages, item identifier =
// code page, and the line-end formats, identifier = format (1 CR LF, 2 LF, 3 CR).
#define IDM_CODEPAGES 301
#define IDM_LINE_ENDS 306

// Private messages of the frame. A font slot's face, size or style changed
// (wParam = the slot, 1430..1442); the font menu is to be rebuilt.
#define MPF_FONT_CHANGED (WM_USER + 1204)
#define MPF_REBUILD_FONT_MENU (WM_USER + 1210)

// The frame's New command (the same number as in CommandIds.h).
#define ID_FILE_NEW 57600

// The frame's private messages.
#define MPF_OPEN (WM_USER + 1201)          // path, OpenRequest* or 0 -> document window or 0
#define MPF_RUN_MACRO (WM_USER + 1203)     // macro file path, 0
// A document window's tab changed: wParam = the document window, lParam =
// the DocumentTab record (ProgramIds.h users outside resources only).
#define MPF_SET_TAB (WM_USER + 1212)
// Posted to itself so that an idle pass follows (nothing else to do).
#define MPF_UPDATE_UI (WM_USER + 1213)
// A document saved under a new name: wParam = the path, for the recent list.
#define MPF_ADD_RECENT (WM_USER + 1214)
// A new empty document window without the defaults of the New command,
// made active (the macros' App.NewDoc) -> the document window or 0.
#define MPF_NEW_DOCUMENT (WM_USER + 1215)
// From a document pane while a macro is recorded: a typed character
// (wParam, one UTF-16 unit), or input-method text (wParam text, lParam
// length).
#define MPF_RECORD_CHAR (WM_USER + 1216)
#define MPF_RECORD_TEXT (WM_USER + 1217)
// From a document pane while a macro is recorded: an edit command a key of
// the control's own gave (wParam, 1..70: caret moves, selections, deletes).
#define MPF_RECORD_COMMAND (WM_USER + 1218)

// Messages of a document window.
#define MPD_UPDATE (WM_USER + 1200)            // report command states and status texts
#define MPD_OPEN (WM_USER + 1201)              // path, OpenRequest* or 0 -> 1/0
#define MPD_PANE_FOCUS (WM_USER + 1202)        // a pane got the focus: pane window
#define MPD_APPLY_FONT (WM_USER + 1204)        // re-apply the current font
#define MPD_REMEMBER_SYNTAX (WM_USER + 1205)
#define MPD_APPLY_SYNTAX (WM_USER + 1206)
#define MPD_NEW_FROM_TEMPLATE (WM_USER + 1207)
// A pane chose a syntax by name (wParam; null or empty: none) for the whole
// document: the lexer, its definition's tab size and the folding method.
#define MPD_SET_SYNTAX (WM_USER + 1208)
// Compare the document's file with what the document last read or wrote,
// and act on a change that has settled: 1 when the document may ask (it is
// the active one of the active frame), 0 -> 0.
#define MPD_CHECK_FILE (WM_USER + 1209)

// Status-bar panes, left to right: message, syntax, tabs, line, column,
// character, line count, byte-order mark, line ends, insert mode, code page.
#define STATUS_PANE_COUNT 11

// Sent by the docking window when its panes changed: the frame relays out.
#define MPF_RELAYOUT (WM_USER + 1211)
// Posted when the frame is activated or a document shown: the documents (or
// the one in wParam) compare their files with the disk.
#define MPF_CHECK_FILES (WM_USER + 1219)

// The product's pages (commands 2003 and 2004).
#define MORROWPAD_DOWNLOAD_URL L"https://morrowpad.org/download"
#define MORROWPAD_BUG_URL L"https://morrowpad.org/issues"

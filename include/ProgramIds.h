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
// Menus that fill lists (app/res/Menus.rc): the code pages, item identifier =
// code page, and the line-end formats, identifier = format (1 CR LF, 2 LF, 3 CR).
#define IDM_CODEPAGES 301
#define IDM_LINE_ENDS 306

// Private messages of the frame. A font slot's specification changed
// (wParam = the slot, 1430..1442); the font menu is to be rebuilt.
#define MPF_FONT_CHANGED (WM_USER + 1204)
#define MPF_REBUILD_FONT_MENU (WM_USER + 1210)

// The frame's New command (the same number as in CommandIds.h).
#define ID_FILE_NEW 57600

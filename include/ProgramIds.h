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

// The frame's New command (the same number as in CommandIds.h).
#define ID_FILE_NEW 57600

// Sent to the main frame (by the docking window) when the docked area must
// be laid out again: a pane was docked, hidden or removed, or the splitter
// moved. The frame answers by running its layout.
#define MPF_RELAYOUT (WM_USER + 1211)

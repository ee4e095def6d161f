// Dialog templates of the language libraries and the identifiers of their
// controls: plain definitions, so that resource scripts can include this
// header.
#pragma once

// About box: the program's name and version, and a link-like button to the
// download page.
#define IDD_ABOUT 100
#define IDC_ABOUT_VERSION 1000   // static: "Morrowpad 1.0"
#define IDC_ABOUT_DOWNLOAD 1001  // button: sends 2003 to the frame
#define IDC_ABOUT_ICON 1002      // static: the program's icon, set by the program

// Window list (command 1207): every open document, several can be chosen.
#define IDD_WINDOW_LIST 220
#define IDC_WINDOW_LIST 1000      // list box, extended selection
#define IDC_WINDOW_ACTIVATE 1001  // activate the chosen document
#define IDC_WINDOW_SAVE 1002      // save the chosen documents
#define IDC_WINDOW_CLOSE 1003     // close the chosen documents

// The small floating dialog of full-screen mode: both buttons (1 and 2)
// switch full screen off.
#define IDD_FULL_SCREEN 221

// Asks for one value (go to line, line spacing, tab size): the program sets
// the caption, the prompt and the initial value.
#define IDD_INPUT 222
#define IDC_INPUT_PROMPT 1000  // static
#define IDC_INPUT_VALUE 1001   // edit field

// The options dialog: one property page per template. Each page's controls
// have numbers of their own range.
#define IDD_OPT_GENERAL 400
#define IDC_GEN_SHELL_MENU 1100      // check: the shell context-menu entry
#define IDC_GEN_MULTI_INSTANCE 1101  // check: Setting/MulInst
#define IDC_GEN_FULL_SCREEN 1102     // check: Setting/FullScreenDialog
#define IDC_GEN_DETECT_BUFFER 1103   // number: Setting/AutoDetectBuffer (KB)
#define IDC_GEN_RECENT_COUNT 1104    // number: history.ini RecentDoc/Count
#define IDC_GEN_SCHEME 1105          // combo: Theme/Scheme, items IDS_SCHEME_FOLLOW.. in order

#define IDD_OPT_FILE 401
#define IDC_FILE_FORMAT 1110     // drop-down list: line ends of new documents
#define IDC_FILE_ENCODING 1111   // drop-down list: code page of new documents
#define IDC_FILE_EXCLUSIVE 1112  // check: Setting/ExclusiveMode
#define IDC_FILE_AUTOWRAP 1113   // number: Setting/AutoWrapMax
#define IDC_FILE_DETECT 1114     // check: Setting/DetectChanges
#define IDC_FILE_RELOAD 1115     // check: Setting/ReloadUnmodified

#define IDD_OPT_FILE_TYPE 402
#define IDC_TYPE_LIST 1120  // list box of syntax.ini entries
#define IDC_TYPE_ADD 1121
#define IDC_TYPE_REMOVE 1122
#define IDC_TYPE_TITLE 1123
#define IDC_TYPE_FILE 1124
#define IDC_TYPE_EXT 1125
#define IDC_TYPE_TEMPLATE 1126
#define IDC_TYPE_TAB 1127  // number
#define IDC_TYPE_NAMES 1128  // whole file names and wildcard patterns

#define IDD_OPT_FONT 403
#define IDC_FONT_SLOTS 1130    // list box of the font slots 1430..1442
#define IDC_FONT_FACE 1131     // combo box with an edit field
#define IDC_FONT_SIZE 1132     // number, points
#define IDC_FONT_BOLD 1133
#define IDC_FONT_CHARSET 1134  // drop-down list, item data = character set
#define IDC_FONT_QUALITY 1135  // drop-down list, item data = quality 0..6
#define IDC_FONT_CHOOSE 1136   // the system's font dialog
#define IDC_FONT_SAMPLE 1137

#define IDD_OPT_TAB 404
#define IDC_TAB_BOTTOM 1140
#define IDC_TAB_SHOW_ICON 1141
#define IDC_TAB_SHOW_MARK 1142
#define IDC_TAB_FIXED_WIDTH 1143
#define IDC_TAB_STYLE 1144  // drop-down list, item data = Tab/Style

#define IDD_OPT_ACCEL 405
#define IDC_ACCEL_GROUP 1150   // drop-down list: Global or Edit commands
#define IDC_ACCEL_TREE 1151    // tree of the commands
#define IDC_ACCEL_KEYS 1152    // list box: the keys of the chosen command
#define IDC_ACCEL_KEY 1153     // key field
#define IDC_ACCEL_ASSIGN 1154
#define IDC_ACCEL_REMOVE 1155
#define IDC_ACCEL_STATUS 1156  // status line (red)

#define IDD_OPT_MACRO 406
#define IDC_MACRO_TREE 1160  // tree of the macro folder
#define IDC_MACRO_KEY 1161   // key field
#define IDC_MACRO_ASSIGN 1162
#define IDC_MACRO_REMOVE 1163
#define IDC_MACRO_STATUS 1164

#define IDD_OPT_TOOL 407
#define IDC_TOOL_LIST 1170
#define IDC_TOOL_ADD 1171
#define IDC_TOOL_REMOVE 1172
#define IDC_TOOL_UP 1173
#define IDC_TOOL_DOWN 1174
#define IDC_TOOL_TITLE 1175
#define IDC_TOOL_EXE 1176
#define IDC_TOOL_ARGS 1177
#define IDC_TOOL_DIR 1178
#define IDC_TOOL_CAPTURE 1179  // Flag bit 0
#define IDC_TOOL_ASK 1180      // Flag bit 1
#define IDC_TOOL_ARGS_MENU 1181  // button: the placeholders, inserted into the arguments
#define IDC_TOOL_BROWSE 1182     // button: choose the command's program
// The placeholders a tool's arguments and start folder may hold: item n's
// text up to its tab is the placeholder.
#define IDM_TOOL_PLACEHOLDERS 234

#define IDD_OPT_LANGUAGE 408
#define IDC_LAN_LIST 1190  // drop-down list of the language libraries

// Strings of the options dialog.
#define IDS_OPTIONS_CAPTION 15040     // "Options"
#define IDS_KEY_TAKEN 15041           // "%s already uses this key."
#define IDS_KEY_NONE 15042            // "Press a key combination first."
#define IDS_MACRO_NOT_CHOSEN 15043    // "Choose a macro file first."
#define IDS_MACRO_KEY_ASSIGNED 15044  // "The key was assigned."

// The panel of the file dialogs: code page, line ends, byte-order mark.
#define IDD_FILE_PANEL 216
#define IDC_FILE_CODEPAGE 1200  // drop-down list, item data = code page (1 = detect)
#define IDC_FILE_LINEEND 1201   // drop-down list, item data = line-end format
#define IDC_FILE_BOM 1202       // three states: the third keeps the document's mark
#define IDC_FILE_LABEL 1203     // the line-end list's label

// The code-page dialog: one list, item data = code page (0 = the system's).
#define IDD_CODEPAGE 202
#define IDC_CODEPAGE_LIST 1200

// The find and replace dialogs (modeless). The replace dialog has every
// control of the find dialog, plus the replacement and its two buttons.
#define IDD_FIND 230
#define IDD_REPLACE 231
#define IDC_FIND_TEXT 1230           // combo box with an edit field: history.ini Find
#define IDC_FIND_TEXT_MENU 1231      // button: popup of expression fragments
#define IDC_REPLACE_TEXT 1232        // combo box with an edit field: history.ini Replace
#define IDC_REPLACE_TEXT_MENU 1233   // button: popup of replacement fragments
#define IDC_FIND_MATCH_CASE 1234
#define IDC_FIND_WHOLE_WORD 1235     // disabled while regular expression is on
#define IDC_FIND_REGEX 1236
#define IDC_FIND_CLOSE_AFTER 1237
#define IDC_FIND_HIGHLIGHT 1238
#define IDC_FIND_INCREMENTAL 1239
#define IDC_FIND_NEXT_BUTTON 1240
#define IDC_FIND_PREVIOUS_BUTTON 1241
#define IDC_FIND_LIST_ALL 1242
#define IDC_REPLACE_BUTTON 1243
#define IDC_REPLACE_ALL 1244
#define IDC_FIND_WRAP 1245           // search on from the other end of the document
#define IDC_REPLACE_IN_SELECTION 1246  // Replace All within the selection
// The fragment popups: item n inserts fragment n of the program's table.
#define IDM_FIND_FRAGMENTS 232
#define IDM_REPLACE_FRAGMENTS 233
// A search that ran out of its work budget.
#define IDS_SEARCH_TOO_COMPLEX 15111

// Macros.
#define IDS_MACRO_STOPPED 15120     // "The macro was stopped."
#define IDS_RECORDED_MACRO 15121    // "the recorded macro" (where its errors are)
#define IDS_MACRO_CANT_LOAD 15122   // "Can't load macro!"
#define IDS_MACRO_CANT_SAVE 15123   // "Can't save macro!"
#define IDS_MACRO_RUNNING 15124     // "Running the macro... (Esc stops it)"
#define IDS_MACRO_FILTER 15125      // "Macro(*.mac)"
#define IDS_PRINT_FAILED 15126      // "The document could not be printed."

// Find in files (modeless) and its progress dialog.
#define IDD_GREP 240
#define IDD_GREP_PROGRESS 241
#define IDC_GREP_FIND 1250        // combo box with an edit field: history.ini GrepFind
#define IDC_GREP_FIND_MENU 1251   // button: popup of expression fragments (regular expression only)
#define IDC_GREP_TYPES 1252       // combo box: history.ini GrepFileType ("*.cpp;*.h")
#define IDC_GREP_FOLDER 1253      // combo box: history.ini GrepFolder
#define IDC_GREP_BROWSE 1254
#define IDC_GREP_CODEPAGE 1255    // drop-down list, item data = code page (-1 = detect per file)
#define IDC_GREP_REGEX 1256
#define IDC_GREP_MATCH_CASE 1257
#define IDC_GREP_SUBFOLDERS 1258
#define IDC_GREP_OUTPUT 1259      // results into the output window, else into a new document
#define IDC_GREP_INVERT 1260
#define IDC_GREP_NAMES_ONLY 1261
#define IDC_GREP_PATH 1262        // progress: the file being searched
#define IDC_GREP_COUNT 1263       // progress: string 15025 with the count
#define IDS_GREP_BROWSE_TITLE 15130  // the folder picker's prompt

// Plug-ins: lines in the output window for the libraries skipped or stopped.
#define IDS_PLUGIN_NOT_LOADED 15150  // "The plug-in %s cannot be loaded (error %d) and was skipped."
#define IDS_PLUGIN_NO_ENTRY 15151    // "%s exports no Plugin_Initialize and was skipped."
#define IDS_PLUGIN_FAILED 15152      // "The plug-in %s failed while starting and was skipped."
#define IDS_PLUGIN_STOPPED 15153     // "The plug-in %s failed and was stopped."

// Saving: why a save failed, where it can be told.
#define IDS_SAVE_NOT_REPRESENTABLE 15160  // "The file %s cannot be saved: it holds characters that cannot ..."
// Asked (Yes/No/Cancel) when the code page chosen for %s lacks some of the text.
#define IDS_SAVE_LOSSY 15168
// Shown once when a settings file cannot be written; %s is the program folder.
#define IDS_SETTINGS_NOT_SAVED 15164
// Shown once for a settings file that held no settings: %s the file, %s the
// name it was kept under.
#define IDS_SETTINGS_SET_ASIDE 15165
// Long searches and replacements: progress ("%d" the percentage done) and
// what a stop left ("%d" replacements made, kept as one undo step).
#define IDS_PROGRESS_SEARCHING 15170
#define IDS_PROGRESS_REPLACING 15171
#define IDS_SEARCH_STOPPED 15172
#define IDS_REPLACE_STOPPED 15173
#define IDS_PROGRESS_UNDOING 15179  // "%d" the percentage of a large undo or redo done
#define IDS_UNDO_STOPPED 15180
#define IDS_PROGRESS_EDITING 15181  // "%d" the percentage of an edit command of many lines done
#define IDS_EDIT_STOPPED 15182
// Typing into a read-only document: why nothing happened.
#define IDS_DOCUMENT_READ_ONLY 15174
#define IDS_TAB_READ_ONLY 15178  // after a read-only document's name in its tab
// A document's file changed by another program: %s the file. Asked with
// Yes (reload) and No (keep the document as it is, marked modified).
#define IDS_FILE_CHANGED 15183           // the document has no changes of its own
#define IDS_FILE_CHANGED_MODIFIED 15184  // the document has changes of its own
#define IDS_FILE_REWRITTEN 15185         // rewritten in place while the document still read from it
#define IDS_RELOAD_MODIFIED 15186        // File > Reload of a document with changes
#define IDS_TAB_DELETED 15187            // after the name of a document whose file is gone
// A search that passed the end (the start) of the document and went on
// from the other end.
#define IDS_SEARCH_WRAPPED_TOP 15175
#define IDS_SEARCH_WRAPPED_BOTTOM 15176
// Replace All in the selection without one.
#define IDS_NOTHING_SELECTED 15177
// The colour schemes offered by the General page, in the order of Theme/Scheme.
#define IDS_SCHEME_FOLLOW 15161  // "Same as Windows"
#define IDS_SCHEME_LIGHT 15162
#define IDS_SCHEME_DARK 15163

// The protocol between the edit control ("MRPAD32", Edit.dll) and the program
// that hosts it: message numbers, the records passed with them, the
// notifications sent to the parent, and the two callback interfaces whose
// virtual slot order is part of the contract between separately built code.
//
// Conventions: positions are (line, column), both 0-based, the column counted
// in UTF-16 units; positions given to the control are clamped to the text.
// Strings passed with a message stay the sender's; text pointers returned by
// the control stay the control's and are valid until the next such call.
#pragma once

#include <windows.h>

// The class is local to the library: create controls with the library's
// module handle, GetModuleHandleW(MRPAD_LIBRARY_NAME), as the instance.
#define MRPAD_CLASS_NAME L"MRPAD32"
#define MRPAD_LIBRARY_NAME L"Edit.dll"

// Custom messages (WM_USER + n), every one in one list: its name, number,
// whether it needs a document, how it reads wParam and lParam, and what it
// answers. The enum below, the control's message map and its tests are made
// from the list, so a message added here is declared, checked for a
// document and walked by the tests at once.
//
// Needs: Doc, the message answers 0 on a control without a document (after
// 1030; MPM_GETLINECOUNT answers 1), Any, it needs none. Each argument is
// None (unused), Value (a number: a line, a flag, a size; any value is
// safe) or Ptr (a pointer or a handle, or 0). A dash in the comment:
// argument unused.
enum class MessageNeeds { Any, Doc };
enum class MessageArg { None, Value, Ptr };

// clang-format off
#define MRPAD_MESSAGES(X) \
    X(MPM_TRANSLATEACCEL, 895,  Any, None,  Ptr)   /* -, MSG*                    -> 1 when translated */ \
    X(MPM_CANUNDO,        1024, Doc, None,  None)  /* -, -                       -> 1/0 */ \
    X(MPM_CANREDO,        1025, Doc, None,  None)  /* -, -                       -> 1/0 */ \
    X(MPM_GOTOLINE,       1026, Doc, Value, None)  /* 1-based line, -            -> 0 */ \
    X(MPM_GETWORDATCARET, 1027, Doc, None,  None)  /* -, -                       -> HGLOBAL or 0 (caller frees) */ \
    X(MPM_COLORTABLE,     1028, Any, Ptr,   None)  /* COLORREF[80] or 0, -       -> table in use */ \
    X(MPM_SHAREDOC,       1029, Any, Ptr,   None)  /* TextDocument* or 0, -      -> TextDocument* */ \
    X(MPM_CLOSEDOC,       1030, Any, None,  None)  /* -, -                       -> 0 */ \
    X(MPM_GETLINECOUNT,   1031, Doc, None,  None)  /* -, -                       -> line count (>= 1) */ \
    X(MPM_LOADFILE,       1032, Doc, Ptr,   Value) /* path, MAKELPARAM(cp, brk)  -> 1/0 (private copy) */ \
    X(MPM_SAVEFILE,       1033, Doc, Ptr,   Ptr)   /* path, SaveFormat* or 0     -> 1/0 */ \
    X(MPM_GETFILENAME,    1034, Doc, None,  None)  /* -, -                       -> const wchar_t* */ \
    X(MPM_GETCARETPOS,    1035, Any, Ptr,   None)  /* Position*, -               -> 0 */ \
    X(MPM_GETCHARAT,      1036, Doc, Value, Value) /* line, column               -> unit or 0 */ \
    X(MPM_GETLINE,        1037, Doc, Value, Ptr)   /* line, buffer or 0          -> length */ \
    X(MPM_GETLINEPTR,     1038, Doc, Value, None)  /* line, -                    -> const wchar_t* or 0 */ \
    X(MPM_DELETERANGE,    1039, Doc, Ptr,   Ptr)   /* Position*, Position*       -> 1/0 */ \
    X(MPM_INSERTTEXT,     1040, Doc, Ptr,   Ptr)   /* Position* or 0, TextArg*   -> 1/0 */ \
    X(MPM_LINEBREAKTYPE,  1041, Doc, Value, None)  /* 1..3 sets, other queries   -> type */ \
    X(MPM_SETLEXER,       1042, Doc, Ptr,   Value) /* ILexer* or 0, reset flag   -> 0 */ \
    X(MPM_GETLEXER,       1043, Doc, None,  None)  /* -, -                       -> ILexer* */ \
    X(MPM_ISMODIFIED,     1044, Doc, None,  None)  /* -, -                       -> 1/0 */ \
    X(MPM_NOP1045,        1045, Any, None,  None)  /* -, -                       -> 0 */ \
    X(MPM_SETLINEATTR,    1046, Doc, Value, Ptr)   /* line, LineAttrArg*         -> 1/0 */ \
    X(MPM_GETLINEATTR,    1047, Doc, Value, Ptr)   /* line, LineAttrArg*         -> 1/0 */ \
    X(MPM_NOP1048,        1048, Any, None,  None)  /* -, -                       -> 0 */ \
    X(MPM_HITTEST,        1049, Doc, Ptr,   Value) /* int[4] out, POINT          -> 0 */ \
    X(MPM_LINESPACING,    1050, Any, Value, None)  /* value, high bit = query    -> value */ \
    X(MPM_GETINPUTMODE,   1051, Any, None,  None)  /* -, -                       -> 0 insert, 1 overwrite, 2 column */ \
    X(MPM_VIEWPART,       1052, Any, Value, Value) /* part | show<<8, -1 query   -> state */ \
    X(MPM_CODEPAGE,       1053, Doc, Value, None)  /* code page, -1 = query      -> source code page */ \
    X(MPM_BOM,            1054, Doc, Value, None)  /* 0/1, other = query         -> BOM flag */ \
    X(MPM_SELECT,         1055, Doc, Ptr,   Ptr)   /* Position* anchor, caret    -> 1 when something is selected */ \
    X(MPM_GETSELKIND,     1056, Any, None,  None)  /* -, -                       -> 0..3 */ \
    X(MPM_GETSELRANGE,    1057, Any, Ptr,   Ptr)   /* Position* out, Position*   -> 1/0 */ \
    X(MPM_GETRANGETEXT,   1058, Doc, Ptr,   None)  /* RangeTextArg*, -           -> length or 0 */ \
    X(MPM_HIGHLIGHTER,    1059, Any, Ptr,   Value) /* IHighlighter*, 1 add 0 remove other test */ \
    X(MPM_TOGGLEWRAP,     1060, Doc, None,  None)  /* -, -                       -> 0 */ \
    X(MPM_GETWRAPMODE,    1061, Doc, None,  None)  /* -, -                       -> 0 off, 2 wrapping */ \
    X(MPM_UNDOGROUP,      1062, Doc, Value, None)  /* non-zero begins, 0 ends    -> 0 */ \
    X(MPM_GETSELTEXT,     1063, Doc, None,  None)  /* -, -                       -> HGLOBAL or 0 (caller frees) */ \
    X(MPM_SCROLLCARET,    1064, Any, None,  None)  /* -, -                       -> 0 */ \
    X(MPM_REPLACEFILE,    1065, Doc, Ptr,   None)  /* FileReplaceArg* or 0       -> 0 */ \
    X(MPM_ISDELIMITER,    1066, Any, Value, None)  /* unit, -                    -> 1/0 */ \
    X(MPM_TABWIDTH,       1067, Any, Value, None)  /* width, < 2 queries         -> width */ \
    X(MPM_SOFTTABS,       1068, Any, Value, None)  /* 0/1, -1 queries            -> flag */ \
    X(MPM_SETCARET,       1069, Doc, Ptr,   Value) /* Position* or 0, 1 = scroll -> 0 */ \
    X(MPM_NOP1070,        1070, Any, None,  None)  /* -, -                       -> 0 */ \
    X(MPM_UPDATESTATES,   1071, Doc, Value, Value) /* first line, last or -1     -> 1 when the last state changed */ \
    X(MPM_FIRSTVISIBLE,   1074, Doc, Value, None)  /* line, high bit = query     -> first visible line */ \
    X(MPM_STYLESTORE,     1075, Any, Value, None)  /* 1 create, 0 destroy        -> 1 when no store existed */ \
    X(MPM_SETSTYLES,      1076, Any, Ptr,   Value) /* StyleRangeArg*, repaint    -> 0 */ \
    X(MPM_READONLY,       1077, Doc, Value, None)  /* 0/1, other queries         -> flag */ \
    X(MPM_FREEZECARET,    1078, Any, Value, None)  /* 0/1, other queries         -> flag */ \
    X(MPM_RECORDING,      1079, Doc, Value, None)  /* 1 on, 0 off                -> flag */ \
    X(MPM_GETSTYLEAT,     1080, Doc, Ptr,   None)  /* Position*, -               -> style class 0..31 */ \
    X(MPM_SETPAGERECT,    1081, Any, Ptr,   None)  /* RECT* in the page's units  -> 1/0 */ \
    X(MPM_DRAWPAGE,       1082, Any, Ptr,   Value) /* HDC, colour flag           -> 1/0 */ \
    X(MPM_LINEHEIGHT,     1083, Any, None,  None)  /* -, -                       -> row height in pixels */ \
    X(MPM_VISIBLEROWS,    1084, Doc, None,  None)  /* -, -                       -> visual rows */ \
    X(MPM_FOLDMODE,       1085, Doc, Value, None)  /* 0..3, high bit = query     -> mode */ \
    X(MPM_TEXTWIDTH,      1086, Any, Ptr,   Value) /* text, length or -1         -> width in pixels */ \
    X(MPM_FONTHEIGHT,     1087, Any, None,  None)  /* -, -                       -> font height in pixels */ \
    X(MPM_BRACEMATCH,     1088, Any, Value, None)  /* 0/1, other queries         -> flag */ \
    X(MPM_GETCODEPAGE,    1089, Doc, None,  None)  /* -, -                       -> current code page */ \
    X(MPM_SAVECOPY,       1090, Doc, Ptr,   Ptr)   /* path, SaveFormat* or 0     -> 1/0 */ \
    X(MPM_EMPTYUNDO,      1091, Doc, None,  None)  /* -, -                       -> 0 */ \
    X(MPM_LOADINPLACE,    1092, Doc, Ptr,   Value) /* path, MAKELPARAM(cp, brk)  -> 1/0 */ \
    X(MPM_GETLINES,       1093, Doc, Value, Ptr)   /* first line, LinesArg*      -> lines copied */ \
    X(MPM_HOLDGROUP,      1094, Any, Value, None)  /* non-zero holds, 0 releases -> 0 */ \
    X(MPM_SETDPI,         1095, Any, Value, None)  /* dots per inch, 0 own, -1 q -> resolution in use */ \
    X(MPM_GETMARGIN,      1096, Any, Value, Ptr)   /* margin 0..3, RECT* out     -> 1 when shown */ \
    X(MPM_RECOVERFILE,    1097, Any, Ptr,   None)  /* path or 0, -               -> RecoveryBits */ \
    X(MPM_INDENTFOLDS,    1098, Doc, Value, None)  /* 0/1, other queries         -> flag */ \
    X(MPM_WRAPWORDS,      1099, Doc, Value, None)  /* 0/1, other queries         -> flag */ \
    X(MPM_REPLACERANGE,   1100, Doc, None,  Ptr)   /* -, ReplaceRangeArg*        -> 1 when replaced */ \
    X(MPM_REPLACERANGES,  1101, Doc, Value, Ptr)   /* count, ReplaceRangeArg[]   -> 1 when replaced */ \
    X(MPM_FINDLINE,       1102, Doc, Value, Ptr)   /* first line, LineFindArg*   -> 0 cannot, 1 a line, 2 none */
// clang-format on

#define MRPAD_MESSAGE_ENUM(name, number, needs, w, l) name = number,
enum EditMessage : UINT {
    MRPAD_MESSAGES(MRPAD_MESSAGE_ENUM)
    MPM_LAST = MPM_FINDLINE,  // the highest message of the control
};
#undef MRPAD_MESSAGE_ENUM

// Message 1097: what an interrupted save (a kill, a crash, a power loss)
// left, dealt with before a file is opened: beside the file `path`, or with
// 0 in the temporary folder. Needs no document. Bits of the result: 1 a
// missing (or half-written) file was put back, 2 leftovers were removed.
//
// Message 1098: fold levels of the document from indentation (1) or the
// lexer's fold marks (0); other values query. In fold mode 1 a change starts
// the fold pass over. A line's level is its indentation in columns (a tab to
// the next multiple of 8, at most 62); a blank line takes the level of the
// next line that is not blank; a line that starts inside a region spanning
// lines is one deeper than the line that opened it.
//
// Message 1099: wrapped rows end at word boundaries (1: after a blank, a
// hyphen or punctuation, before a blank, beside an ideograph; a word longer
// than the row is cut at the edge) or at the window edge (0, the default);
// other values query.
//
// Message 1100: [start, end) replaced by the text as one command (one undo
// step of its own, inside a held group a part of it), half the commands of a
// deletion and an insertion.
//
// Message 1101: `count` ranges, each [start, end) with its own text, replaced
// in one pass as one command: each changed line is rebuilt once, the undo
// step keeps only the removed texts and where they were, and the views are
// told once, of the span from the first range's start to the last one's end.
// The result is that of the ranges replaced one by one from the last to the
// first, caret and selection of the control included. The ranges come in
// order and do not overlap (a range starts at or after the end of the one
// before; empty ranges insert, two at one place in the order given); a
// position past the text (a line out of range, a column past its line's
// end), an unordered range, overlapping ranges or a null text with a length
// other than 0 refuse the whole list with 0, and nothing changes. A range
// whose text may hold line breaks (CR LF, LF, CR): each ends a line. 0 also
// when nothing would change (no ranges, only empty ranges given no text) and
// in a read-only document. Replace All sends the ranges it found in lists
// of bounded size inside one undo group.

// Message 1102: from line `first` on (with LINEFIND_BACKWARD: back from it)
// the first line whose text may hold the literal, for a search that looks
// at no other line. Lines still unchanged from the file are searched in the
// file's bytes, the literal converted to its code page (UTF-16 files: their
// units in place); any other line (edited, converted) may hold it. At most
// `maxLines` lines are looked at. Answers 1: `line` may hold it, and so may
// the `run` lines from it on (back from it: `line`, `line` - 1, ...): 1 for
// a line found in the bytes, more for converted lines in a row. 2: none of
// the lines looked at holds it, and `line` is the first not looked at (the
// line count going forward, -1 back, at the document's ends). 0: the
// control cannot tell, and the caller reads the lines: the code page is
// none whose bytes below 0x80 are ASCII, nor UTF-16; the literal is empty
// or holds a CR or an LF; ignoring case, it holds a unit outside ASCII;
// outside UTF-8 and UTF-16, a unit outside ASCII or a '?' (which a byte
// that does not convert may become). Ignoring case, the ASCII letters A-Z
// match a-z and nothing else: a caller whose folding lets other units
// match such a letter (the Kelvin sign a k) leaves those letters out of
// the literal. A line found may not hold the literal (a match inside a
// character of a multi-byte code page): the caller confirms it in the
// line's text.
enum LineFindFlags : int {
    LINEFIND_MATCHCASE = 1,
    LINEFIND_BACKWARD = 2,
};

// Bits of the result of MPM_RECOVERFILE.
enum RecoveryBits : int {
    kRecoveredFile = 1,     // a missing (or half-written) file was put back
    kRemovedLeftovers = 2,  // leftovers of an ended process were removed
};

// Edit commands, sent as WM_COMMAND with LOWORD(wParam) = id and lParam 0.
enum EditCommand : int {
    ECMD_LEFT = 1, ECMD_RIGHT, ECMD_UP, ECMD_DOWN, ECMD_HOME, ECMD_END,
    ECMD_DOCSTART, ECMD_DOCEND, ECMD_PAGEUP, ECMD_PAGEDOWN, ECMD_WORDRIGHT, ECMD_WORDLEFT,
    ECMD_SEL_LEFT, ECMD_SEL_RIGHT, ECMD_SEL_UP, ECMD_SEL_DOWN, ECMD_SEL_HOME, ECMD_SEL_END,
    ECMD_SEL_DOCSTART, ECMD_SEL_DOCEND, ECMD_SEL_PAGEUP, ECMD_SEL_PAGEDOWN,
    ECMD_SEL_WORDRIGHT, ECMD_SEL_WORDLEFT,
    ECMD_SELECTALL = 25, ECMD_BACKSPACE, ECMD_DELETE, ECMD_DELWORDLEFT, ECMD_DELWORDRIGHT,
    ECMD_DELETELINE = 30, ECMD_UNDO = 31, ECMD_REDO = 32, ECMD_COPY, ECMD_PASTE, ECMD_CUT,
    ECMD_OVERWRITE = 36, ECMD_SCROLLUP = 38, ECMD_SCROLLDOWN, ECMD_MIDDLELINE,
    ECMD_TOGGLEBOOKMARK = 41, ECMD_NEXTBOOKMARK, ECMD_PREVBOOKMARK, ECMD_NEWLINEBELOW,
    ECMD_NEWLINEABOVE, ECMD_SELECTWORD, ECMD_INDENT, ECMD_UNINDENT, ECMD_MOVELINEUP,
    ECMD_MOVELINEDOWN, ECMD_FOLDSELECTION, ECMD_EXPANDFOLD, ECMD_CLEARBOOKMARKS,
    ECMD_DUPLICATELINE, ECMD_SELLINESUP, ECMD_SELLINESDOWN, ECMD_UPPERCASE, ECMD_LOWERCASE,
    ECMD_CENTERCARET, ECMD_GOTOBRACE, ECMD_PASTEINDENT, ECMD_COLLAPSEFOLD,
    ECMD_TRIMLEADING, ECMD_TRIMTRAILING, ECMD_CLEARSELECTION, ECMD_LINEBREAK,
    ECMD_SELECTTOBRACE, ECMD_COPYLINE, ECMD_TABSTOSPACES, ECMD_SPACESTOTABS,
    ECMD_LAST = 70
};

// Notification codes in WM_NOTIFY to the parent (wParam = control ID).
enum EditNotification : UINT {
    EN_MP_TEXTCHANGED = 1,
    EN_MP_CARETMOVED = 2,
    EN_MP_IMETEXT = 3,
    // An edit (typing, pasting, deleting, a command) refused because the
    // document is read-only: a plain NMHDR, sent after the beep.
    EN_MP_READONLY = 4,
    // A long run of commands goes on: an undo or redo of a large group, or
    // an edit command of many lines (ProgressNotify, every 256 commands,
    // then once with done -1 when it ended). A non-zero answer stops it
    // between two commands: the document is whole, the rest of an undo
    // (redo) stays for the next one, and what a stopped edit did is one
    // undo step.
    EN_MP_PROGRESS = 5,
};

// Line-break types (line-end formats). 0, stored after a load that named
// none, is treated as CR LF everywhere.
enum LineBreakType : int { LB_CRLF = 1, LB_LF = 2, LB_CR = 3 };

// Line attribute kinds (messages 1046/1047).
enum LineAttrKind : int {
    LA_BOOKMARK = 1,    // 1 bit
    LA_CHANGED = 2,     // 1 bit
    LA_LEXSTATE = 3,    // 8 bits: the lexer's end-of-line state
    LA_FOLDLEVEL = 4,   // 6 bits: 0..63
    LA_MARKER1 = 5,     // 4 bits
    LA_MARKER2 = 6,     // 4 bits
    LA_VALUE5 = 8,      // 5 bits
};

// Style value bits, 16 per UTF-16 unit of a line.
enum StyleBits : unsigned short {
    STYLE_CLASS_MASK = 0x001F,
    STYLE_WAVY = 0x0020,
    STYLE_UNDERLINE = 0x0040,
    STYLE_EXTRACARET = 0x0080,
    STYLE_SELECTED = 0x0100,
    STYLE_REGION_MASK = 0x7E00,
    STYLE_REGION_SHIFT = 9,
};
constexpr int STYLE_FIND_HIGHLIGHT = 20;
constexpr int COLOR_TABLE_ENTRIES = 80;

#pragma pack(push, 4)

struct Position {
    int line;
    int column;
};
inline bool operator==(const Position& a, const Position& b) { return a.line == b.line && a.column == b.column; }

struct TextArg {                // message 1040
    const wchar_t* text;
    int length;                 // -1 = zero-terminated
};

struct SaveFormat {             // messages 1033, 1090
    int codePage;
    int lineBreak;
    int writeBom;               // SaveFlags
};

// Bits of SaveFormat::writeBom. A save in a code page that lacks some of the
// document's characters fails with ERROR_NO_UNICODE_TRANSLATION and writes
// nothing, unless SAVE_ACCEPT_LOSS lets it write the code page's stand-ins.
enum SaveFlags : int {
    SAVE_WRITE_BOM = 1,
    SAVE_ACCEPT_LOSS = 2,
};

struct LineAttrArg {            // messages 1046, 1047
    int kind;
    int value;
};

struct RangeTextArg {           // message 1058
    int startLine;
    int startColumn;
    int endLine;
    int endColumn;
    wchar_t* buffer;            // null: only the length is returned
    int lineBreak;              // 0 = the document's
};

struct StyleRangeArg {          // message 1076
    int startLine;
    int startColumn;
    int endLine;
    int endColumn;
    int style;
};

// Message 1094 holds an undo group open across everything that happens
// until the matching release: groups that edits open and close inside it
// (message 1062, a drop, a column paste), balanced or not, neither end it nor
// start another, so that the whole span is undone in one step. Holds nest;
// the last release ends the group. A release without a hold does nothing.

// Message 1093: consecutive lines from `first` copied into `buffer`, each
// followed by an LF, as many whole lines as fit in `capacity` units (a line
// not yet loaded needs room for one unit per byte of it in the file, which
// bounds its converted length) and at most `maxLines`. `units` receives the
// units written. Copying many lines per message saves the message and the
// second conversion per line that 1037 (length, then text) costs a search.
// Returns 0 when the first line does not fit or lies out of range.
struct LinesArg {
    int maxLines;
    wchar_t* buffer;
    int capacity;
    int units;                  // out
};

// Message 1095: the resolution the control sizes its margins, marks and
// caret at (pixel sizes are written for 96 dots per inch and scaled). By
// itself the control takes its window's resolution (its monitor's where the
// system knows it, else the screen's) when made and on
// WM_DPICHANGED_AFTERPARENT. A program that keeps its own idea of a window's
// resolution gives it here; the value holds, also over
// WM_DPICHANGED_AFTERPARENT, until 0 returns the control to its window's.
// Values outside 24..2400 change nothing. The control lays itself out again
// and repaints; its font stays the program's (send one made for the new
// resolution). Returns the resolution in use.
//
// Message 1096: where margin wParam (0 line numbers, 1 fold margin, 2 edit
// state, 3 left margin) lies in client coordinates: left and right of its
// column, top and bottom of the text area. Returns 0 (and an empty rectangle)
// for a margin not shown or a bad index.

struct ReplaceRangeArg {        // messages 1100, 1101 (an array of them)
    Position start;
    Position end;
    const wchar_t* text;        // may be null when length is 0
    int length;                 // -1: zero-terminated
};

struct LineFindArg {            // message 1102
    const wchar_t* text;        // the literal
    int length;
    int flags;                  // LineFindFlags
    int maxLines;               // lines looked at, at most
    int line;                   // out
    int run;                    // out
};

struct FileReplaceArg {         // message 1065
    const wchar_t* path;
    int codePage;
    int deleteFile;
};

#pragma pack(pop)

struct TextChangedNotify {      // code 1
    NMHDR hdr;
    Position start;
    Position oldEnd;
    Position newEnd;
};

struct CaretMovedNotify {       // code 2
    NMHDR hdr;
    Position oldCaret;
    Position newCaret;
};

struct ProgressNotify {         // code 5
    NMHDR hdr;
    int done;                   // -1: the work ended
    int total;
    int kind;                   // 0 an undo or redo, 1 an edit command
};

struct ImeTextNotify {          // code 3
    NMHDR hdr;
    const wchar_t* text;
    int length;
};

// The document's lexer, owned by the program and borrowed by the control.
// The slot order below is fixed.
struct ILexer {
    // Slot 0: the end-of-line state of `line`, given the previous line's end
    // state (0 for line 0). When `styles` is non-null, fills one entry per
    // unit of the line (low 5 bits: style class).
    virtual int LineState(int line, const wchar_t* text, int length, int prevState,
                          unsigned short* styles) = 0;
    // Slot 1: the lexer's name, owned by the lexer; the control never calls it.
    virtual const wchar_t* Name() = 0;
    // Slot 2: the fold level of the next line, or a negative value to stop.
    virtual int FoldLevel(int line, const wchar_t* text, int length, int state,
                          int prevState, int level, unsigned short* styles) = 0;
};

// A per-view highlighter (find highlight), owned by the program.
struct IHighlighter {
    // Slot 0: may change any entry of the line's style array (length + 1 entries).
    virtual int Highlight(int line, const wchar_t* text, int length, unsigned short* styles) = 0;
    // Slot 1: destructor; the control never calls it.
    virtual ~IHighlighter() {}
};

// The document handle passed with message 1029; opaque to the program.
class TextDocument;

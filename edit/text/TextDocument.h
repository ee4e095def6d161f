// The document model of an edit control: lines, the backing file of lines
// not yet converted, the undo history, the lexer's per-line states, and the
// views that show it.
//
// Edit primitives (Insert, Delete) change text without notifying; commands
// call Changed() once per primitive, which marks changed lines, recomputes
// the lexer's end-of-line states and tells every view. Positions given to the
// primitives are clamped to the text.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "DocView.h"
#include "EditProtocol.h"
#include "Line.h"
#include "LineFileSource.h"
#include "PtrList.h"

class Command;
struct ReplacePiece;
using CommandList = PtrListT<Command>;

class TextDocument {
public:
    TextDocument();
    ~TextDocument();
    TextDocument(const TextDocument&) = delete;
    TextDocument& operator=(const TextDocument&) = delete;

    // Fields, in the order the document keeps them.
    LineVector* lines;
    LineFileSource* source = nullptr;
    CommandList undo;
    CommandList redo;
    ILexer* lexer = nullptr;
    int recording = 1;
    std::wstring fileName;
    int savePoint = 0;
    int sourceCodePage = 0;
    int currentCodePage = 0;
    int lineBreak = LB_CRLF;
    int statesValidTo = 0;
    int foldsValidFrom = 0;
    int readOnly = 0;
    // Fold levels come from indentation (a line's leading blanks, lines
    // inside a region that spans lines one deeper than the line that opened
    // it) instead of the lexer's fold marks.
    bool indentFolds = false;
    int hasBom = 0;
    std::vector<DocView*> views;

    // Whether p is a document of this process that has not been destroyed.
    static bool IsLive(const TextDocument* p);

    int LineCount() const { return lines->Count(); }
    Line& LineAt(int i) { return (*lines)[i]; }
    Position Clamp(Position p) const;
    Position End() const;

    // Text of line i and its length in UTF-16 units. A loaded line returns its
    // own buffer; an unloaded one is converted into a shared scratch buffer
    // that is valid until the next call. Lines out of range read as empty.
    const wchar_t* LineText(int i, int* length);
    int LineLength(int i);
    // Copies whole lines from `first` into out[0, capacity), each followed by
    // an LF, at most maxLines; returns the lines copied, their units in
    // *units. An unloaded line is converted straight into `out` and needs
    // room for one unit per byte of it (never fewer bytes than units).
    int CopyLines(int first, int maxLines, wchar_t* out, int capacity, int* units);
    int CopyRun(int i, int end, wchar_t* out, int capacity, int* used);
    // Converts an unloaded line into its own buffer (capacity 2 × length + 1).
    void LoadLine(int i);
    // Converts the unloaded lines of [first, last] into buffers of their own
    // with a little room (length + 1 + length / 8), ahead of an edit of all
    // of them; in a code page of one byte per character the lines that
    // follow one another in the file take one read and one conversion. A
    // line whose bytes do not convert stays as it is.
    void LoadLines(int first, int last);

    // Inserts text at p; CR LF, LF and CR each end a line. Returns the end of
    // the inserted text.
    Position Insert(Position p, const wchar_t* text, int length);
    // Deletes [a, b) (a <= b after clamping; otherwise nothing happens).
    void Delete(Position a, Position b);
    // The length of line i, or -1 when the line is out of range or its
    // bytes do not convert (so that no edit can take it as text).
    int ReadableLength(int i);
    // Replaces `count` pieces (in order, none overlapping, inside the text:
    // the caller has checked) in one pass over the lines they touch: each
    // run of pieces that share lines makes its lines once. `texts` holds the
    // pieces' texts one after another. With `inverse`, it receives the
    // pieces that undo this (in the new text) and `removed` their texts, the
    // units removed with each line break as an LF. The `tracked` positions
    // are carried through as by the pieces replaced one by one from the
    // last. span: the start, the old end and the new end of what changed.
    // `going`, when given, is asked after each run of pieces with the pieces
    // done; false stops there. A piece whose text is the one of the piece
    // before takes it again (kSameText), in both lists. Returns the pieces
    // done, and in *written the units written to `removed`.
    int ReplacePieces(const ReplacePiece* pieces, int count, const wchar_t* texts, ReplacePiece* inverse,
                      wchar_t* removed, size_t* written, Position* track, int tracked, Position span[3],
                      const std::function<bool(int)>* going = nullptr);

    // Length of [a, b) with each line break counted as the break string of
    // `breakType` (0: the document's). CopyRange writes the text without a
    // terminator and returns the units written.
    int RangeLength(Position a, Position b, int breakType);
    int CopyRange(Position a, Position b, int breakType, wchar_t* buffer);
    static const wchar_t* BreakString(int breakType);

    // Change notification after one primitive with start s, old end e0, new end e1.
    void Changed(Position s, Position e0, Position e1);

    // Line attributes by kind; kinds 1, 5 and 6 repaint every view.
    int GetAttr(int line, int kind);
    bool SetAttr(int line, int kind, int value);

    // Recomputes lexer states over [first, last]; true when the state of
    // `last` changed. Updates states-valid-up-to as a change does.
    bool UpdateStates(int first, int last);
    // Makes the state of `line` valid, computing from states-valid-up-to on.
    void EnsureStates(int line);
    // The lexer's style class of one unit, 0 without a lexer or outside the line.
    int StyleAt(Position p);
    void SetLexer(ILexer* lexer, bool reset);
    // One run of the background fold computation: from the first stale fold
    // line on, at most `maxLines` lines, each asking the lexer for the next
    // line's fold level. Returns where the next run starts (the line count
    // when everything is computed).
    int ComputeFolds(int maxLines);
    // Fold levels by indentation on or off; levels go stale when it changes.
    void SetIndentFolds(bool on);

    // Replaces every line by those of a freshly opened source and takes the
    // source. False (and nothing changed) when the source cannot be scanned.
    bool AttachSource(LineFileSource* src);

    // The lexer sees at most this many units of a line: past them a line is
    // plain text, and its end state is the state at the cut. Lexing is
    // linear in what it sees, so one enormous line (minified code, a line of
    // one character) costs each pass a bounded time.
    static constexpr int kLexedUnits = 1 << 20;
    static int LexedLength(int length) { return length < kLexedUnits ? length : kLexedUnits; }

    // A save point no undo-list length can reach: the text differs from the
    // saved file whatever is undone.
    static constexpr int kNeverSaved = -1;
    bool IsModified() const { return savePoint != undo.Count(); }
    void EmptyUndo();
    int SetRecording(bool on);

    void AddView(DocView* v);
    void RemoveView(DocView* v);
    // Tells every view that the document is closing.
    void NotifyClosing();
    void NotifyAttributesChanged();

    // Consistency check for tests: every loaded line's terminator is in place
    // and every length fits its capacity.
    bool Valid() const;

private:
    int ComputeIndentFolds(int maxLines);
    // Columns of indentation of `line` (at most 62), -1 when it is blank.
    int IndentLevel(int line);
    // Where the fold pass starts over after an edit of `line`.
    int IndentFoldsStaleFrom(int line);
    void InsertIntoLine(Line& line, int column, const wchar_t* text, int n);
    void AppendNewLine(int at, const wchar_t* a, int na, const wchar_t* b, int nb);
    // Lines [at, at + count) give way to the made ones (count >= 1, made >= 1).
    void ReplaceLines(int at, int count, std::vector<Line>& made);
};

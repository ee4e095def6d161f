// The highlighter: a rule tree of regions and items that the edit control
// calls back through ILexer, one line at a time.
//
// A region is a stretch of text with its own style (a comment, a string, a
// tag); it may hold child regions and items (keywords, numbers) that are
// searched only inside it. The root region covers everything. A region whose
// end is not found on its line stays open: its identifier (1 to 59) is the
// line's end state, which the control keeps per line and hands back with the
// next line. Regions that always close with their line carry identifier 60
// and never become a state. The lexer keeps nothing per line of its own, so
// one lexer serves every document that uses its definition.
//
// Some regions end where the text that began them says: a bracket comment
// closes with as many '=' as it opened with, a here-document with its word,
// a quote-like operator with the delimiter it chose. Such a region carries
// that text (its open text) from its start to its end; a line that ends
// inside one ends in a state that stands for the region and its open text:
// 64 to 255, one per pair, kept by the lexer for its life. When all are taken
// a region continues with an empty open text.
//
// Each unit's 16-bit style value gets the style class of the innermost rule
// that covers it in bits 0-4 and the covering region's identifier in bits
// 9-14; every other bit belongs to the control and is left as it was.
//
// Expressions are compiled once while the tree is built; a line pass only
// searches. The tree is built by the syntax scripts' object model or by code
// (the result lexer), and must not change while a control uses the lexer.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "EditProtocol.h"
#include "Regex.h"

namespace syntax {

using Regex = mrx::CRegexpT<wchar_t>;

constexpr int kLineRegion = 60;      // identifier of regions that close with their line
constexpr int kMaxOpenRegion = 59;   // highest identifier of a region that may stay open
constexpr int kFirstCarried = 64;    // the first state of a region with its open text
constexpr int kLastState = 255;      // the control keeps 8 bits of state per line

// Compiles an item, fold or unfold pattern (or a begin/end pattern that is
// not literal): ignoring case unless `caseSensitive`. An empty pattern gives
// null. A malformed pattern gives an expression that matches nothing.
std::unique_ptr<Regex> CompilePattern(const std::wstring& pattern, bool caseSensitive);

struct SyntaxItem {
    std::unique_ptr<Regex> expr;
    int style = 0;
};

class CSyntaxRegion {
public:
    // `begin` and `end` are pattern texts: "+text+" (longer than two
    // characters) is literal text, anything else non-empty an expression.
    CSyntaxRegion(int id, int style, const std::wstring& begin, const std::wstring& end, bool caseSensitive);
    virtual ~CSyntaxRegion();
    CSyntaxRegion(const CSyntaxRegion&) = delete;
    CSyntaxRegion& operator=(const CSyntaxRegion&) = delete;

    // The length of the region's start at `pos`, 0 when it does not start
    // there. `text` has `length` units and a terminating 0.
    virtual int BeginLength(const wchar_t* text, int length, int pos) const;
    // The region's end at or after `from`: answers whether there is one on
    // this line, with *endPos and *endLength (the length 0 when there is
    // none). An expression's empty match ends the region only at the line's
    // end: "(?<!\\)$" closes it with a line that is not continued.
    virtual bool FindEnd(const wchar_t* text, int length, int from, int* endPos, int* endLength) const;

    // Regions whose end depends on their start carry an open text.
    virtual bool CarriesText() const { return false; }
    // The open text of the start of `beginLength` units at `pos`.
    virtual std::wstring OpenText(const wchar_t* text, int length, int pos, int beginLength) const;
    // FindEnd given the open text; *still receives the open text at the
    // line's end when the region does not end on it.
    virtual bool FindEndOf(const std::wstring& open, const wchar_t* text, int length, int from, int* endPos,
                           int* endLength, std::wstring* still) const;

    void AddRegion(CSyntaxRegion* child);  // sets the child's parent
    void AddItem(SyntaxItem* item);
    void SetFold(std::unique_ptr<Regex> expr) { fold = std::move(expr); }
    void SetUnfold(std::unique_ptr<Regex> expr) { unfold = std::move(expr); }

    CSyntaxRegion* parent = nullptr;
    int id = 0;
    int style = 0;
    bool caseSensitive = false;
    bool isolateFolds = false;                 // enclosing regions count no marks in its text
    std::wstring beginText, endText;           // as given
    std::wstring beginLiteral, endLiteral;     // the text of a "+...+" pattern
    std::unique_ptr<Regex> beginExpr, endExpr, fold, unfold;
    // Taken into the end when it matches right after it (a regular
    // expression's flags after its closing delimiter).
    std::unique_ptr<Regex> suffix;
    // A skip: covers its begin match only, keeps the paint of the region it
    // is in, and neither a child region nor the enclosing region's end is
    // found inside it (an escaped quote outside a string).
    bool skip = false;
    std::vector<CSyntaxRegion*> children;      // not owned
    std::vector<SyntaxItem*> items;            // not owned

private:
    friend class CSyntaxParser;
    // How the line pass finds this region's next start (worked out on first
    // use; the tree does not change while it is lexed).
    enum class BeginKind : signed char { kUnknown, kNever, kLiteral, kExpr, kExprAtUnit, kQuote, kEachPosition };
    mutable BeginKind beginKind_ = BeginKind::kUnknown;
    mutable wchar_t beginUnit_ = 0;  // kExprAtUnit: every match starts with this unit
};

// A quoted string: begins at its quote character and ends at the next one
// that is not escaped.
class CStringRegion : public CSyntaxRegion {
public:
    CStringRegion(int id, int style, wchar_t quote, wchar_t escape);
    int BeginLength(const wchar_t* text, int length, int pos) const override;
    bool FindEnd(const wchar_t* text, int length, int from, int* endPos, int* endLength) const override;

    wchar_t quote = 0;   // 0 never matches
    wchar_t escape = 0;  // 0 never matches
};

// A region whose end is written with the texts of its begin's groups: in
// `end` (literal or expression, as for CSyntaxRegion) \1 to \9 stand for
// the texts of groups 1 to 9 of the begin match (in an expression, matched
// literally). "#\[(=*)\[" with "+]\1]+" is a bracket comment; "<<(\w+)"
// with "^\1$" a here-document.
class CMatchedRegion : public CSyntaxRegion {
public:
    CMatchedRegion(int id, int style, const std::wstring& begin, const std::wstring& end, bool caseSensitive);
    ~CMatchedRegion() override;
    bool CarriesText() const override { return true; }
    std::wstring OpenText(const wchar_t* text, int length, int pos, int beginLength) const override;
    bool FindEndOf(const std::wstring& open, const wchar_t* text, int length, int from, int* endPos,
                   int* endLength, std::wstring* still) const override;

private:
    struct Compiled;
    std::wstring endTemplate_;
    bool literalEnd_ = false;
    std::unique_ptr<Compiled> compiled_;  // end expressions by their text
};

// A quote-like operator: the begin match's group 1 (else its last unit) is
// the delimiter. An opening bracket ( [ { < closes with its pair, nested
// pairs counted; any other delimiter closes with itself. The escape unit
// keeps the next unit from counting. With two parts (a substitution) a
// second body follows: after a bracket pair, another delimited body that
// may start after spaces or on a later line; after any other delimiter, the
// text up to its next occurrence.
class CQuoteRegion : public CSyntaxRegion {
public:
    CQuoteRegion(int id, int style, const std::wstring& begin, wchar_t escape, int parts);
    bool CarriesText() const override { return true; }
    std::wstring OpenText(const wchar_t* text, int length, int pos, int beginLength) const override;
    bool FindEndOf(const std::wstring& open, const wchar_t* text, int length, int from, int* endPos,
                   int* endLength, std::wstring* still) const override;

    wchar_t escape = 0;
    int parts = 1;
};

class CSyntaxParser : public ILexer {
public:
    CSyntaxParser();
    virtual ~CSyntaxParser();
    CSyntaxParser(const CSyntaxParser&) = delete;
    CSyntaxParser& operator=(const CSyntaxParser&) = delete;

    // ILexer, slots in order.
    int LineState(int line, const wchar_t* text, int length, int prevState, unsigned short* styles) override;
    const wchar_t* Name() override { return name_.c_str(); }
    int FoldLevel(int line, const wchar_t* text, int length, int state, int prevState, int level,
                  unsigned short* styles) override;

    // Building the tree. Regions and items belong to the lexer; they take
    // part in lexing once added to the root or to a region that is.
    CSyntaxRegion* Root() { return root_.get(); }
    CSyntaxRegion* CreateRegion(int id, int style, const std::wstring& begin, const std::wstring& end,
                                bool caseSensitive);
    CSyntaxRegion* CreateStringRegion(int id, int style, wchar_t quote, wchar_t escape);
    CSyntaxRegion* CreateMatchedRegion(int id, int style, const std::wstring& begin, const std::wstring& end,
                                       bool caseSensitive);
    CSyntaxRegion* CreateQuoteRegion(int id, int style, const std::wstring& begin, wchar_t escape, int parts);
    // A skip (CSyntaxRegion::skip) over what `pattern` matches.
    CSyntaxRegion* CreateSkip(const std::wstring& pattern, bool caseSensitive);
    SyntaxItem* CreateItem(int style, const std::wstring& pattern, bool caseSensitive);

    void SetName(const std::wstring& name) { name_ = name; }
    // Lines fold by indentation (MPM_INDENTFOLDS) instead of by fold marks.
    void SetFoldByIndent(bool on) { foldByIndent_ = on; }
    bool FoldsByIndent() const { return foldByIndent_; }
    const std::wstring& GetName() const { return name_; }
    // The region (and open text) a line state stands for; 0 for none.
    int RegionOfState(int state, std::wstring* open) const;

private:
    struct LineText;
    class CCarriedStates;
    int Lex(const wchar_t* text, int length, int prevState, unsigned short* styles, bool fold);
    // Styles `r` from `s` (its begin of `b` units there; for the region a
    // line starts in, `carried` is its open text). Answers the state its
    // line ends in, kClosed when `r` and what it holds closed on the line.
    int RegionPass(const CSyntaxRegion* r, int s, int b, int& extentEnd, const LineText& line, int depth,
                   const std::wstring* carried = nullptr);
    static constexpr int kClosed = -1;
    void PaintItems(const CSyntaxRegion* r, int s, int extentEnd, const LineText& line) const;
    void CountFolds(const CSyntaxRegion* r, int s, int extentEnd, const LineText& line,
                    const std::vector<std::pair<int, int>>& claimed);
    const CSyntaxRegion* FindRegion(const CSyntaxRegion* r, int id, int depth) const;
    // The first position in [from, last] where `r` begins (its BeginLength
    // not 0) and that length in *beginLength; -1 when none.
    static int NextBegin(const CSyntaxRegion* r, const wchar_t* text, int length, int from, int last,
                         int* beginLength);

    std::unique_ptr<CSyntaxRegion> root_;
    std::vector<std::unique_ptr<CSyntaxRegion>> regions_;
    std::vector<std::unique_ptr<SyntaxItem>> items_;
    std::wstring name_;
    int foldLevel_ = 0;  // the accumulator of one FoldLevel call
    bool foldByIndent_ = false;
    long long work_ = 0;  // what is left of one line's work budget
    std::unique_ptr<CCarriedStates> carried_;  // states 64-255
};

// The lexer of find-in-files result lines, named "Grep": style 1 for the
// file part "#<...>" at the start of a line, style 9 for the position part
// ":(line,column)". One per process, built on first use.
CSyntaxParser* ResultLexer();

}  // namespace syntax

#include "SyntaxParser.h"

namespace syntax {

namespace {

// "+text+" longer than two characters is literal text.
bool IsLiteral(const std::wstring& p) { return p.size() > 2 && p.front() == L'+' && p.back() == L'+'; }

}  // namespace

std::unique_ptr<Regex> CompilePattern(const std::wstring& pattern, bool caseSensitive) {
    if (pattern.empty()) return nullptr;
    auto expr = std::make_unique<Regex>();
    expr->Compile(pattern.c_str(), int(pattern.size()), caseSensitive ? 0 : mrx::IGNORECASE);
    return expr;
}

CSyntaxRegion::CSyntaxRegion(int id_, int style_, const std::wstring& begin, const std::wstring& end,
                             bool caseSensitive_)
    : id(id_), style(style_ & 31), caseSensitive(caseSensitive_), beginText(begin), endText(end) {
    if (IsLiteral(begin))
        beginLiteral = begin.substr(1, begin.size() - 2);
    else
        beginExpr = CompilePattern(begin, caseSensitive);
    if (IsLiteral(end))
        endLiteral = end.substr(1, end.size() - 2);
    else
        endExpr = CompilePattern(end, caseSensitive);
}

CSyntaxRegion::~CSyntaxRegion() = default;

void CSyntaxRegion::AddRegion(CSyntaxRegion* child) {
    if (!child) return;
    child->parent = this;
    children.push_back(child);
}

void CSyntaxRegion::AddItem(SyntaxItem* item) {
    if (item) items.push_back(item);
}

CStringRegion::CStringRegion(int id_, int style_, wchar_t quote_, wchar_t escape_)
    : CSyntaxRegion(id_, style_, std::wstring(), std::wstring(), false), quote(quote_), escape(escape_) {}

CSyntaxParser::CSyntaxParser() : root_(std::make_unique<CSyntaxRegion>(0, 0, L"", L"", false)) {}

CSyntaxParser::~CSyntaxParser() = default;

CSyntaxRegion* CSyntaxParser::CreateRegion(int id, int style, const std::wstring& begin, const std::wstring& end,
                                           bool caseSensitive) {
    regions_.push_back(std::make_unique<CSyntaxRegion>(id, style, begin, end, caseSensitive));
    return regions_.back().get();
}

CSyntaxRegion* CSyntaxParser::CreateStringRegion(int id, int style, wchar_t quote, wchar_t escape) {
    regions_.push_back(std::make_unique<CStringRegion>(id, style, quote, escape));
    return regions_.back().get();
}

SyntaxItem* CSyntaxParser::CreateItem(int style, const std::wstring& pattern, bool caseSensitive) {
    auto item = std::make_unique<SyntaxItem>();
    item->style = style & 31;
    item->expr = CompilePattern(pattern, caseSensitive);
    items_.push_back(std::move(item));
    return items_.back().get();
}

// ---- Lexing ----------------------------------------------------------------

int CSyntaxRegion::BeginLength(const wchar_t*, int, int) const { return 0; }

void CSyntaxRegion::FindEnd(const wchar_t*, int, int, int* endPos, int* endLength) const {
    *endPos = 0;
    *endLength = 0;
}

int CStringRegion::BeginLength(const wchar_t*, int, int) const { return 0; }

void CStringRegion::FindEnd(const wchar_t*, int, int, int* endPos, int* endLength) const {
    *endPos = 0;
    *endLength = 0;
}

int CSyntaxParser::LineState(int, const wchar_t*, int, int, unsigned short*) { return 0; }

int CSyntaxParser::FoldLevel(int, const wchar_t*, int, int, int, int level, unsigned short*) { return level; }

CSyntaxParser* ResultLexer() { return nullptr; }

}  // namespace syntax

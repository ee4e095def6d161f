#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Allocators.h"
#include "TextDocument.h"

namespace {

std::wstring Text(TextDocument& d) {
    const Position end = d.End();
    std::wstring s(size_t(d.RangeLength({0, 0}, end, LB_LF)), L'\0');
    d.CopyRange({0, 0}, end, LB_LF, s.data());
    return s;
}

std::wstring LineOf(TextDocument& d, int i) {
    int n = 0;
    const wchar_t* t = d.LineText(i, &n);
    return std::wstring(t, size_t(n));
}

void Insert(TextDocument& d, Position p, const std::wstring& s) {
    d.Insert(p, s.data(), int(s.size()));
}

// A file in the temporary folder, removed with the object.
struct TempFile {
    std::wstring path;
    explicit TempFile(const std::string& bytes) {
        wchar_t dir[MAX_PATH], name[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        GetTempFileNameW(dir, L"LST", 0, name);
        path = name;
        HANDLE f = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        WriteFile(f, bytes.data(), DWORD(bytes.size()), &n, nullptr);
        CloseHandle(f);
    }
    ~TempFile() { DeleteFileW(path.c_str()); }
};

LineFileSource* OpenSource(const TempFile& f, int cp) {
    auto* s = new LineFileSource(cp, /*inPlace=*/true);
    EXPECT_TRUE(s->Open(f.path));
    return s;
}

struct RecordingView : DocView {
    struct Change { Position s, e0, e1; bool states; };
    std::vector<Change> changes;
    int reloads = 0, repaints = 0, closings = 0;
    void TextChanged(Position s, Position e0, Position e1, bool st) override { changes.push_back({s, e0, e1, st}); }
    void Reloaded() override { ++reloads; }
    void AttributesChanged() override { ++repaints; }
    void RepaintLines(int, int) override { ++repaints; }
    void DocumentClosing() override { ++closings; }
};

// A lexer whose end state is the number of unclosed '(' so far, capped at 255.
struct ParenLexer : ILexer {
    int calls = 0;
    int LineState(int, const wchar_t* t, int n, int prev, unsigned short* styles) override {
        ++calls;
        int depth = prev;
        for (int i = 0; i < n; ++i) {
            if (t[i] == L'(') ++depth;
            if (t[i] == L')' && depth > 0) --depth;
            if (styles) styles[i] = t[i] == L'(' || t[i] == L')' ? 5 : 1;
        }
        return depth;
    }
    const wchar_t* Name() override { return L"paren"; }
    int FoldLevel(int, const wchar_t*, int, int, int, int level, unsigned short*) override { return level; }
};

}  // namespace

TEST(LineStore, NewDocumentHasOneEmptyLine) {
    TextDocument d;
    EXPECT_EQ(d.LineCount(), 1);
    EXPECT_EQ(d.LineLength(0), 0);
    EXPECT_EQ(d.lines->Total(), 8);
    EXPECT_EQ(d.lineBreak, LB_CRLF);
    EXPECT_TRUE(d.Valid());
}

TEST(LineStore, InsertCutsAtEveryKindOfLineBreak) {
    TextDocument d;
    const std::wstring s = L"a\r\nb\nc\rd";
    const Position end = d.Insert({0, 0}, s.data(), int(s.size()));
    EXPECT_EQ(end.line, 3);
    EXPECT_EQ(end.column, 1);
    ASSERT_EQ(d.LineCount(), 4);
    EXPECT_EQ(LineOf(d, 0), L"a");
    EXPECT_EQ(LineOf(d, 3), L"d");
    // A CR at the very end of the text and a lone LF after it make two breaks.
    Insert(d, {3, 1}, L"\r\n\n");
    EXPECT_EQ(d.LineCount(), 6);
    EXPECT_TRUE(d.Valid());
}

TEST(LineStore, InsertCarriesTheTailBehindTheLastPiece) {
    TextDocument d;
    Insert(d, {0, 0}, L"hello world");
    const Position end = d.Insert({0, 5}, L",\nbig\nnew", 9);
    EXPECT_EQ(end.line, 2);
    EXPECT_EQ(end.column, 3);
    EXPECT_EQ(Text(d), L"hello,\nbig\nnew world");
    // The first line was cut behind its piece: capacity 2 × 6 + 3.
    EXPECT_EQ(d.LineAt(0).capacity, 15);
    // New lines get exactly their length plus the terminator.
    EXPECT_EQ(d.LineAt(1).capacity, 4);
    EXPECT_EQ(d.LineAt(2).capacity, 10);
}

TEST(LineStore, InsertWithinALineGrowsByTheCapacityRule) {
    TextDocument d;
    Insert(d, {0, 0}, L"abc");  // empty line loaded with capacity 1, then grown
    EXPECT_EQ(d.LineAt(0).capacity, 7);
    Insert(d, {0, 1}, L"XY");  // 5 < 7: fits
    EXPECT_EQ(d.LineAt(0).capacity, 7);
    EXPECT_EQ(LineOf(d, 0), L"aXYbc");
    Insert(d, {0, 5}, L"Z");  // 6 < 7
    Insert(d, {0, 0}, L"Q");  // 7 >= 7: 2 × 7 + 1
    EXPECT_EQ(d.LineAt(0).capacity, 15);
    EXPECT_EQ(LineOf(d, 0), L"QaXYbcZ");
}

TEST(LineStore, DeleteAcrossLinesJoinsTheEnds) {
    TextDocument d;
    Insert(d, {0, 0}, L"abcd\nefgh\nijkl\nmnop");
    d.Delete({0, 2}, {3, 1});
    ASSERT_EQ(d.LineCount(), 1);
    EXPECT_EQ(LineOf(d, 0), L"abnop");
    EXPECT_TRUE(d.Valid());
    // Within one line the buffer is kept.
    const int cap = d.LineAt(0).capacity;
    d.Delete({0, 1}, {0, 3});
    EXPECT_EQ(LineOf(d, 0), L"aop");
    EXPECT_EQ(d.LineAt(0).capacity, cap);
}

TEST(LineStore, PositionsAreClampedAndReversedRangesDoNothing) {
    TextDocument d;
    Insert(d, {5, 9}, L"x");  // clamped to (0, 0)
    Insert(d, {0, 99}, L"yz");
    EXPECT_EQ(Text(d), L"xyz");
    d.Delete({0, 2}, {0, 1});
    EXPECT_EQ(Text(d), L"xyz");
    d.Delete({-3, -3}, {0, 1});
    EXPECT_EQ(Text(d), L"yz");
    const Position c = d.Clamp({7, 7});
    EXPECT_EQ(c.line, 0);
    EXPECT_EQ(c.column, 2);
}

TEST(LineStore, LineVectorDoublesWhenTheGapIsUsedUp) {
    TextDocument d;
    std::vector<int> totals{d.lines->Total()};
    for (int i = 0; i < 40; ++i) {
        const std::wstring s = L"\n" + std::to_wstring(i);
        Insert(d, d.End(), s);
        if (totals.back() != d.lines->Total()) totals.push_back(d.lines->Total());
    }
    EXPECT_EQ(totals, (std::vector<int>{8, 16, 32, 64}));
    for (int i = 0; i < 40; ++i) EXPECT_EQ(LineOf(d, i + 1), std::to_wstring(i));
}

TEST(LineStore, RangesCountAndCopyLineBreaksByType) {
    TextDocument d;
    Insert(d, {0, 0}, L"ab\ncd\nef");
    EXPECT_EQ(d.RangeLength({0, 1}, {2, 1}, 0), 1 + 2 + 2 + 1 + 2);  // CR LF: the document's
    EXPECT_EQ(d.RangeLength({0, 1}, {2, 1}, LB_LF), 6);
    EXPECT_EQ(d.RangeLength({0, 1}, {2, 1}, LB_CR), 6);
    d.lineBreak = 0;  // as after a load that named none: CR LF
    wchar_t buf[16] = {};
    const int n = d.CopyRange({0, 1}, {2, 1}, 0, buf);
    EXPECT_EQ(std::wstring(buf, size_t(n)), L"b\r\ncd\r\ne");
    EXPECT_EQ(d.RangeLength({1, 1}, {1, 1}, 0), 0);
}

TEST(LineStore, AttributesByKindChangeOnlyTheirOwnBits) {
    TextDocument d;
    RecordingView v;
    d.AddView(&v);
    EXPECT_TRUE(d.SetAttr(0, LA_FOLDLEVEL, 70));
    EXPECT_EQ(d.GetAttr(0, LA_FOLDLEVEL), 6);
    d.SetAttr(0, LA_BOOKMARK, 1);
    d.SetAttr(0, LA_CHANGED, 1);
    d.SetAttr(0, LA_LEXSTATE, 0x1FF);
    d.SetAttr(0, LA_MARKER1, 0x1A);
    d.SetAttr(0, LA_MARKER2, 7);
    d.SetAttr(0, LA_VALUE5, 0xFF);
    d.SetAttr(0, 7, 0xFF);  // no such kind
    EXPECT_EQ(d.GetAttr(0, LA_FOLDLEVEL), 6);
    EXPECT_EQ(d.GetAttr(0, LA_BOOKMARK), 1);
    EXPECT_EQ(d.GetAttr(0, LA_CHANGED), 1);
    EXPECT_EQ(d.GetAttr(0, LA_LEXSTATE), 0xFF);
    EXPECT_EQ(d.GetAttr(0, LA_MARKER1), 0xA);
    EXPECT_EQ(d.GetAttr(0, LA_MARKER2), 7);
    EXPECT_EQ(d.GetAttr(0, LA_VALUE5), 31);
    EXPECT_EQ(d.GetAttr(0, 7), 0);
    EXPECT_EQ(d.GetAttr(0, 0), 0);
    d.SetAttr(0, LA_BOOKMARK, 0);
    EXPECT_EQ(d.GetAttr(0, LA_CHANGED), 1);
    EXPECT_EQ(d.GetAttr(0, LA_FOLDLEVEL), 6);
    // Bookmarks and markers repaint every view; other kinds do not.
    EXPECT_EQ(v.repaints, 4);
    EXPECT_FALSE(d.SetAttr(1, LA_BOOKMARK, 1));
    d.RemoveView(&v);
}

TEST(LineStore, ChangeMarksLinesAndTellsEveryView) {
    TextDocument d;
    RecordingView a, b;
    d.AddView(&a);
    d.AddView(&b);
    d.AddView(&a);  // once only
    const Position e = d.Insert({0, 0}, L"x\ny\nz", 5);
    d.Changed({0, 0}, {0, 0}, e);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(d.GetAttr(i, LA_CHANGED), 1) << i;
    ASSERT_EQ(a.changes.size(), 1u);
    ASSERT_EQ(b.changes.size(), 1u);
    EXPECT_EQ(a.changes[0].e1.line, 2);
    for (int i = 0; i < 3; ++i) d.SetAttr(i, LA_CHANGED, 0);
    d.Delete({1, 0}, {2, 0});
    d.Changed({1, 0}, {2, 0}, {1, 0});
    EXPECT_EQ(d.GetAttr(0, LA_CHANGED), 0);
    EXPECT_EQ(d.GetAttr(1, LA_CHANGED), 1);
    d.NotifyClosing();
    EXPECT_EQ(a.closings, 1);
    EXPECT_EQ(b.closings, 1);
    EXPECT_TRUE(d.views.empty());
}

TEST(LineStore, LexerStatesFollowEdits) {
    TextDocument d;
    ParenLexer lx;
    RecordingView v;
    d.AddView(&v);
    Insert(d, {0, 0}, L"a\nb\nc\nd");
    d.SetLexer(&lx, true);
    d.EnsureStates(3);
    EXPECT_EQ(d.statesValidTo, 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(d.GetAttr(i, LA_LEXSTATE), 0);
    // Opening a paren on line 1 changes its state: later lines become stale.
    Position e = d.Insert({1, 0}, L"(", 1);
    d.Changed({1, 0}, {1, 0}, e);
    EXPECT_EQ(d.GetAttr(1, LA_LEXSTATE), 1);
    EXPECT_TRUE(v.changes.back().states);
    EXPECT_EQ(d.statesValidTo, 2);
    d.EnsureStates(3);
    EXPECT_EQ(d.GetAttr(3, LA_LEXSTATE), 1);
    // An edit that leaves the state alone does not invalidate what follows.
    e = d.Insert({2, 0}, L"x", 1);
    d.Changed({2, 0}, {2, 0}, e);
    EXPECT_FALSE(v.changes.back().states);
    EXPECT_EQ(d.statesValidTo, 4);
    EXPECT_EQ(d.StyleAt({1, 0}), 5);
    EXPECT_EQ(d.StyleAt({1, 1}), 1);
    EXPECT_EQ(d.StyleAt({1, 9}), 0);
    d.RemoveView(&v);
}

TEST(LineStore, UnloadedLinesReadFromTheSourceWithoutLoading) {
    TempFile f("first\r\nsecond line\n\rlast");
    TextDocument d;
    RecordingView v;
    d.AddView(&v);
    d.AttachSource(OpenSource(f, 1252));
    EXPECT_EQ(v.reloads, 1);
    ASSERT_EQ(d.LineCount(), 4);
    EXPECT_EQ(d.LineAt(1).offset, 7);
    EXPECT_EQ(d.LineAt(1).length, 11);
    EXPECT_EQ(LineOf(d, 1), L"second line");
    EXPECT_EQ(LineOf(d, 1), L"second line");
    EXPECT_EQ(d.LineAt(1).capacity, 0);
    EXPECT_EQ(LineOf(d, 2), L"");
    EXPECT_EQ(LineOf(d, 3), L"last");
    // The first edit converts the line: capacity 2 × length + 1, then grown.
    d.LoadLine(0);
    EXPECT_EQ(d.LineAt(0).capacity, 11);
    Insert(d, {3, 4}, L"!");
    EXPECT_EQ(Text(d), L"first\nsecond line\n\nlast!");
    d.RemoveView(&v);
}

TEST(LineStore, LoadedLineBuffersComeFromTheRightPlace) {
    TempFile f(std::string(31, 'x') + "\n" + std::string(15, 'y'));
    TextDocument d;
    d.AttachSource(OpenSource(f, 1252));
    d.LoadLine(0);
    d.LoadLine(1);
    EXPECT_EQ(d.LineAt(0).capacity, 63);  // 126 bytes: heap
    EXPECT_FALSE(MempoolAlloctor::IsPooled(d.LineAt(0).text, 64));
    EXPECT_EQ(d.LineAt(1).capacity, 31);  // 62 bytes: the 62-byte bucket
    EXPECT_TRUE(MempoolAlloctor::IsPooled(d.LineAt(1).text, 62));
}

TEST(LineStore, WideSourcesScanUnitsOfTheirWidth) {
    // UTF-16BE with a BOM: CR and LF are 00 0D and 00 0A.
    std::string be("\xFE\xFF\x00h\x00i\x00\r\x00\n\x4E\x2D", 12);
    TempFile f(be);
    TextDocument d;
    d.AttachSource(OpenSource(f, 1201));
    EXPECT_EQ(d.hasBom, 1);
    ASSERT_EQ(d.LineCount(), 2);
    EXPECT_EQ(LineOf(d, 0), L"hi");
    EXPECT_EQ(LineOf(d, 1), L"\x4E2D");
    // UTF-32LE: a character outside the BMP becomes a surrogate pair.
    std::string le("\x00\xF6\x01\x00\x0A\x00\x00\x00\x41\x00\x00\x00", 12);
    TempFile g(le);
    TextDocument e;
    e.AttachSource(OpenSource(g, 12000));
    ASSERT_EQ(e.LineCount(), 2);
    EXPECT_EQ(LineOf(e, 0), L"\xD83D\xDE00");
    EXPECT_EQ(LineOf(e, 1), L"A");
}

TEST(LineStore, AScanInPiecesFindsTheSameLines) {
    // UTF-16LE with a BOM and every kind of break, cut into as many as five
    // pieces scanned on their own threads.
    std::string bytes("\xFF\xFE", 2);
    unsigned seed = 3;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const unsigned r = (seed >> 16) % 12;
        const char unit[2] = {char(r == 0 ? '\r' : r == 1 ? '\n' : 'a' + char(r)), 0};
        bytes.append(unit, 2);
    }
    TempFile f(bytes);
    std::unique_ptr<LineFileSource> src(OpenSource(f, 1200));
    std::unique_ptr<LineVector> whole(src->ScanLines(1));
    ASSERT_TRUE(whole);
    for (int parts = 2; parts <= 5; ++parts) {
        std::unique_ptr<LineVector> cut(src->ScanLines(parts));
        ASSERT_TRUE(cut);
        ASSERT_EQ(cut->Count(), whole->Count()) << parts;
        for (int i = 0; i < whole->Count(); ++i) {
            ASSERT_EQ((*cut)[i].offset, (*whole)[i].offset) << parts << " line " << i;
            ASSERT_EQ((*cut)[i].length, (*whole)[i].length) << parts << " line " << i;
        }
    }
}

TEST(LineStore, WithoutASourceUnloadedLinesReadEmpty) {
    TextDocument d;
    int n = -1;
    const wchar_t* t = d.LineText(0, &n);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(t[0], 0);
    t = d.LineText(5, &n);
    EXPECT_EQ(n, 0);
}

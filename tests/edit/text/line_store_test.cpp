#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Allocators.h"
#include "DocText.h"
#include "TempDir.h"

namespace {

// A source of lines read in place from a file of `bytes` in `dir`.
LineFileSource* Source(const TempDir& dir, const std::string& bytes, int cp) {
    static int files = 0;
    const std::wstring path = dir / (L"lines" + std::to_wstring(++files) + L".txt");
    WriteBytes(path, bytes);
    auto* s = new LineFileSource(cp, /*inPlace=*/true);
    EXPECT_TRUE(s->Open(path));
    return s;
}

struct RecordingView : DocView {
    struct Change {
        Position s, e0, e1;
        bool states;
    };
    std::vector<Change> changes;
    int reloads = 0, repaints = 0, closings = 0;
    void TextChanged(Position s, Position e0, Position e1, bool st) override {
        changes.push_back({s, e0, e1, st});
    }
    void Reloaded() override { ++reloads; }
    void AttributesChanged() override { ++repaints; }
    void RepaintLines(int, int) override { ++repaints; }
    void DocumentClosing() override { ++closings; }
};

// A lexer whose end state is the number of unclosed '(' so far, capped at 255.
struct ParenLexer : ILexer {
    int LineState(int, const wchar_t* t, int n, int prev, unsigned short* styles) override {
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

// An insertion (or, without text, the deletion of [a, b)) into a document of
// `before`: CR LF, LF and CR each end a line, the tail of the line moves
// behind the last piece, positions are clamped and reversed ranges do nothing.
TEST(LineStore, EditsCutAtEveryLineBreakAndClampPositions) {
    struct Case {
        const wchar_t* before;
        Position a, b;
        const wchar_t* insert;
        const wchar_t* after;
        Position end;
    };
    const Case cases[] = {
        {L"", {0, 0}, {}, L"a\r\nb\nc\rd", L"a\nb\nc\nd", {3, 1}},
        {L"a\nb\nc\nd", {3, 1}, {}, L"\r\n\n", L"a\nb\nc\nd\n\n", {5, 0}},
        {L"", {0, 0}, {}, L"x\r", L"x\n", {1, 0}},  // a CR as the last unit
        {L"hello world", {0, 5}, {}, L",\nbig\nnew", L"hello,\nbig\nnew world", {2, 3}},
        {L"abcd\nefgh\nijkl\nmnop", {0, 2}, {3, 1}, nullptr, L"abnop"},
        {L"abnop", {0, 1}, {0, 3}, nullptr, L"aop"},
        {L"", {5, 9}, {}, L"x", L"x", {0, 1}},
        {L"x", {0, 99}, {}, L"yz", L"xyz", {0, 3}},
        {L"ab\ncd", {7, 7}, {}, L"!", L"ab\ncd!", {1, 3}},
        {L"xyz", {0, 2}, {0, 1}, nullptr, L"xyz"},
        {L"xyz", {-3, -3}, {0, 1}, nullptr, L"yz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "\"" << ::testing::PrintToString(std::wstring(c.before))
                                          << "\" at " << ::testing::PrintToString(c.a));
        TextDocument d;
        Insert(d, {0, 0}, c.before);
        if (c.insert)
            EXPECT_EQ(Insert(d, c.a, c.insert), c.end);
        else
            d.Delete(c.a, c.b);
        EXPECT_EQ(Text(d), c.after);
        EXPECT_TRUE(d.Valid());
    }
    // Without a source, lines out of range and unloaded lines read empty.
    TextDocument d;
    EXPECT_EQ(d.LineCount(), 1);
    EXPECT_EQ(LineOf(d, 0), L"");
    EXPECT_EQ(LineOf(d, 5), L"");
}

// A line's buffer: an empty line takes what it needs, twice that plus one
// once it is full; the line cut behind an inserted piece gets twice its
// length plus three, new lines exactly their length and the terminator; a
// deletion within a line keeps its buffer.
TEST(LineStore, LineBuffersGrowByTheCapacityRule) {
    TextDocument d;
    Insert(d, {0, 0}, L"abc");  // loaded with capacity 1, then grown
    EXPECT_EQ(d.LineAt(0).capacity, 7);
    Insert(d, {0, 1}, L"XY");  // 5 < 7: fits
    Insert(d, {0, 5}, L"Z");   // 6 < 7
    EXPECT_EQ(d.LineAt(0).capacity, 7);
    Insert(d, {0, 0}, L"Q");  // 7 >= 7: 2 × 7 + 1
    EXPECT_EQ(d.LineAt(0).capacity, 15);
    d.Delete({0, 1}, {0, 3});
    EXPECT_EQ(LineOf(d, 0), L"QYbcZ");
    EXPECT_EQ(d.LineAt(0).capacity, 15);
    TextDocument e;
    Insert(e, {0, 0}, L"hello world");
    Insert(e, {0, 5}, L",\nbig\nnew");
    EXPECT_EQ(e.LineAt(0).capacity, 15);  // 2 × 6 + 3
    EXPECT_EQ(e.LineAt(1).capacity, 4);
    EXPECT_EQ(e.LineAt(2).capacity, 10);
}

// (CR LF and CR, and empty ranges: EditControl.RangesAreClampedAndOrdered.)
TEST(LineStore, RangesCountAndCopyLineBreaksByType) {
    TextDocument d;
    Insert(d, {0, 0}, L"ab\ncd\nef");
    EXPECT_EQ(d.RangeLength({0, 1}, {2, 1}, LB_LF), 6);
    d.lineBreak = 0;  // as after a load that named none: CR LF
    wchar_t buf[16] = {};
    EXPECT_EQ(std::wstring(buf, size_t(d.CopyRange({0, 1}, {2, 1}, 0, buf))), L"b\r\ncd\r\ne");
}

TEST(LineStore, AttributesByKindChangeOnlyTheirOwnBits) {
    TextDocument d;
    RecordingView v;
    d.AddView(&v);
    const struct {
        int kind, value;
    } writes[] = {{LA_FOLDLEVEL, 63}, {LA_FOLDLEVEL, 70},   {LA_BOOKMARK, 1},
                  {LA_CHANGED, 1},    {LA_LEXSTATE, 0x1FF}, {LA_MARKER1, 0x1A},
                  {LA_MARKER2, 7},    {LA_VALUE5, 0xFF},    {7, 0xFF}};
    for (const auto& w : writes) EXPECT_EQ(d.SetAttr(0, w.kind, w.value), w.kind != 7) << w.kind;
    auto read = [&] {
        std::vector<int> got;
        for (int kind : std::initializer_list<int>{LA_FOLDLEVEL, LA_BOOKMARK, LA_CHANGED, LA_LEXSTATE,
                                                   LA_MARKER1, LA_MARKER2, LA_VALUE5, 7, 0})
            got.push_back(d.GetAttr(0, kind));
        return got;
    };
    EXPECT_EQ(read(), (std::vector<int>{6, 1, 1, 0xFF, 0xA, 7, 31, 0, 0}));
    d.SetAttr(0, LA_BOOKMARK, 0);
    EXPECT_EQ(read(), (std::vector<int>{6, 0, 1, 0xFF, 0xA, 7, 31, 0, 0}));
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
    d.Changed({0, 0}, {0, 0}, Insert(d, {0, 0}, L"x\ny\nz"));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(d.GetAttr(i, LA_CHANGED), 1) << i;
    EXPECT_EQ((std::vector<size_t>{a.changes.size(), b.changes.size()}), (std::vector<size_t>{1, 1}));
    for (int i = 0; i < 3; ++i) d.SetAttr(i, LA_CHANGED, 0);
    d.Delete({1, 0}, {2, 0});
    d.Changed({1, 0}, {2, 0}, {1, 0});
    EXPECT_EQ(d.GetAttr(0, LA_CHANGED), 0);
    EXPECT_EQ(d.GetAttr(1, LA_CHANGED), 1);
    d.NotifyClosing();
    EXPECT_EQ(a.closings, 1);
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
    d.Changed({1, 0}, {1, 0}, Insert(d, {1, 0}, L"("));
    EXPECT_EQ(d.GetAttr(1, LA_LEXSTATE), 1);
    EXPECT_TRUE(v.changes.back().states);
    EXPECT_EQ(d.statesValidTo, 2);
    d.EnsureStates(3);
    EXPECT_EQ(d.GetAttr(3, LA_LEXSTATE), 1);
    // An edit that leaves the state alone does not invalidate what follows.
    d.Changed({2, 0}, {2, 0}, Insert(d, {2, 0}, L"x"));
    EXPECT_FALSE(v.changes.back().states);
    EXPECT_EQ(d.statesValidTo, 4);
    EXPECT_EQ(d.StyleAt({1, 0}), 5);
    // A line split with its state unchanged: the lines after it follow
    // another line now, and are stale all the same.
    d.Changed({0, 1}, {0, 1}, Insert(d, {0, 1}, L"\n"));
    EXPECT_TRUE(v.changes.back().states);
    EXPECT_EQ(d.statesValidTo, 2);
    d.RemoveView(&v);
}

TEST(LineStore, UnloadedLinesReadFromTheSourceWithoutLoading) {
    TempDir dir;
    TextDocument d;
    RecordingView v;
    d.AddView(&v);
    d.AttachSource(Source(dir, "first\r\nsecond line\n\rlast", 1252));
    EXPECT_EQ(v.reloads, 1);
    ASSERT_EQ(d.LineCount(), 4);
    EXPECT_EQ(d.LineAt(1).offset, 7);
    EXPECT_EQ(d.LineAt(1).length, 11);
    EXPECT_EQ(LineOf(d, 1), L"second line");
    EXPECT_EQ(LineOf(d, 1), L"second line");
    EXPECT_EQ(d.LineAt(1).capacity, 0);
    EXPECT_EQ(LineOf(d, 2), L"");
    EXPECT_EQ(LineOf(d, 3), L"last");
    // The first edit converts the line into a pooled buffer: capacity
    // 2 × length + 1, then grown.
    d.LoadLine(0);
    EXPECT_EQ(d.LineAt(0).capacity, 11);
    EXPECT_TRUE(MempoolAlloctor::IsPooled(d.LineAt(0).text, 22));
    Insert(d, {3, 4}, L"!");
    EXPECT_EQ(Text(d), L"first\nsecond line\n\nlast!");
    d.RemoveView(&v);
}

// (Sources of wide units: FileLoad.LongLinesAndBreaksAcrossScanBlocks,
// FileSave.EveryPairOfEncodingsRoundTrips.)
TEST(LineStore, AScanInPiecesFindsTheSameLines) {
    // UTF-16LE with a BOM and every kind of break, cut into as many as five
    // pieces scanned on their own threads.
    std::string bytes("\xFF\xFE", 2);
    unsigned seed = 3;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const unsigned r = (seed >> 16) % 12;
        bytes += char(r == 0 ? '\r' : r == 1 ? '\n' : 'a' + char(r));
        bytes += '\0';
    }
    TempDir dir;
    std::unique_ptr<LineFileSource> src(Source(dir, bytes, 1200));
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

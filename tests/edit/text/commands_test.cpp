#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DocText.h"

TEST(Commands, EachCommandOutsideAGroupIsOneUndoStep) {
    TextDocument d;
    Type(d, {0, 0}, L"a");
    Type(d, {0, 1}, L"b");
    Type(d, {0, 2}, L"c");
    EXPECT_EQ(d.undo.Count(), 3);
    d.savePoint = d.undo.Count();  // as a save does: the save point tracks the undo length
    EXPECT_TRUE(Undo(d));
    EXPECT_EQ(Text(d), L"ab");
    EXPECT_TRUE(d.IsModified());
    EXPECT_TRUE(Redo(d));
    EXPECT_EQ(Text(d), L"abc");
    EXPECT_FALSE(d.IsModified());
    while (Undo(d)) {}
    EXPECT_EQ(Text(d), L"");
    EXPECT_EQ(d.redo.Count(), 3);
    // A new edit empties the redo list.
    Redo(d);
    Type(d, {0, 1}, L"x");
    EXPECT_TRUE(d.redo.Empty());
    EXPECT_EQ(Text(d), L"ax");
}

// Typing over a selection, or any edits between Begin and End, undo and
// redo together.
TEST(Commands, AGroupIsUndoneAndRedoneTogether) {
    TextDocument d;
    Type(d, {0, 0}, L"one two\nthree");
    undo_group::Begin();
    Type(d, {0, 0}, L">");
    Erase(d, {0, 4}, {0, 8});
    ReplaceCommand r({1, 0}, {1, 5}, L"3\n33", 4);
    ::Run(r, d);
    undo_group::End();
    EXPECT_EQ(Text(d), L">one\n3\n33");
    EXPECT_EQ(TopGroupSize(d.undo), 3);
    Undo(d);
    EXPECT_EQ(Text(d), L"one two\nthree");
    EXPECT_EQ(d.undo.Count(), 1);
    Redo(d);
    EXPECT_EQ(Text(d), L">one\n3\n33");
    EXPECT_TRUE(d.redo.Empty());
    EXPECT_EQ(TopGroupSize(d.undo), 3);  // the redone group is one group again
    Undo(d);
    EXPECT_EQ(Text(d), L"one two\nthree");
}

TEST(Commands, WithRecordingOffEditsLeaveNoHistory) {
    TextDocument d;
    Type(d, {0, 0}, L"a");
    d.savePoint = d.undo.Count();
    EXPECT_EQ(d.SetRecording(false), 0);
    EXPECT_TRUE(d.undo.Empty());
    EXPECT_FALSE(d.IsModified());
    Type(d, {0, 1}, L"bc");
    Erase(d, {0, 0}, {0, 1});
    EXPECT_EQ(Text(d), L"bc");
    EXPECT_TRUE(d.undo.Empty());
    EXPECT_TRUE(d.redo.Empty());
    EXPECT_FALSE(Undo(d));
    // Edits without a history still count as changes to the saved text.
    EXPECT_TRUE(d.IsModified());
    EXPECT_EQ(d.SetRecording(true), 1);
}

TEST(Commands, ReadOnlyDocumentsRefuseEditsAndUndo) {
    TextDocument d;
    Type(d, {0, 0}, L"abc");
    d.readOnly = 1;
    EXPECT_FALSE(Type(d, {0, 0}, L"x"));
    EXPECT_FALSE(Undo(d));
    EXPECT_EQ(Text(d), L"abc");
    EXPECT_EQ(d.undo.Count(), 1);
    d.readOnly = 0;
    EXPECT_TRUE(Undo(d));
    EXPECT_EQ(Text(d), L"");
}

TEST(Commands, MacroInverseRunsMemberInversesInReverse) {
    TextDocument d;
    Type(d, {0, 0}, L"  one\n\ttwo\nthree");
    MacroCommand m;
    // Members run from the end backwards so that earlier positions stay valid.
    m.AddFront(new DeleteCommand({0, 0}, {0, 2}));
    m.AddFront(new DeleteCommand({1, 0}, {1, 1}));
    m.AddBack(new InsertCommand({2, 5}, L";", 1));
    EXPECT_EQ(m.Count(), 3);
    ::Run(m, d);
    EXPECT_EQ(Text(d), L"one\ntwo\nthree;");
    EXPECT_EQ(TopGroupSize(d.undo), 1);
    Undo(d);
    EXPECT_EQ(Text(d), L"  one\n\ttwo\nthree");
    Redo(d);
    EXPECT_EQ(Text(d), L"one\ntwo\nthree;");
}

// Inserts, deletions (either way round) and replacements across lines at
// random places: every state comes back on the way down, and all of them
// again on the way up.
TEST(Commands, LargeRandomEditSequenceUndoesToTheStart) {
    TextDocument d;
    Type(d, {0, 0}, L"The quick brown fox\njumps over\nthe lazy dog");
    unsigned seed = 12345;
    auto rnd = [&](int n) { seed = seed * 1103515245u + 12345u; return int((seed >> 16) % unsigned(n)); };
    std::vector<std::wstring> states{Text(d)};
    for (int i = 0; i < 300; ++i) {
        const int line = rnd(d.LineCount());
        const Position p = {line, rnd(d.LineLength(line) + 1)};
        const int l2 = std::min(d.LineCount() - 1, line + rnd(2));
        switch (rnd(3)) {
            case 0: Type(d, p, rnd(4) == 0 ? L"x\ny" : L"z"); break;
            case 1: Erase(d, p, {l2, rnd(d.LineLength(l2) + 1)}); break;
            default: {
                ReplaceCommand r(p, {l2, p.column + 2}, L"\r\n", 2);
                ::Run(r, d);
            }
        }
        ASSERT_TRUE(d.Valid());
        states.push_back(Text(d));
    }
    for (size_t i = states.size() - 1; i > 0; --i) {
        ASSERT_EQ(Text(d), states[i]) << i;
        ASSERT_TRUE(Undo(d));
    }
    EXPECT_EQ(Text(d), states[0]);
    EXPECT_TRUE(Undo(d));
    EXPECT_EQ(Text(d), L"");
    for (size_t i = 0; i < states.size(); ++i) {
        ASSERT_TRUE(Redo(d));
        ASSERT_EQ(Text(d), states[i]) << i;
    }
    EXPECT_FALSE(Redo(d));
}

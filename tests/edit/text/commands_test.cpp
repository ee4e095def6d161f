#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DocText.h"

// (One undo step per command, and the saved state left and found again by
// undo and redo: EditControl.UndoRedoThroughCommandsAndGroups and
// EditControl.LoadAndSaveThroughMessages.)

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

// (A macro undone member by member, last first: InputTest.LineCommandsOnSelections.)

// Inserts, deletions (either way round) and replacements across lines at
// random places: every state comes back on the way down, and all of them
// again on the way up.
TEST(Commands, LargeRandomEditSequenceUndoesToTheStart) {
    TextDocument d;
    Type(d, {0, 0}, L"The quick brown fox\njumps over\nthe lazy dog");
    unsigned seed = 12345;
    auto rnd = [&](int n) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % unsigned(n));
    };
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

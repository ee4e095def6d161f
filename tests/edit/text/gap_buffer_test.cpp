#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "GapBuffer.h"
#include "Line.h"

namespace {

std::vector<int> Contents(const GapBufferT<int>& b) {
    std::vector<int> v;
    for (int i = 0; i < b.Count(); ++i) v.push_back(b[i]);
    return v;
}

}  // namespace

// Every insertion and erasure of a short buffer, with the gap at every position.
TEST(GapBuffer, InsertAndEraseWithTheGapAtEveryPosition) {
    const int n = 7;
    const std::vector<int> all = {0, 1, 2, 3, 4, 5, 6};
    for (int gap = 0; gap <= n; ++gap) {
        auto filled = [&](GapBufferT<int>& b) {
            for (int i = 0; i < n; ++i) b.Append(i);
            b.MoveGap(gap);
        };
        for (int at = 0; at <= n; ++at) {
            GapBufferT<int> b(8);
            filled(b);
            b.Insert(at, 100);
            std::vector<int> want = all;
            want.insert(want.begin() + at, 100);
            ASSERT_EQ(Contents(b), want) << "gap " << gap << " at " << at;
            ASSERT_TRUE(b.Valid());
        }
        for (int start = -2; start <= n; ++start) {  // ranges past either end are clipped
            for (int count = 0; start + count <= n + 2; ++count) {
                GapBufferT<int> b(8);
                filled(b);
                b.Erase(start, count);
                std::vector<int> want = all;
                const int from = std::clamp(start, 0, n), to = std::clamp(start + count, 0, n);
                want.erase(want.begin() + from, want.begin() + to);
                ASSERT_EQ(Contents(b), want) << "gap " << gap << " erase " << start << "+" << count;
                ASSERT_TRUE(b.Valid());
            }
        }
    }
}

TEST(GapBuffer, GrowsByDoublingAndKeepsOrder) {
    GapBufferT<int> b(8);
    std::vector<int> totals, want;
    for (int i = 0; i < 40; ++i) {
        b.Insert(i / 2, i);  // insert in the middle, so the gap moves
        want.insert(want.begin() + i / 2, i);
        if (totals.empty() || totals.back() != b.Total()) totals.push_back(b.Total());
    }
    EXPECT_EQ(totals, (std::vector<int>{8, 16, 32, 64}));
    EXPECT_EQ(Contents(b), want);
}

TEST(GapBuffer, MakeRoomGrowsToTwiceOrToWhatIsNeeded) {
    GapBufferT<unsigned char> b(8);
    b.MakeRoom(3);
    EXPECT_EQ(b.Total(), 8);  // the gap already holds more than 3
    b.MakeRoom(20);
    EXPECT_EQ(b.Total(), 29);  // 8 + 20 + 1 > 16
    b.MakeRoom(40);
    EXPECT_EQ(b.Total(), 70);  // 29 + 40 + 1 > 58
    b.InsertRepeated(0, 7, 5);
    b.MakeRoom(10);
    EXPECT_EQ(b.Total(), 70);
}

namespace {
int g_destroyed = 0;
struct Counted {
    ~Counted() { ++g_destroyed; }
};
}  // namespace

TEST(GapBuffer, PointerBufferDeletesErasedPointees) {
    g_destroyed = 0;
    {
        GapBufferPointer<Counted> b(8);
        for (int i = 0; i < 10; ++i) b.Append(new Counted);
        b.Append(nullptr);
        b.MoveGap(4);
        b.Erase(2, 5);  // touches the gap from both sides
        EXPECT_EQ(g_destroyed, 5);
        EXPECT_EQ(b.Count(), 6);
    }
    EXPECT_EQ(g_destroyed, 10);
}

TEST(GapBuffer, LineVectorFreesTextOfErasedLines) {
    const auto before = MempoolAlloctor::BucketStats(6);
    {
        LineVector v(8);
        for (int i = 0; i < 300; ++i) {
            Line l = {};
            l.capacity = 3;
            l.text = TextAlloc::Allocate(3);
            l.text[0] = L'a';
            l.text[1] = 0;
            l.length = 1;
            v.Append(l);
        }
        EXPECT_EQ(MempoolAlloctor::BucketStats(6).freeSlots + 300,
                  MempoolAlloctor::BucketStats(6).chunks * 256);
        v.Erase(10, 100);
        EXPECT_EQ(v.Count(), 200);
    }
    const auto after = MempoolAlloctor::BucketStats(6);
    EXPECT_EQ(after.freeSlots, after.chunks * 256);
    EXPECT_GE(after.chunks, before.chunks);
}

TEST(LineStyle, ReadsZeroBeyondItsEndAndPadsOnWrite) {
    LineStyleT s;
    EXPECT_EQ(s.Get(5), 0);
    s.Set(5, 9);
    EXPECT_EQ(s.Count(), 6);
    EXPECT_EQ(s.Get(4), 0);
    EXPECT_EQ(s.Get(5), 9);
    EXPECT_EQ(s.Get(-1), 0);
    s.Set(-1, 3);  // ignored
    EXPECT_EQ(s.Count(), 6);
}

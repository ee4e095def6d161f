#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "Allocators.h"

// Each test uses a bucket size of its own, since the pool is process-wide.

TEST(Mempool, FillsAChunkThenAddsOneInFront) {
    const int size = 10;
    std::vector<void*> slots;
    for (int i = 0; i < 256; ++i) slots.push_back(MempoolAlloctor::Allocate(size));
    EXPECT_EQ(MempoolAlloctor::BucketStats(size).chunks, 1u);
    EXPECT_EQ(MempoolAlloctor::BucketStats(size).freeSlots, 0u);
    std::set<void*> distinct(slots.begin(), slots.end());
    EXPECT_EQ(distinct.size(), 256u);
    void* extra = MempoolAlloctor::Allocate(size);
    EXPECT_EQ(MempoolAlloctor::BucketStats(size).chunks, 2u);
    EXPECT_EQ(MempoolAlloctor::BucketStats(size).freeSlots, 255u);
    for (void* p : slots) EXPECT_TRUE(MempoolAlloctor::IsPooled(p, size));
    EXPECT_TRUE(MempoolAlloctor::IsPooled(extra, size));
    for (void* p : slots) MempoolAlloctor::Free(p, size);
    MempoolAlloctor::Free(extra, size);
    EXPECT_EQ(MempoolAlloctor::BucketStats(size).freeSlots, 512u);
}

TEST(Mempool, ReusesTheLastFreedSlotFirst) {
    const int size = 12;
    void* a = MempoolAlloctor::Allocate(size);
    void* b = MempoolAlloctor::Allocate(size);
    MempoolAlloctor::Free(a, size);
    EXPECT_EQ(MempoolAlloctor::Allocate(size), a);
    MempoolAlloctor::Free(b, size);
    MempoolAlloctor::Free(a, size);
}

TEST(Mempool, FreesIntoAnOlderChunkFoundByWalkingTheList) {
    const int size = 14;
    std::vector<void*> first, second;
    for (int i = 0; i < 256; ++i) first.push_back(MempoolAlloctor::Allocate(size));
    for (int i = 0; i < 10; ++i) second.push_back(MempoolAlloctor::Allocate(size));
    MempoolAlloctor::Free(second[0], size);
    MempoolAlloctor::Free(first[100], size);  // not in the chunk freed into last
    EXPECT_EQ(MempoolAlloctor::BucketStats(size).freeSlots, 256u - 10u + 2u);
    // The chunk with room is found again when the allocation chunk is full.
    std::set<void*> got;
    for (int i = 0; i < 248; ++i) got.insert(MempoolAlloctor::Allocate(size));
    EXPECT_EQ(MempoolAlloctor::BucketStats(size).chunks, 2u);
    EXPECT_TRUE(got.count(first[100]));
}

TEST(Mempool, IgnoresPointersItDoesNotOwn) {
    const int size = 16;
    void* p = MempoolAlloctor::Allocate(size);
    const auto before = MempoolAlloctor::BucketStats(size);
    char local[16];
    MempoolAlloctor::Free(local, size);
    MempoolAlloctor::Free(static_cast<char*>(p) + 1, size);  // inside a slot, not its start
    const auto after = MempoolAlloctor::BucketStats(size);
    EXPECT_EQ(before.freeSlots, after.freeSlots);
    MempoolAlloctor::Free(p, size);
}

TEST(Mempool, SizesAbove64BytesUseTheHeap) {
    void* p = MempoolAlloctor::Allocate(126);
    EXPECT_FALSE(MempoolAlloctor::IsPooled(p, 64));
    MempoolAlloctor::Free(p, 126);
    wchar_t* t = TextAlloc::Allocate(31);  // 62 bytes
    EXPECT_TRUE(MempoolAlloctor::IsPooled(t, 62));
    TextAlloc::Free(t, 31);
}

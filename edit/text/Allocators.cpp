#include "Allocators.h"

#include <cstring>

MempoolAlloctor::Bucket MempoolAlloctor::buckets_[kMaxPooled + 1];

MempoolAlloctor::Chunk* MempoolAlloctor::NewChunk(int size) {
    void* mem = std::malloc(sizeof(Chunk) + size_t(size) * kSlotsPerChunk);
    if (!mem) throw std::bad_alloc();
    Chunk* c = static_cast<Chunk*>(mem);
    c->firstFree = 0;
    c->freeCount = kSlotsPerChunk;
    c->prev = c->next = nullptr;
    unsigned char* s = c->Slots();
    for (int i = 0; i < kSlotsPerChunk; ++i) s[size_t(i) * size] = uint8_t(i + 1);
    return c;
}

void* MempoolAlloctor::Allocate(size_t bytes) {
    if (bytes == 0 || bytes > kMaxPooled) return CRTAlloctor::Allocate(bytes);
    Bucket& b = buckets_[bytes];
    b.size = uint8_t(bytes);
    if (!b.head) {
        b.head = b.allocChunk = b.freeChunk = NewChunk(int(bytes));
    } else if (b.allocChunk->freeCount == 0) {
        Chunk* c = b.head;
        while (c && c->freeCount == 0) c = c->next;
        if (!c) {
            c = NewChunk(int(bytes));
            c->next = b.head;
            b.head->prev = c;
            b.head = c;
        }
        b.allocChunk = c;
    }
    Chunk* c = b.allocChunk;
    unsigned char* slot = c->Slots() + size_t(c->firstFree) * bytes;
    c->firstFree = slot[0];
    --c->freeCount;
    return slot;
}

MempoolAlloctor::Chunk* MempoolAlloctor::FindOwner(Bucket& b, const void* p) {
    const unsigned char* q = static_cast<const unsigned char*>(p);
    const size_t span = size_t(b.size) * kSlotsPerChunk;
    for (Chunk* c = b.head; c; c = c->next) {
        const unsigned char* s = c->Slots();
        if (q >= s && q < s + span) return c;
    }
    return nullptr;
}

void MempoolAlloctor::Free(void* p, size_t bytes) {
    if (!p) return;
    if (bytes == 0 || bytes > kMaxPooled) {
        CRTAlloctor::Free(p);
        return;
    }
    Bucket& b = buckets_[bytes];
    if (!b.head) return;
    const unsigned char* q = static_cast<const unsigned char*>(p);
    Chunk* c = b.freeChunk;
    const unsigned char* s = c ? c->Slots() : nullptr;
    if (!c || q < s || q >= s + bytes * kSlotsPerChunk) {
        c = FindOwner(b, p);
        if (!c) return;  // not ours: ignored
        b.freeChunk = c;
        s = c->Slots();
    }
    const size_t offset = size_t(q - s);
    if (offset % bytes != 0) return;  // not a slot start: ignored
    unsigned char* slot = static_cast<unsigned char*>(p);
    slot[0] = c->firstFree;
    c->firstFree = uint8_t(offset / bytes);
    ++c->freeCount;
}

void MempoolAlloctor::FreeAll() {
    for (Bucket& b : buckets_) {
        Chunk* c = b.head;
        while (c) {
            Chunk* n = c->next;
            std::free(c);
            c = n;
        }
        b = Bucket{};
    }
}

MempoolAlloctor::Stats MempoolAlloctor::BucketStats(int bytes) {
    Stats st{0, 0};
    if (bytes < 1 || bytes > kMaxPooled) return st;
    for (Chunk* c = buckets_[bytes].head; c; c = c->next) {
        ++st.chunks;
        st.freeSlots += c->freeCount;
    }
    return st;
}

bool MempoolAlloctor::IsPooled(const void* p, int bytes) {
    if (bytes < 1 || bytes > kMaxPooled) return false;
    Bucket& b = buckets_[bytes];
    b.size = uint8_t(bytes);
    return FindOwner(b, p) != nullptr;
}

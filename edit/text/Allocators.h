// Allocators of the edit library.
//
// CRTAlloctor is plain heap memory. MempoolAlloctor serves every byte size from
// 1 to 64 out of fixed-size slots: each size has a bucket, a bucket is a list of
// chunks of 256 slots, and a free slot's first byte names the next free slot.
// The pool is process-wide and unsynchronised (everything in the control runs
// on the window's thread); chunks are only returned when the library unloads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

struct CRTAlloctor {
    static void* Allocate(size_t bytes) {
        void* p = std::malloc(bytes ? bytes : 1);
        if (!p) throw std::bad_alloc();
        return p;
    }
    static void* Reallocate(void* p, size_t bytes) {
        void* q = std::realloc(p, bytes ? bytes : 1);
        if (!q) throw std::bad_alloc();
        return q;
    }
    static void Free(void* p) { std::free(p); }
};

class MempoolAlloctor {
public:
    static constexpr int kMaxPooled = 64;   // bytes
    static constexpr int kSlotsPerChunk = 256;

    // Buffers of at most 64 bytes come from the bucket of exactly that size,
    // larger ones from the heap. Release must pass the same size.
    static void* Allocate(size_t bytes);
    static void Free(void* p, size_t bytes);

    // Returns every chunk to the heap (library unload).
    static void FreeAll();

    // For tests and benchmarks.
    struct Stats {
        size_t chunks;
        size_t freeSlots;
    };
    static Stats BucketStats(int bytes);
    static bool IsPooled(const void* p, int bytes);

private:
    struct Chunk {
        uint8_t firstFree;
        uint16_t freeCount;
        Chunk* prev;
        Chunk* next;
        unsigned char* Slots() { return reinterpret_cast<unsigned char*>(this + 1); }
    };
    struct Bucket {
        Chunk* head;
        Chunk* allocChunk;
        Chunk* freeChunk;
        uint8_t size;
    };
    static Chunk* NewChunk(int size);
    static Chunk* FindOwner(Bucket& b, const void* p);
    static Bucket buckets_[kMaxPooled + 1];
};

// The allocator of line text: units of wchar_t.
struct TextAlloc {
    static wchar_t* Allocate(int units) {
        return static_cast<wchar_t*>(MempoolAlloctor::Allocate(size_t(units) * sizeof(wchar_t)));
    }
    static void Free(wchar_t* p, int units) {
        if (p) MempoolAlloctor::Free(p, size_t(units) * sizeof(wchar_t));
    }
};

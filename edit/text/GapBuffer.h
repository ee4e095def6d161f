// Gap buffers: an array with a movable hole, so that a run of insertions or
// deletions at one place costs a block move once and O(1) afterwards.
//
// Logical index i lives in slot i before the gap and in slot i + gap length
// after it. Elements are plain records moved as raw bytes. Erase is the one
// virtual operation: GapBufferObject cleans up each erased record, and
// GapBufferPointer deletes each erased pointee. Slot arrays always come from
// CRTAlloctor.
#pragma once

#include <cassert>
#include <cstring>
#include <type_traits>

#include "Allocators.h"

template <typename T, typename Alloc = CRTAlloctor>
class GapBufferT {
    static_assert(std::is_trivially_copyable_v<T>, "gap buffer elements move as bytes");

public:
    explicit GapBufferT(int initial = 8) {
        total_ = initial > 0 ? initial : 8;
        items_ = static_cast<T*>(Alloc::Allocate(sizeof(T) * size_t(total_)));
        gapStart_ = 0;
        gapEnd_ = total_;
    }
    GapBufferT(const GapBufferT&) = delete;
    GapBufferT& operator=(const GapBufferT&) = delete;
    ~GapBufferT() { Alloc::Free(items_); }

    int Count() const { return total_ - (gapEnd_ - gapStart_); }
    int Total() const { return total_; }

    T& operator[](int i) {
        assert(i >= 0 && i < Count());
        return items_[i < gapStart_ ? i : i + (gapEnd_ - gapStart_)];
    }
    const T& operator[](int i) const {
        assert(i >= 0 && i < Count());
        return items_[i < gapStart_ ? i : i + (gapEnd_ - gapStart_)];
    }

    void MoveGap(int p) {
        if (p < gapStart_) {
            const int n = gapStart_ - p;
            std::memmove(static_cast<void*>(items_ + gapEnd_ - n), items_ + p, sizeof(T) * size_t(n));
            gapEnd_ -= n;
        } else if (p > gapStart_) {
            const int n = p - gapStart_;
            std::memmove(static_cast<void*>(items_ + gapStart_), items_ + gapEnd_, sizeof(T) * size_t(n));
            gapEnd_ += n;
        }
        gapStart_ = p;
    }

    // Inserts one element at p (0 <= p <= Count()) and returns a reference to it.
    T& Insert(int p, const T& value) {
        assert(p >= 0 && p <= Count());
        if (gapStart_ == gapEnd_) Grow(total_ * 2);
        MoveGap(p);
        T* slot = items_ + gapStart_;
        std::memset(static_cast<void*>(slot), 0, sizeof(T));
        *slot = value;
        ++gapStart_;
        if (gapStart_ == gapEnd_) Grow(total_ * 2);
        return items_[gapStart_ - 1];
    }
    T& Append(const T& value) { return Insert(Count(), value); }

    // Inserts n copies of value at p.
    void InsertRepeated(int p, const T& value, int n) {
        if (n <= 0) return;
        MakeRoom(n);
        MoveGap(p);
        for (int i = 0; i < n; ++i) items_[gapStart_ + i] = value;
        gapStart_ += n;
        if (gapStart_ == gapEnd_) Grow(total_ * 2);
    }

    // Opens n slots at the end (contents undefined) and returns the first, for
    // filling a new buffer in one go.
    T* AppendSlots(int n) {
        MakeRoom(n);
        MoveGap(Count());
        T* first = items_ + gapStart_;
        gapStart_ += n;
        return first;
    }

    // Grows so that n more elements fit: to the larger of twice the total and
    // total + n + 1.
    void MakeRoom(int n) {
        if (gapEnd_ - gapStart_ > n) return;
        const int a = total_ * 2, b = total_ + n + 1;
        Grow(a > b ? a : b);
    }

    void Grow(int n) {
        if (n <= total_) return;
        T* fresh = static_cast<T*>(Alloc::Allocate(sizeof(T) * size_t(n)));
        const int tail = total_ - gapEnd_;
        std::memcpy(static_cast<void*>(fresh), items_, sizeof(T) * size_t(gapStart_));
        std::memcpy(static_cast<void*>(fresh + n - tail), items_ + gapEnd_, sizeof(T) * size_t(tail));
        Alloc::Free(items_);
        items_ = fresh;
        gapEnd_ = n - tail;
        total_ = n;
    }

    // Removes [start, start + count); out-of-range parts are ignored.
    virtual void Erase(int start, int count) {
        const int n = Count();
        if (start < 0) { count += start; start = 0; }
        if (count > n - start) count = n - start;
        if (count <= 0) return;
        if (start > gapStart_ || start + count < gapStart_) {
            MoveGap(start);
            CleanUp(items_ + gapEnd_, count);
            gapEnd_ += count;
        } else {
            const int before = gapStart_ - start;
            CleanUp(items_ + start, before);
            gapStart_ = start;
            const int rest = count - before;
            CleanUp(items_ + gapEnd_, rest);
            gapEnd_ += rest;
        }
    }
    void Clear() { Erase(0, Count()); }

    // Consistency check for tests.
    bool Valid() const {
        return items_ && 0 <= gapStart_ && gapStart_ <= gapEnd_ && gapEnd_ <= total_ &&
               gapStart_ < gapEnd_;
    }

protected:
    virtual void CleanUp(T*, int) {}

    int total_;
    int gapStart_;
    int gapEnd_;
    T* items_;
};

// Elements that own memory: T::Release() frees it when an element is erased.
template <typename T, typename Alloc = CRTAlloctor>
class GapBufferObject : public GapBufferT<T, Alloc> {
public:
    using GapBufferT<T, Alloc>::GapBufferT;
    ~GapBufferObject() { this->Clear(); }

protected:
    void CleanUp(T* first, int n) override {
        for (int i = 0; i < n; ++i) first[i].Release();
    }
};

// Owned pointers: erasing deletes each pointee (null slots are allowed).
template <typename P, typename Alloc = CRTAlloctor>
class GapBufferPointer final : public GapBufferT<P*, Alloc> {
public:
    using GapBufferT<P*, Alloc>::GapBufferT;
    ~GapBufferPointer() { this->Clear(); }

protected:
    void CleanUp(P** first, int n) override {
        for (int i = 0; i < n; ++i) {
            delete first[i];
            first[i] = nullptr;
        }
    }
};

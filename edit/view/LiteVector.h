// A minimal growable array of plain values: count, capacity, data.
#pragma once

#include <cstdlib>
#include <new>

template <typename T>
struct LiteVectorT {
    int count = 0;
    int capacity = 0;
    T* data = nullptr;

    LiteVectorT() = default;
    LiteVectorT(const LiteVectorT&) = delete;
    LiteVectorT& operator=(const LiteVectorT&) = delete;
    ~LiteVectorT() { std::free(data); }

    // Grows to 2 × needed + 4 entries when full.
    void Push(T v) {
        if (count == capacity) {
            const int cap = 2 * (count + 1) + 4;
            T* p = static_cast<T*>(std::realloc(data, sizeof(T) * size_t(cap)));
            if (!p) throw std::bad_alloc();
            data = p;
            capacity = cap;
        }
        data[count++] = v;
    }
};

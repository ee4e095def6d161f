// One line of a document: a record stored by value in the LineVector.
//
// A loaded line owns a zero-terminated UTF-16 buffer of `capacity` units
// (terminator included) holding `length` units. An unloaded line (capacity 0)
// still lies in the document's source file: `length` is its byte length and
// `offset` the byte offset of its first byte. Four attribute bytes follow.
#pragma once

#include <cstdint>

#include "Allocators.h"
#include "GapBuffer.h"

template <typename IntT = int, typename Alloc = TextAlloc>
struct LineT {
    IntT length;
    IntT capacity;
    union {
        wchar_t* text;
        int64_t offset;
    };
    uint8_t attr[4];

    bool Loaded() const { return capacity != 0; }

    // Frees the text buffer (the capacity says which pool bucket holds it).
    void Release() {
        if (capacity) Alloc::Free(text, capacity);
        text = nullptr;
        capacity = 0;
        length = 0;
    }

    // Replaces the buffer by one of `cap` units keeping the first `keep` units.
    void Reallocate(int cap, int keep) {
        wchar_t* fresh = Alloc::Allocate(cap);
        if (keep > 0) std::memcpy(fresh, text, sizeof(wchar_t) * size_t(keep));
        fresh[keep] = 0;
        if (capacity) Alloc::Free(text, capacity);
        text = fresh;
        capacity = cap;
        length = keep;
    }

    // Attribute access by kind (1 bookmark, 2 changed, 3 lexer state,
    // 4 fold level, 5/6 markers, 8 five-bit value); other kinds read 0 and
    // ignore writes. A write changes only the kind's own bits.
    int GetAttr(int kind) const {
        switch (kind) {
            case 1: return (attr[0] >> 6) & 1;
            case 2: return (attr[0] >> 7) & 1;
            case 3: return attr[1];
            case 4: return attr[0] & 63;
            case 5: return attr[2] & 15;
            case 6: return (attr[2] >> 4) & 15;
            case 8: return attr[3] & 31;
            default: return 0;
        }
    }
    bool SetAttr(int kind, int value) {
        const uint8_t v = uint8_t(value);
        switch (kind) {
            case 1: attr[0] = uint8_t((attr[0] & ~0x40) | ((v & 1) << 6)); return true;
            case 2: attr[0] = uint8_t((attr[0] & ~0x80) | ((v & 1) << 7)); return true;
            case 3: attr[1] = v; return true;
            case 4: attr[0] = uint8_t((attr[0] & ~63) | (v & 63)); return true;
            case 5: attr[2] = uint8_t((attr[2] & 0xF0) | (v & 15)); return true;
            case 6: attr[2] = uint8_t((attr[2] & 0x0F) | ((v & 15) << 4)); return true;
            case 8: attr[3] = uint8_t((attr[3] & ~31) | (v & 31)); return true;
            default: return false;
        }
    }
};

using Line = LineT<>;
static_assert(sizeof(Line) == 24, "a line record is 24 bytes");

// The document's line container.
class LineVector final : public GapBufferObject<Line> {
public:
    using GapBufferObject<Line>::GapBufferObject;
};

// The explicit style bytes of one line (one byte per UTF-16 unit). Columns
// at or beyond the end read 0; writing beyond the end first appends zeros.
class LineStyleT final : public GapBufferT<unsigned char> {
public:
    LineStyleT() : GapBufferT<unsigned char>(8) {}
    unsigned char Get(int column) const { return column >= 0 && column < Count() ? (*this)[column] : 0; }
    void Set(int column, unsigned char style) {
        if (column < 0) return;
        if (column >= Count()) InsertRepeated(Count(), 0, column + 1 - Count());
        (*this)[column] = style;
    }
};

// A doubly linked list of pointers whose nodes are allocated ten at a time
// and recycled through a free list; used for the undo and redo lists and the
// members of a macro command. Node blocks are returned when the list dies.
#pragma once

#include <new>

template <typename T>
class PtrListT {
    struct Node {
        Node* prev;
        Node* next;
        T* value;
    };
    struct Block {
        Block* next;
        Node nodes[10];
    };

public:
    PtrListT() = default;
    PtrListT(const PtrListT&) = delete;
    PtrListT& operator=(const PtrListT&) = delete;
    ~PtrListT() {
        while (blocks_) {
            Block* n = blocks_->next;
            delete blocks_;
            blocks_ = n;
        }
    }

    int Count() const { return count_; }
    bool Empty() const { return count_ == 0; }
    T* Tail() const { return tail_ ? tail_->value : nullptr; }

    void AddTail(T* v) {
        Node* n = NewNode(v);
        n->prev = tail_;
        if (tail_) tail_->next = n; else head_ = n;
        tail_ = n;
    }
    void AddHead(T* v) {
        Node* n = NewNode(v);
        n->next = head_;
        if (head_) head_->prev = n; else tail_ = n;
        head_ = n;
    }
    T* RemoveTail() {
        if (!tail_) return nullptr;
        Node* n = tail_;
        tail_ = n->prev;
        if (tail_) tail_->next = nullptr; else head_ = nullptr;
        return FreeNode(n);
    }

    // Visits the values from head to tail (or tail to head).
    template <typename F> void ForEach(F f) const {
        for (Node* n = head_; n; n = n->next) f(n->value);
    }
    // From head to tail while f returns true.
    template <typename F> void ForEachWhile(F f) const {
        for (Node* n = head_; n && f(n->value); n = n->next) {}
    }
    // From tail to head while f returns true.
    template <typename F> void ForEachReverseWhile(F f) const {
        for (Node* n = tail_; n && f(n->value); n = n->prev) {}
    }

private:
    Node* NewNode(T* v) {
        if (!free_) {
            Block* b = new Block;  // throws std::bad_alloc when memory runs out
            b->next = blocks_;
            blocks_ = b;
            for (Node& n : b->nodes) {
                n.next = free_;
                free_ = &n;
            }
        }
        Node* n = free_;
        free_ = n->next;
        n->prev = n->next = nullptr;
        n->value = v;
        ++count_;
        return n;
    }
    T* FreeNode(Node* n) {
        T* v = n->value;
        n->next = free_;
        free_ = n;
        --count_;
        return v;
    }

    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    Node* free_ = nullptr;
    Block* blocks_ = nullptr;
    int count_ = 0;
};

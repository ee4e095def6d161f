// small_vector.hpp - a vector that keeps up to N elements inline.
#pragma once

#include <algorithm>
#include <cassert>
#include <concepts>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace util {

template <typename T>
concept Relocatable = std::is_nothrow_move_constructible_v<T> && std::is_nothrow_destructible_v<T>;

/// A contiguous container with inline storage for the first `N` elements.
/// Falls back to the heap when it grows past `N`.
template <Relocatable T, std::size_t N = 8>
class small_vector {
public:
    using value_type = T;
    using size_type = std::size_t;
    using iterator = T*;
    using const_iterator = const T*;

    static constexpr size_type inline_capacity = N;

    small_vector() noexcept = default;

    small_vector(std::initializer_list<T> init) {
        reserve(init.size());
        for (const auto& v : init) push_back(v);
    }

    small_vector(const small_vector& other) : small_vector() {
        reserve(other.size_);
        std::uninitialized_copy(other.begin(), other.end(), data());
        size_ = other.size_;
    }

    small_vector(small_vector&& other) noexcept { steal(std::move(other)); }

    small_vector& operator=(small_vector other) noexcept {
        clear_and_free();
        steal(std::move(other));
        return *this;
    }

    ~small_vector() { clear_and_free(); }

    [[nodiscard]] size_type size() const noexcept { return size_; }
    [[nodiscard]] size_type capacity() const noexcept { return heap_ ? cap_ : N; }
    [[nodiscard]] bool empty() const noexcept { return size_ == 0; }
    [[nodiscard]] bool is_inline() const noexcept { return heap_ == nullptr; }

    T* data() noexcept { return heap_ ? heap_ : reinterpret_cast<T*>(inline_); }
    const T* data() const noexcept { return heap_ ? heap_ : reinterpret_cast<const T*>(inline_); }

    iterator begin() noexcept { return data(); }
    iterator end() noexcept { return data() + size_; }
    const_iterator begin() const noexcept { return data(); }
    const_iterator end() const noexcept { return data() + size_; }

    T& operator[](size_type i) noexcept {
        assert(i < size_ && "index out of range");
        return data()[i];
    }
    const T& operator[](size_type i) const noexcept { return data()[i]; }

    template <typename... Args>
        requires std::constructible_from<T, Args&&...>
    T& emplace_back(Args&&... args) {
        if (size_ == capacity()) reserve(std::max<size_type>(capacity() * 2, 1));
        T* slot = std::construct_at(data() + size_, std::forward<Args>(args)...);
        ++size_;
        return *slot;
    }

    void push_back(const T& v) { emplace_back(v); }
    void push_back(T&& v) { emplace_back(std::move(v)); }

    void pop_back() noexcept {
        assert(size_ > 0);
        std::destroy_at(data() + --size_);
    }

    void reserve(size_type want) {
        if (want <= capacity()) return;
        T* fresh = static_cast<T*>(::operator new(want * sizeof(T), std::align_val_t{alignof(T)}));
        std::uninitialized_move(begin(), end(), fresh);
        std::destroy(begin(), end());
        free_heap();
        heap_ = fresh;
        cap_ = want;
    }

    void clear() noexcept {
        std::destroy(begin(), end());
        size_ = 0;
    }

private:
    void free_heap() noexcept {
        if (heap_) ::operator delete(heap_, std::align_val_t{alignof(T)});
        heap_ = nullptr;
    }

    void clear_and_free() noexcept {
        clear();
        free_heap();
    }

    void steal(small_vector&& other) noexcept {
        if (other.heap_) {
            heap_ = std::exchange(other.heap_, nullptr);
            cap_ = other.cap_;
        } else {
            std::uninitialized_move(other.begin(), other.end(), data());
            std::destroy(other.begin(), other.end());
        }
        size_ = std::exchange(other.size_, 0);
    }

    alignas(T) std::byte inline_[sizeof(T) * N];
    T* heap_ = nullptr;
    size_type cap_ = 0;
    size_type size_ = 0;
};

template <typename T, typename... U>
small_vector(T, U...) -> small_vector<T, 1 + sizeof...(U)>;

}  // namespace util

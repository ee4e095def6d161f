// A value of each thread's own (scratch buffers reused from call to call),
// made on a thread's first use and destroyed when that thread ends.
//
// It stands where `thread_local T` would: with MinGW's emulated TLS a
// thread_local object that has a destructor is destroyed after its storage
// was freed, on every thread that ends, which corrupts the heap. Fiber-local
// storage hands the value itself to its callback instead.
#pragma once

#include <windows.h>

#include <new>

namespace codepage {

template <typename T>
class ThreadScratch {
   public:
    ThreadScratch() : index_(FlsAlloc(&Destroy)) {}
    ~ThreadScratch() {
        if (index_ != FLS_OUT_OF_INDEXES) FlsFree(index_);  // destroys every thread's value
    }
    ThreadScratch(const ThreadScratch&) = delete;
    ThreadScratch& operator=(const ThreadScratch&) = delete;

    // This thread's value; null when there is no memory or no index for it.
    T* Get() noexcept {
        if (index_ == FLS_OUT_OF_INDEXES) return nullptr;
        if (void* p = FlsGetValue(index_)) return static_cast<T*>(p);
        T* made = new (std::nothrow) T();
        if (made && !FlsSetValue(index_, made)) {
            delete made;
            made = nullptr;
        }
        return made;
    }

   private:
    static void WINAPI Destroy(void* p) { delete static_cast<T*>(p); }
    DWORD index_;
};

}  // namespace codepage

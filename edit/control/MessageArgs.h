// Reading message arguments: integers as ints (so that -1 stays -1) and
// pointers of the records the protocol passes.
#pragma once

#include <windows.h>

inline int Int(WPARAM w) { return static_cast<int>(static_cast<INT_PTR>(w)); }
template <typename T> T* Ptr(UINT_PTR v) { return reinterpret_cast<T*>(v); }
inline int LowX(LPARAM lp) { return static_cast<int>(static_cast<short>(LOWORD(lp))); }
inline int HighY(LPARAM lp) { return static_cast<int>(static_cast<short>(HIWORD(lp))); }

// The window class of bench/minimal_window.cpp, which startup_bench looks for.
#pragma once

#define MINIMAL_WINDOW_CLASS L"MorrowpadBenchMinimal"

// Implementation of the regular-expression engine, one phase a file:
// the compiled program, the nodes, the parser, the matcher, the optimiser,
// compiling and searching, and the program as text. Included by Regex.h.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "RegexProgram.h"
#include "RegexNodes.h"
#include "RegexParser.h"
#include "RegexMatcher.h"
#include "RegexOptimizer.h"
#include "RegexSearch.h"
#include "RegexDump.h"

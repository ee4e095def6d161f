// Implementation of the regular-expression engine, one phase a file:
// the compiled program, the nodes, the parser, the matcher, compiling and
// searching. Included by Regex.h.
#pragma once

#include <algorithm>
#include <climits>
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
#include "RegexSearch.h"

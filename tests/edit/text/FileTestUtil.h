// The file helpers moved to tests/support; this name stays for the tests that include it.
#pragma once

#include "TempDir.h"

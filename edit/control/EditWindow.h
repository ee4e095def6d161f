// Registration of the "MRPAD32" window class with a module's instance.
#pragma once

#include <windows.h>

bool RegisterEditClass(HINSTANCE module);

// The Windows API for the Windows half of the platform layer, the Windows
// window and the Windows tests: <windows.h> without its min and max macros
// and its rarely used parts. Windows builds only.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

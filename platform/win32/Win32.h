#pragma once
// <windows.h> for the code that implements the platform headers. The platform layer has a function
// named CreateDirectory; windows.h turns that name into a macro for the ANSI/wide variants, which would
// rename our function in some files and not in others.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CreateDirectory

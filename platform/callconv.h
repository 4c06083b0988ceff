// The calling convention of the platform's own functions, for pointers to entry points that are
// looked up at run time. It matters on 32-bit Windows only; elsewhere it is the default one.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
#define PLATFORM_API __stdcall
#else
#define PLATFORM_API
#endif

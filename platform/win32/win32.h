// The one way <windows.h> enters the program.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winsvc.h>

#include <string>

namespace platform::win32 {

// The system's text for `code`, without its line end; "System error N." when it has none.
std::string SystemErrorMessage(DWORD code);

// False when the process's window station is not visible, as for a service or a task in session 0:
// a dialog there would wait forever for a click nobody can give.
bool WindowStationVisible();

}  // namespace platform::win32

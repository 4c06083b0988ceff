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

#include <optional>
#include <string>
#include <string_view>

namespace platform::win32 {

// The system's text for `code`, without its line end; "System error N." when it has none.
std::string SystemErrorMessage(DWORD code);

// `text`, NULs included, in code page `codePage` as UTF-16; bytes that are no character there
// become U+FFFD. Nullopt, with the conversion's error as the last error, when the code page is not
// installed or the conversion fails.
std::optional<std::wstring> ToUtf16(UINT codePage, std::string_view text);

// False when the process's window station is not visible, as for a service or a task in session 0:
// a dialog there would wait forever for a click nobody can give.
bool WindowStationVisible();

// True in session 0, the services' session: since Windows Vista its desktop is shown to nobody,
// although its window station still calls itself visible.
bool InServicesSession();

// Makes InServicesSession answer for `session` instead of the process's own; nullopt restores it.
// For tests: a process cannot move to another session.
void SetSessionForTesting(std::optional<DWORD> session);

}  // namespace platform::win32

// Settings of the host emulation that tests choose (in the tests' library, with scm_testing.h).
#pragma once

namespace platform::host {

// The emulated ANSI code page: 65001 (UTF-8, the default), the single-byte 1252, or the double-byte
// 932, 936, 949 or 950. Returns false, changing nothing, for any other number.
bool SetAnsiCodePage(unsigned codePage);
unsigned AnsiCodePage();

}  // namespace platform::host

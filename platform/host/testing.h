// Settings of the host emulation that tests choose.
#pragma once

namespace platform::host {

// The emulated ANSI code page: 1252 (single-byte, the default), or the double-byte 932, 936, 949
// or 950. Returns false, changing nothing, for any other number.
bool SetAnsiCodePage(unsigned codePage);
unsigned AnsiCodePage();

}  // namespace platform::host

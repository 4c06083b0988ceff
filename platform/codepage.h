// The system's ANSI code page, for stepping through single-byte text character by character.
#pragma once

namespace platform {

// True when `byte` is the first of the two bytes of a double-byte character in the ANSI code page.
bool IsAnsiLeadByte(unsigned char byte);

}  // namespace platform

// The system's ANSI code page, for stepping through single-byte text character by character.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform {

// True when `byte` is the first of the two bytes of a double-byte character in the ANSI code page.
// UTF-8 has none: its bytes from 128 up are never quotes or separators, whatever their position.
bool IsAnsiLeadByte(unsigned char byte);

// The length of the ANSI `text` in UTF-16 units, the measure of Windows' path limits: one per
// character, two for a character beyond U+FFFF; a byte that is no valid character counts one.
std::size_t Utf16Length(std::string_view text);

}  // namespace platform

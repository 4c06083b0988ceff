// Text as a terminal shows it: the host's stand-in for a Windows console.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "platform/console.h"

namespace platform::host {

inline constexpr unsigned kUtf8CodePage = 65001;

// The emulated ANSI code page: UTF-8 unless a test chose another that SupportedAnsiCodePage names.
extern std::atomic<unsigned> AnsiCodePageNumber;
bool SupportedAnsiCodePage(unsigned codePage);

// The ANSI `text` as UTF-8, the characters it stands for in the emulated ANSI code page; a byte
// that starts no valid character there becomes U+FFFD.
std::string AnsiAsUtf8(std::string_view text);

// `text`, read in `charset`, as the UTF-8 a terminal shows: code page 437 bytes as the glyphs a
// Windows console shows for them, ANSI text as its characters.
std::string TerminalText(std::string_view text, TextCharset charset);

// Writes `text` to `fd`: a terminal gets TerminalText, a file or a pipe the bytes as they are.
// Returns 0, or the errno of the write that failed.
int WriteText(int fd, std::string_view text, TextCharset charset) noexcept;

}  // namespace platform::host

// Standard output and standard error.
#pragma once

#include <string_view>

namespace platform {

// Writes `text` and a carriage return and line feed to standard output, byte for byte.
// Throws EInOutError when the write fails or is cut short.
void WriteLine(std::string_view text);

// Writes `text` to standard error as it is; failures are ignored, since there is nowhere left to
// report them.
void WriteErrorText(std::string_view text) noexcept;

}  // namespace platform

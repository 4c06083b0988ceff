// Standard output and standard error.
#pragma once

#include <string_view>

namespace platform {

// How the bytes of a console text are to be read.
enum class TextCharset {
    Ansi,         // the ANSI code page: the program's texts, paths, service names, the system's messages
    CodePage437,  // the banner's box characters, fixed whatever the code pages are
};

// Writes `text` and a carriage return and line feed to standard output. Redirected to a file or a
// pipe, the bytes go out exactly as they are; on a console, the characters they stand for in
// `charset`, so that the screen shows what the text means whatever the console's own code page.
// Throws EInOutError when the write fails or is cut short.
void WriteLine(std::string_view text, TextCharset charset = TextCharset::Ansi);

// Writes the ANSI `text` to standard error as it is, or as its characters on a console; failures
// are ignored, since there is nowhere left to report them.
void WriteErrorText(std::string_view text) noexcept;

}  // namespace platform

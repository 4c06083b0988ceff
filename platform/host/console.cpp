#include "platform/console.h"

#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "platform/exception.h"
#include "platform/host/fd_write.h"

namespace platform {
namespace {

// Code page 437, bytes 0x80 to 0xFF, as UTF-8: what a Windows console shows for them.
constexpr const char* kCodePage437High[128] = {
    "Ç", "ü", "é", "â", "ä", "à", "å", "ç", "ê", "ë", "è", "ï", "î", "ì", "Ä", "Å",
    "É", "æ", "Æ", "ô", "ö", "ò", "û", "ù", "ÿ", "Ö", "Ü", "¢", "£", "¥", "₧", "ƒ",
    "á", "í", "ó", "ú", "ñ", "Ñ", "ª", "º", "¿", "⌐", "¬", "½", "¼", "¡", "«", "»",
    "░", "▒", "▓", "│", "┤", "╡", "╢", "╖", "╕", "╣", "║", "╗", "╝", "╜", "╛", "┐",
    "└", "┴", "┬", "├", "─", "┼", "╞", "╟", "╚", "╔", "╩", "╦", "╠", "═", "╬", "╧",
    "╨", "╤", "╥", "╙", "╘", "╒", "╓", "╫", "╪", "┘", "┌", "█", "▄", "▌", "▐", "▀",
    "α", "ß", "Γ", "π", "Σ", "σ", "µ", "τ", "Φ", "Θ", "Ω", "δ", "∞", "φ", "ε", "∩",
    "≡", "±", "≥", "≤", "⌠", "⌡", "÷", "≈", "°", "∙", "·", "√", "ⁿ", "²", "■", "\u00A0",
};

// A terminal stands in for a Windows console, which shows bytes in code page 437; a pipe or a file
// gets the bytes exactly.
std::string ForTerminal(std::string_view bytes) {
    std::string shown;
    shown.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            shown.push_back(c);
        } else {
            shown.append(kCodePage437High[byte - 0x80]);
        }
    }
    return shown;
}

}  // namespace

namespace host {

int WriteAll(int fd, std::string_view bytes) noexcept {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

}  // namespace host

void WriteLine(std::string_view text) {
    static const bool toTerminal = ::isatty(STDOUT_FILENO) == 1;
    std::string line(text);
    line.append("\r\n");
    if (toTerminal) line = ForTerminal(line);
    if (const int error = host::WriteAll(STDOUT_FILENO, line); error != 0) {
        throw EInOutError("Cannot write to standard output: " + std::generic_category().message(error));
    }
}

void WriteErrorText(std::string_view text) noexcept { host::WriteAll(STDERR_FILENO, text); }

}  // namespace platform

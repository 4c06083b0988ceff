#include "platform/console.h"

#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>
#include <system_error>

#include "platform/exception.h"
#include "platform/host/fd_write.h"
#include "platform/host/terminal.h"

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

std::string TerminalText(std::string_view text, TextCharset charset) {
    if (charset == TextCharset::Ansi) return AnsiAsUtf8(text);
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            shown.push_back(c);
        } else {
            shown.append(kCodePage437High[byte - 0x80]);
        }
    }
    return shown;
}

int WriteText(int fd, std::string_view text, TextCharset charset) noexcept {
    if (::isatty(fd) != 1) return WriteAll(fd, text);
    try {
        return WriteAll(fd, TerminalText(text, charset));
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
}

}  // namespace host

void WriteLine(std::string_view text, TextCharset charset) {
    std::string line(text);
    line.append("\r\n");
    if (const int error = host::WriteText(STDOUT_FILENO, line, charset); error != 0) {
        throw EInOutError("Cannot write to standard output: " + std::generic_category().message(error));
    }
}

void WriteErrorText(std::string_view text) noexcept { host::WriteText(STDERR_FILENO, text, TextCharset::Ansi); }

}  // namespace platform

#include "platform/console.h"

#include <string>

#include "platform/exception.h"
#include "platform/win32/win32.h"

namespace platform {
namespace {

// Writes all of `bytes` with WriteFile, which passes them on untranslated. Returns 0, or the error
// code of the write that failed.
DWORD WriteBytes(HANDLE handle, std::string_view bytes) noexcept {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = bytes.size() > 0x10000 ? 0x10000 : static_cast<DWORD>(bytes.size());
        if (!::WriteFile(handle, bytes.data(), chunk, &written, nullptr)) return ::GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        bytes.remove_prefix(written);
    }
    return 0;
}

// Writes all of `text` to a console with WriteConsoleW, which shows the characters themselves,
// whatever the console's code page. Returns 0, or the error code of the write that failed.
DWORD WriteCharacters(HANDLE console, std::wstring_view text) noexcept {
    while (!text.empty()) {
        DWORD written = 0;
        // The console takes a limited amount at once; 8,192 units stay well below it.
        const DWORD chunk = text.size() > 0x2000 ? 0x2000 : static_cast<DWORD>(text.size());
        if (!::WriteConsoleW(console, text.data(), chunk, &written, nullptr)) return ::GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        text.remove_prefix(written);
    }
    return 0;
}

// Writes `text`, read in `charset`, to the standard handle `which`: as characters when it is a
// console, as bytes otherwise. Returns 0, or the error code of the write that failed.
DWORD WriteText(DWORD which, std::string_view text, TextCharset charset) noexcept {
    const HANDLE handle = ::GetStdHandle(which);
    if (handle == INVALID_HANDLE_VALUE) return ::GetLastError();
    if (handle == nullptr) return ERROR_INVALID_HANDLE;
    DWORD mode = 0;
    if (::GetConsoleMode(handle, &mode)) {
        try {
            // A code page the system lacks leaves the bytes, shown as the console's code page says.
            if (const auto wide = win32::ToUtf16(charset == TextCharset::CodePage437 ? 437 : CP_ACP, text))
                return WriteCharacters(handle, *wide);
        } catch (...) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    return WriteBytes(handle, text);
}

}  // namespace

void WriteLine(std::string_view text, TextCharset charset) {
    std::string line(text);
    line.append("\r\n");
    if (const DWORD error = WriteText(STD_OUTPUT_HANDLE, line, charset); error != 0) {
        throw EInOutError("Cannot write to standard output: " + win32::SystemErrorMessage(error));
    }
}

void WriteErrorText(std::string_view text) noexcept { WriteText(STD_ERROR_HANDLE, text, TextCharset::Ansi); }
}  // namespace platform

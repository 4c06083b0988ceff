#include "platform/console.h"

#include <string>

#include "platform/exception.h"
#include "platform/win32/win32.h"

namespace platform {
namespace {

// Writes all of `bytes` with WriteFile, which passes them on untranslated. Returns 0, or the error
// code of the write that failed.
DWORD WriteAll(DWORD which, std::string_view bytes) noexcept {
    const HANDLE handle = ::GetStdHandle(which);
    if (handle == INVALID_HANDLE_VALUE) return ::GetLastError();
    if (handle == nullptr) return ERROR_INVALID_HANDLE;
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = bytes.size() > 0x10000 ? 0x10000 : static_cast<DWORD>(bytes.size());
        if (!::WriteFile(handle, bytes.data(), chunk, &written, nullptr)) return ::GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        bytes.remove_prefix(written);
    }
    return 0;
}

}  // namespace

void WriteLine(std::string_view text) {
    std::string line(text);
    line.append("\r\n");
    if (const DWORD error = WriteAll(STD_OUTPUT_HANDLE, line); error != 0) {
        throw EInOutError("Cannot write to standard output: " + win32::SystemErrorMessage(error));
    }
}

void WriteErrorText(std::string_view text) noexcept { WriteAll(STD_ERROR_HANDLE, text); }

namespace win32 {

std::string SystemErrorMessage(DWORD code) {
    char buffer[512] = {};
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, code, 0, buffer, sizeof buffer, nullptr);
    while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n')) --length;
    if (length == 0) return "System error " + std::to_string(code) + ".";
    return std::string(buffer, length);
}

}  // namespace win32
}  // namespace platform

#include "platform/errors.h"

#include <string>

#include "platform/win32/win32.h"

namespace platform {

uint32_t GetLastError() { return ::GetLastError(); }

void SetLastError(uint32_t code) { ::SetLastError(code); }

uint32_t FormatMessageA(uint32_t flags, const void* source, uint32_t messageId, uint32_t languageId,
                        char* buffer, uint32_t size, void* arguments) {
    return ::FormatMessageA(flags, source, messageId, languageId, buffer, size,
                            static_cast<va_list*>(arguments));
}

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

#include "platform/codepage.h"

#include <climits>
#include <optional>
#include <string>

#include "platform/win32/win32.h"

namespace platform {

bool IsAnsiLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

std::size_t Utf16Length(std::string_view text) {
    const std::optional<std::wstring> wide = win32::ToUtf16(CP_ACP, text);
    // Where the conversion fails, every byte counts, which never makes a long path short.
    return wide ? wide->size() : text.size();
}

namespace win32 {

std::optional<std::wstring> ToUtf16(UINT codePage, std::string_view text) {
    if (text.empty()) return std::wstring();
    if (text.size() > INT_MAX) {
        ::SetLastError(ERROR_ARITHMETIC_OVERFLOW);
        return std::nullopt;
    }
    const int size = static_cast<int>(text.size());
    const int units = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (units <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    if (::MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), units) != units) return std::nullopt;
    return wide;
}

}  // namespace win32
}  // namespace platform

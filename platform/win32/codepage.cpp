#include "platform/codepage.h"

#include <climits>

#include "platform/win32/win32.h"

namespace platform {

bool IsAnsiLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

std::size_t Utf16Length(std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) return text.size();
    const int units = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    // Where the conversion fails, every byte counts, which never makes a long path short.
    return units > 0 ? static_cast<std::size_t>(units) : text.size();
}

namespace win32 {

std::wstring ToUtf16(UINT codePage, std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int size = static_cast<int>(text.size());
    const int units = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (units <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    if (::MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), units) != units) return {};
    return wide;
}

}  // namespace win32
}  // namespace platform

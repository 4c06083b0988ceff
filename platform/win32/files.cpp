#include "platform/files.h"

#include <string>

#include "platform/codepage.h"
#include "platform/scoped_handle.h"
#include "platform/win32/win32.h"

namespace platform {
namespace {

struct FindTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE find) { ::FindClose(find); }
};

// Closes a directory search on every path.
using FindGuard = ScopedHandle<FindTraits>;

}  // namespace

ExpandedPath GetFullPathNameA(std::string_view fileName) {
    const std::string name(fileName);
    // The limit counts characters, but a character takes up to three bytes in UTF-8, the ANSI code
    // page where the system allows it: the buffer holds the longest path that fits, in bytes.
    std::string buffer(kMaxPath * 3, '\0');
    char* filePart = nullptr;
    DWORD length = 0;
    for (;;) {
        length = ::GetFullPathNameA(name.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), &filePart);
        if (length == 0) {
            // Some implementations (Wine's) refuse a long result instead of giving the size it needs.
            if (::GetLastError() == ERROR_FILENAME_EXCED_RANGE) return {PathExpansion::TooLong, {}};
            return {};
        }
        // When the buffer is too small, the result is the size needed, NUL included.
        if (length < buffer.size()) break;
        if (length > 0x8000) return {PathExpansion::TooLong, {}};
        buffer.assign(length, '\0');
    }
    buffer.resize(length);
    if (Utf16Length(buffer) >= kMaxPath) return {PathExpansion::TooLong, {}};
    return {PathExpansion::Expanded, std::move(buffer)};
}

bool FileExists(const std::string& path) {
    WIN32_FIND_DATAA data{};
    const FindGuard find(::FindFirstFileA(path.c_str(), &data));
    if (!find.Valid() || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    FILETIME local{};
    WORD date = 0;
    WORD time = 0;
    return ::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) &&
           ::FileTimeToDosDateTime(&local, &date, &time);
}

}  // namespace platform

// Path expansion and the file-existence test.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The size of the full-path buffer in characters (UTF-16 units, as Windows counts them), the
// terminating NUL included.
inline constexpr std::size_t kMaxPath = 260;

enum class PathExpansion { Expanded, TooLong, Failed };

struct ExpandedPath {
    PathExpansion outcome = PathExpansion::Failed;
    std::string path;  // the absolute path, when expanded
};

// Expands `fileName` to an absolute path, resolved against the current directory, with "." and ".."
// removed. A result that needs kMaxPath characters or more, NUL included, is TooLong, however many
// bytes its characters take in the ANSI code page.
ExpandedPath GetFullPathNameA(std::string_view fileName);

// The file-age test: true when the directory search for `path` finds an entry that is not a
// directory and whose last-write time converts to a local, packed date and time. Devices are not
// files.
bool FileExists(const std::string& path);

}  // namespace platform

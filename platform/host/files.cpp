#include "platform/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>
#include <vector>

#include "platform/codepage.h"

namespace platform {
namespace {

std::string CurrentDirectory() {
    std::vector<char> buffer(256);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// Removes "." and ".." and repeated separators textually, as the Windows full-path service does;
// ".." at the root stays at the root, and no symbolic link is followed.
std::string Normalise(std::string_view absolute) {
    std::vector<std::string_view> parts;
    while (!absolute.empty()) {
        const std::size_t end = absolute.find('/');
        const std::string_view part = absolute.substr(0, end);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        if (end == std::string_view::npos) break;
        absolute.remove_prefix(end + 1);
    }
    std::string result;
    for (const auto part : parts) {
        result.push_back('/');
        result.append(part);
    }
    return result.empty() ? "/" : result;
}

}  // namespace

ExpandedPath GetFullPathNameA(std::string_view fileName) {
    if (fileName.empty()) return {};
    std::string absolute;
    if (fileName.front() != '/') {
        absolute = CurrentDirectory();
        if (absolute.empty()) return {};
        absolute.push_back('/');
    }
    absolute.append(fileName);
    std::string path = Normalise(absolute);
    // A trailing separator stays, as it does on Windows.
    if (fileName.back() == '/' && path.back() != '/') path.push_back('/');
    if (Utf16Length(path) + 1 > kMaxPath) return {PathExpansion::TooLong, {}};
    return {PathExpansion::Expanded, std::move(path)};
}

bool FileExists(const std::string& path) {
    // Only a regular file is a file here: a directory, a device or a pipe is not, as the Windows
    // directory search finds no device either.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    // The packed date-and-time form holds the years 1980 to 2107 only.
    std::tm local{};
    if (::localtime_r(&info.st_mtime, &local) == nullptr) return false;
    const int year = local.tm_year + 1900;
    return year >= 1980 && year <= 2107;
}

}  // namespace platform

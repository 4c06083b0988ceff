// Writing whole buffers to a file descriptor.
#pragma once

#include <string_view>

namespace platform::host {

// Writes all of `bytes`, going on after interrupted and partial writes. Returns 0, or the errno of
// the write that failed.
int WriteAll(int fd, std::string_view bytes) noexcept;

}  // namespace platform::host

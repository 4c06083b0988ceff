// File descriptors: their owner, and writing whole buffers to them.
#pragma once

#include <unistd.h>

#include <string_view>

#include "platform/scoped_handle.h"

namespace platform::host {

struct FdTraits {
    using Type = int;
    static int Invalid() { return -1; }
    static void Close(int fd) { ::close(fd); }
};

// Closes a file descriptor on every path.
using Fd = ScopedHandle<FdTraits>;

// Writes all of `bytes`, going on after interrupted and partial writes. Returns 0, or the errno of
// the write that failed.
int WriteAll(int fd, std::string_view bytes) noexcept;

}  // namespace platform::host

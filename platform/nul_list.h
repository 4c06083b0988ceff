// Lists of NUL-terminated strings closed by an empty string, as the service manager takes them
// ("RpcSs\0Eventlog\0\0").
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// The bytes of `list` through the NUL that closes its first empty string; nothing after that NUL
// is read. 0 for nullptr.
std::size_t NulListLength(const char* list);

// The strings of `list` before its first empty one; none for nullptr.
std::vector<std::string> NulListItems(const char* list);

}  // namespace platform

#include "platform/nul_list.h"

#include <cstring>

namespace platform {

std::size_t NulListLength(const char* list) {
    if (list == nullptr) return 0;
    std::size_t length = 0;
    while (list[length] != '\0') length += std::strlen(list + length) + 1;
    return length + 1;
}

std::vector<std::string> NulListItems(const char* list) {
    std::vector<std::string> items;
    for (const char* item = list; item != nullptr && *item != '\0'; item += std::strlen(item) + 1)
        items.emplace_back(item);
    return items;
}

}  // namespace platform

// The modal message dialog.
#pragma once

#include <string_view>

namespace platform {

enum class MessageKind {
    Error,         // title "Error", the error icon
    Confirmation,  // title "Confirm", the question icon
};

// Shows `text` in a modal box with one "OK" button and returns when it is closed. Where the
// process can show nothing a person could see, it returns at once.
void ShowMessage(MessageKind kind, std::string_view text);

}  // namespace platform

#include "platform/dialog.h"

#include <string>

#include "platform/win32/win32.h"

namespace platform {

namespace win32 {

bool WindowStationVisible() {
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    const HWINSTA station = ::GetProcessWindowStation();
    // Where the station cannot be asked, the box is shown as it always was.
    if (station == nullptr ||
        !::GetUserObjectInformationA(station, UOI_FLAGS, &flags, sizeof flags, &needed)) {
        return true;
    }
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace win32

void ShowMessage(MessageKind kind, std::string_view text) {
    if (!win32::WindowStationVisible()) return;
    const std::string message(text);
    const bool error = kind == MessageKind::Error;
    ::MessageBoxA(nullptr, message.c_str(), error ? "Error" : "Confirm",
                  MB_OK | (error ? MB_ICONERROR : MB_ICONQUESTION));
}

}  // namespace platform

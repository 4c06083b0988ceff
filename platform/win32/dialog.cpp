#include "platform/dialog.h"

#include <optional>
#include <string>

#include "platform/win32/win32.h"

namespace platform {
namespace {

std::optional<DWORD> SessionForTesting;

}  // namespace

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

bool InServicesSession() {
    if (SessionForTesting) return *SessionForTesting == 0;
    DWORD session = 0;
    // Where the session cannot be told, the window station alone decides.
    return ::ProcessIdToSessionId(::GetCurrentProcessId(), &session) && session == 0;
}

void SetSessionForTesting(std::optional<DWORD> session) { SessionForTesting = session; }

}  // namespace win32

void ShowMessage(MessageKind kind, std::string_view text) {
    if (win32::InServicesSession() || !win32::WindowStationVisible()) return;
    const std::string message(text);
    const bool error = kind == MessageKind::Error;
    // Brought to the foreground, so that it does not wait unseen behind the console window.
    ::MessageBoxA(nullptr, message.c_str(), error ? "Error" : "Confirm",
                  MB_OK | MB_SETFOREGROUND | (error ? MB_ICONERROR : MB_ICONQUESTION));
}

}  // namespace platform

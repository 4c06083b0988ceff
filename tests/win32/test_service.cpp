// A real service program for the end-to-end tests under Wine: it runs until asked to stop, then
// stays stop-pending for about 1.5 s before it reports stopped, as a product service that shuts
// down its work would. Any arguments (such as " /service") are accepted and ignored, but one:
// with "/nostop" on its command line it accepts no stop request while it runs, as a service that
// cannot be interrupted, and stops by itself once a file "<its exe>.release" exists. Once its stop
// is done it leaves a file "<its exe>.stopped", so a test can tell a clean stop from a killed process.
#include <cstring>

#include "platform/win32/win32.h"

namespace {

constexpr DWORD kStopMilliseconds = 1500;
constexpr DWORD kReleasePollMilliseconds = 100;

SERVICE_STATUS_HANDLE StatusHandle = nullptr;
HANDLE StopEvent = nullptr;
DWORD CheckPoint = 0;
bool AcceptsStop = true;

void Report(DWORD state, DWORD waitHint) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING && AcceptsStop ? SERVICE_ACCEPT_STOP : 0;
    status.dwWin32ExitCode = NO_ERROR;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwCheckPoint = pending ? ++CheckPoint : 0;
    status.dwWaitHint = waitHint;
    ::SetServiceStatus(StatusHandle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, LPVOID, LPVOID) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            Report(SERVICE_STOP_PENDING, 2 * kStopMilliseconds);
            ::SetEvent(StopEvent);
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// This program's path followed by `suffix`; false when it does not fit.
bool ModulePathWith(const char* suffix, char (&path)[MAX_PATH + 16]) {
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    ::lstrcatA(path, suffix);
    return true;
}

void MarkStopped() {
    char path[MAX_PATH + 16] = {};
    if (!ModulePathWith(".stopped", path)) return;
    const HANDLE file = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
}

// Without a stop request to wait for: runs until the release file appears.
void WaitForRelease() {
    char path[MAX_PATH + 16] = {};
    if (!ModulePathWith(".release", path)) return;
    while (::GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) ::Sleep(kReleasePollMilliseconds);
}

void WINAPI ServiceMain(DWORD, LPSTR*) {
    StatusHandle = ::RegisterServiceCtrlHandlerExA("", Control, nullptr);
    if (StatusHandle == nullptr) return;
    Report(SERVICE_START_PENDING, 1000);
    StopEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Report(SERVICE_RUNNING, 0);
    if (AcceptsStop) {
        ::WaitForSingleObject(StopEvent, INFINITE);
    } else {
        WaitForRelease();
    }
    // The shutdown's work.
    ::Sleep(kStopMilliseconds);
    MarkStopped();
    Report(SERVICE_STOPPED, 0);
}

}  // namespace

int main() {
    AcceptsStop = std::strstr(::GetCommandLineA(), "/nostop") == nullptr;
    // Own process: the name in the table is not used to match.
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherA(table) ? 0 : 1;
}

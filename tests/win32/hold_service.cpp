// Holds a service open, as a monitoring agent or the Services console would:
// `cvs_hold_service.exe NAME SECONDS READY_FILE` opens the service NAME, creates READY_FILE once it
// holds it, keeps the handle SECONDS seconds, then closes it and exits 0. Exit 1 with a message on
// standard error when the service cannot be opened or the file cannot be made.
#include <cstdio>
#include <cstdlib>

#include "platform/win32/win32.h"

namespace {

int Fail(const char* what) {
    std::fprintf(stderr, "cvs_hold_service: %s: error %lu\n", what, static_cast<unsigned long>(::GetLastError()));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: cvs_hold_service NAME SECONDS READY_FILE\n");
        return 2;
    }
    const DWORD milliseconds = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) * 1000;
    const SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) return Fail("OpenSCManagerA");
    const SC_HANDLE service = ::OpenServiceA(manager, argv[1], SERVICE_QUERY_STATUS);
    if (service == nullptr) {
        const int status = Fail("OpenServiceA");
        ::CloseServiceHandle(manager);
        return status;
    }
    const HANDLE ready = ::CreateFileA(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    int status = 0;
    if (ready == INVALID_HANDLE_VALUE) {
        status = Fail("CreateFileA");
    } else {
        ::CloseHandle(ready);
        ::Sleep(milliseconds);
    }
    ::CloseServiceHandle(service);
    ::CloseServiceHandle(manager);
    return status;
}

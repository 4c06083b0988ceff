// Starts a program with an exact command line, for the tests of the Windows command-line splitter:
// `cvs_launch_raw.exe FILE` runs FILE's bytes, as they are, as the command line of a new process
// (CreateProcessA with no application name), which shares this one's standard handles; it waits
// and exits with the child's exit code. `wine prog.exe args...` cannot do this: Wine quotes each
// argument again and escapes quotes with backslashes.
// Exit 255 with a message on standard error when the file cannot be read or the process cannot be
// started. `cvs_launch_raw.exe --acp` prints the ANSI code page (GetACP) instead.
#include <cstdio>
#include <string>

#include "platform/win32/win32.h"

namespace {

constexpr int kLaunchFailed = 255;

int Fail(const char* what, DWORD error) {
    std::fprintf(stderr, "cvs_launch_raw: %s: error %lu\n", what, static_cast<unsigned long>(error));
    return kLaunchFailed;
}

// The whole file's bytes; false when it cannot be read.
bool ReadWholeFile(const char* path, std::string& bytes) {
    const HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char chunk[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ::ReadFile(file, chunk, sizeof chunk, &got, nullptr) != 0) && got > 0) bytes.append(chunk, got);
    ::CloseHandle(file);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--acp") {
        std::printf("%u\n", ::GetACP());
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: cvs_launch_raw FILE | --acp\n");
        return kLaunchFailed;
    }
    std::string line;
    if (!ReadWholeFile(argv[1], line)) return Fail("cannot read the command line file", ::GetLastError());

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    // CreateProcessA may write into the command line, so it gets a buffer of its own.
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &process)) {
        return Fail("CreateProcessA failed", ::GetLastError());
    }
    ::CloseHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = kLaunchFailed;
    if (!::GetExitCodeProcess(process.hProcess, &code)) code = kLaunchFailed;
    ::CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

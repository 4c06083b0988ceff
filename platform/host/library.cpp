// Library loading for Linux: "advapi32.dll" is the emulated service manager.
#include "platform/library.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/errors.h"
#include "platform/host/emulation.h"
#include "platform/host/scm_entry_points.h"
#include "platform/host/scm_store.h"

namespace platform {

struct ModuleObject {
    int unused;
};

namespace {

ModuleObject g_advapi32{0};

struct Export {
    const char* name;
    GenericProc proc;
};

const Export kExports[] = {
    {"OpenSCManagerA", reinterpret_cast<GenericProc>(&host::detail::ScmOpenSCManagerA)},
    {"OpenServiceA", reinterpret_cast<GenericProc>(&host::detail::ScmOpenServiceA)},
    {"ControlService", reinterpret_cast<GenericProc>(&host::detail::ScmControlService)},
    {"CloseServiceHandle", reinterpret_cast<GenericProc>(&host::detail::ScmCloseServiceHandle)},
    {"EnumServicesStatusA", reinterpret_cast<GenericProc>(&host::detail::ScmEnumServicesStatusA)},
    {"StartServiceA", reinterpret_cast<GenericProc>(&host::detail::ScmStartServiceA)},
    {"QueryServiceStatus", reinterpret_cast<GenericProc>(&host::detail::ScmQueryServiceStatus)},
};

// Names compare without regard to case; a name without an extension means a ".dll".
bool IsAdvapi32(const char* fileName) {
    std::string name = host::LowerName(fileName);
    return name == "advapi32.dll" || name == "advapi32";
}

void Log(std::string_view entryPoint, std::string line, uint32_t error) {
    line += error ? " -> error " + std::to_string(error) : std::string(" -> ok");
    host::detail::LogCall(entryPoint, std::move(line), error);
    if (error) SetLastError(error);
}

}  // namespace

ModuleHandle LoadLibraryA(const char* fileName) {
    std::string line = std::string("LoadLibraryA ") + (fileName ? fileName : "(null)");
    uint32_t error = host::detail::TakeInjectedFailure("LoadLibraryA");
    if (!error) error = host::detail::LibraryLoadFailure();
    if (!error && !fileName) error = kErrorInvalidParameter;
    if (!error && !IsAdvapi32(fileName)) error = kErrorModNotFound;
    if (!error) host::detail::AdjustLibraryLoads(1);
    Log("LoadLibraryA", std::move(line), error);
    return error ? nullptr : &g_advapi32;
}

GenericProc GetProcAddress(ModuleHandle module, const char* procName) {
    // A value below 0x10000 is an ordinal, not a name; the emulation exports none by ordinal.
    bool byName = reinterpret_cast<std::uintptr_t>(procName) >= 0x10000;
    std::string line = std::string("GetProcAddress ") + (byName ? procName : "(ordinal)");
    uint32_t error = host::detail::TakeInjectedFailure("GetProcAddress");
    GenericProc proc = nullptr;
    if (!error && module != &g_advapi32) error = module ? kErrorInvalidHandle : kErrorProcNotFound;
    if (!error && byName && !host::detail::IsEntryPointHidden(procName)) {
        for (const Export& item : kExports)
            if (std::strcmp(item.name, procName) == 0) proc = item.proc;
    }
    if (!error && !proc) error = kErrorProcNotFound;
    Log("GetProcAddress", std::move(line), error);
    return error ? nullptr : proc;
}

void FreeLibrary(ModuleHandle module) {
    uint32_t error = kErrorSuccess;
    if (module != &g_advapi32 || host::detail::LibraryLoads() <= 0)
        error = kErrorInvalidHandle;
    else
        host::detail::AdjustLibraryLoads(-1);
    Log("FreeLibrary", "FreeLibrary", error);
}

}  // namespace platform

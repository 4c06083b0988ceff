// Library loading for Linux: "advapi32.dll" is the emulated service manager.
#include "platform/library.h"

#include <cstdint>
#include <algorithm>
#include <string>

#include "platform/errors.h"
#include "platform/host/scm_entry_points.h"
#include "platform/host/scm_model.h"
#include "platform/host/scm_store.h"

namespace platform {

struct ModuleObject {
    int unused;
};

namespace host {
namespace {

ModuleObject Advapi32{0};

struct Export {
    std::string_view name;
    GenericProc proc;
};

const Export kExports[] = {
    {"OpenSCManagerA", reinterpret_cast<GenericProc>(&detail::ScmOpenSCManagerA)},
    {"OpenServiceA", reinterpret_cast<GenericProc>(&detail::ScmOpenServiceA)},
    {"ControlService", reinterpret_cast<GenericProc>(&detail::ScmControlService)},
    {"CloseServiceHandle", reinterpret_cast<GenericProc>(&detail::ScmCloseServiceHandle)},
    {"EnumServicesStatusA", reinterpret_cast<GenericProc>(&detail::ScmEnumServicesStatusA)},
    {"StartServiceA", reinterpret_cast<GenericProc>(&detail::ScmStartServiceA)},
    {"QueryServiceStatus", reinterpret_cast<GenericProc>(&detail::ScmQueryServiceStatus)},
};

// Names compare without regard to case; a name without an extension means a ".dll".
bool IsAdvapi32(const char* fileName) {
    const std::string name = LowerName(fileName);
    return name == "advapi32.dll" || name == "advapi32";
}

}  // namespace

ModuleHandle ServiceManager::LoadLibraryA(const char* fileName) {
    uint32_t error = TakeFault(EntryPoint::LoadLibraryA);
    if (!error) error = libraryLoadFailure;
    if (!error && !fileName) error = kErrorInvalidParameter;
    if (!error && !IsAdvapi32(fileName)) error = kErrorModNotFound;
    if (!error) ++libraryLoads;
    Finish(EntryPoint::LoadLibraryA, fileName ? fileName : "(null)", error, "ok");
    return error ? nullptr : &Advapi32;
}

GenericProc ServiceManager::GetProcAddress(ModuleHandle module, const char* procName) {
    // A value below 0x10000 is an ordinal, not a name; the emulation exports none by ordinal.
    const bool byName = reinterpret_cast<std::uintptr_t>(procName) >= 0x10000;
    const std::string_view name = byName ? procName : "(ordinal)";
    uint32_t error = TakeFault(EntryPoint::GetProcAddress);
    GenericProc proc = nullptr;
    if (!error && module != &Advapi32) error = module ? kErrorInvalidHandle : kErrorProcNotFound;
    const bool hidden =
        std::find(hiddenEntryPoints.begin(), hiddenEntryPoints.end(), name) != hiddenEntryPoints.end();
    if (!error && byName && !hidden) {
        for (const Export& item : kExports)
            if (item.name == name) proc = item.proc;
    }
    if (!error && !proc) error = kErrorProcNotFound;
    Finish(EntryPoint::GetProcAddress, name, error, "ok");
    return error ? nullptr : proc;
}

void ServiceManager::FreeLibrary(ModuleHandle module) {
    uint32_t error = kErrorSuccess;
    if (module != &Advapi32 || libraryLoads <= 0)
        error = kErrorInvalidHandle;
    else
        --libraryLoads;
    Finish(EntryPoint::FreeLibrary, "", error, "ok");
}

}  // namespace host

ModuleHandle LoadLibraryA(const char* fileName) { return host::ActiveServiceManager().LoadLibraryA(fileName); }

GenericProc GetProcAddress(ModuleHandle module, const char* procName) {
    return host::ActiveServiceManager().GetProcAddress(module, procName);
}

void FreeLibrary(ModuleHandle module) { host::ActiveServiceManager().FreeLibrary(module); }

}  // namespace platform

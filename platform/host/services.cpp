// The emulated service control manager, in the image of Wine's programs/services: entries with a
// configuration, a status and a marked-for-delete flag, in a store (scm_store.h); typed handles
// that carry the access granted at their opening; the same error codes in the same order of checks.
// Only what the program asks of it is emulated: the stop control, status queries, creation and
// deletion; the calls it binds but never makes fail as not implemented.
//
// Rights: a caller may look at the store when it may read its directory, and change it when it may
// write there. Opening the manager or a service with a right that changes something (create,
// delete, start, stop, ...) needs the latter, else it fails with access denied.
//
// Handles across processes: every service handle opened by a caller that may write the store is
// recorded in the service's record as the id of the process that holds it. A service marked for
// delete goes when it is stopped and no recorded handle is left; handles of processes that have
// ended no longer count, as the system closes a dead client's handles. Handles opened by a caller
// without write rights cannot be recorded and do not keep a marked service.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <iterator>
#include <map>

#include "platform/errors.h"
#include "platform/host/scm_entry_points.h"
#include "platform/host/scm_model.h"
#include "platform/host/scm_store.h"
#include "platform/nul_list.h"
#include "platform/services.h"

namespace platform {
namespace host {
namespace {

constexpr uint32_t kWriteDac = 0x00040000;
constexpr uint32_t kWriteOwner = 0x00080000;
constexpr uint32_t kScManagerLock = 0x0008;
constexpr uint32_t kScManagerModifyBootConfig = 0x0020;

constexpr uint32_t kServiceKernelDriver = 0x0001;
constexpr uint32_t kServiceFileSystemDriver = 0x0002;
constexpr uint32_t kServiceWin32ShareProcess = 0x0020;
constexpr uint32_t kServiceSystemStart = 1;
constexpr uint32_t kServiceDisabled = 4;
constexpr uint32_t kServiceErrorCritical = 3;

// The rights that change the manager or a service, and so need write access to the store.
constexpr uint32_t kManagerChangeRights =
    kScManagerCreateService | kScManagerLock | kScManagerModifyBootConfig | kDeleteAccess | kWriteDac | kWriteOwner;
constexpr uint32_t kServiceChangeRights = kServiceChangeConfig | kServiceStart | kServiceStop |
                                          kServicePauseContinue | kServiceUserDefinedControl | kDeleteAccess |
                                          kWriteDac | kWriteOwner;

constexpr std::string_view kEntryPointNames[] = {
    "LoadLibraryA",       "GetProcAddress", "FreeLibrary",        "OpenSCManagerA",
    "OpenServiceA",       "CreateServiceA", "DeleteService",      "ControlService",
    "QueryServiceStatus", "CloseServiceHandle", "StartServiceA",  "EnumServicesStatusA",
    "Sleep",
};
// One name for each entry point, in the order of the enum.
static_assert(std::size(kEntryPointNames) == static_cast<std::size_t>(EntryPoint::Sleep) + 1);

// Handle values are numbers, never reused in a process, so a closed handle stays invalid; shared by
// every manager of the process, so that no two handles are ever the same value.
std::atomic<std::uintptr_t> LastHandleValue{0x5c000};

std::string Hex(uint32_t value) {
    char text[16];
    // NOLINTNEXTLINE(cert-err33-c): 16 bytes hold "0x" and any 32-bit value; nothing is cut off
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

std::string Text(const char* value) { return value ? value : "(null)"; }

std::string StateText(const ServiceStatus& status) { return "state " + std::to_string(status.currentState); }

bool ProcessAlive(int pid) { return pid == ::getpid() || ::kill(pid, 0) == 0 || errno == EPERM; }

void DropEndedProcesses(ServiceEntry& entry) {
    entry.openHandles.erase(std::remove_if(entry.openHandles.begin(), entry.openHandles.end(),
                                           [](int pid) { return !ProcessAlive(pid); }),
                            entry.openHandles.end());
}

bool Removable(const ServiceEntry& entry) {
    return entry.markedForDelete && entry.state == kServiceStopped && entry.openHandles.empty();
}

// Loads a service and drops the handles of ended processes; a marked service that has nothing
// left to keep it goes now (kErrorServiceDoesNotExist), also one whose record was set to stopped
// by hand, as a marked service goes when its process reports stopped.
uint32_t LoadLive(Store& store, StoreSession& session, std::string_view name, ServiceEntry& entry) {
    if (uint32_t error = session.Load(name, entry)) return error;
    if (!store.Writable()) return kErrorSuccess;
    const std::size_t before = entry.openHandles.size();
    DropEndedProcesses(entry);
    if (Removable(entry)) {
        if (uint32_t error = session.Remove(entry.name)) return error;
        return kErrorServiceDoesNotExist;
    }
    return entry.openHandles.size() != before ? session.Save(entry) : kErrorSuccess;
}

void FillStatus(const ServiceEntry& entry, ServiceStatus* status) {
    *status = ServiceStatus{};
    status->serviceType = entry.type;
    status->currentState = entry.state;
    const bool active = entry.state == kServiceRunning || entry.state == kServicePaused;
    status->controlsAccepted = active ? entry.controlsAccepted : 0;
}

uint32_t CheckConfiguration(uint32_t type, uint32_t start, uint32_t errorControl, const char* startName) {
    const uint32_t base = type & ~kServiceInteractiveProcess;
    const bool win32 = base == kServiceWin32OwnProcess || base == kServiceWin32ShareProcess;
    const bool driver = type == kServiceKernelDriver || type == kServiceFileSystemDriver;
    if (!win32 && !driver) return kErrorInvalidParameter;
    if ((type & kServiceInteractiveProcess) && startName && *startName && std::string_view(startName) != "LocalSystem")
        return kErrorInvalidParameter;
    if (start > kServiceDisabled) return kErrorInvalidParameter;
    if (win32 && start <= kServiceSystemStart) return kErrorInvalidParameter;
    if (errorControl > kServiceErrorCritical) return kErrorInvalidParameter;
    return kErrorSuccess;
}

}  // namespace

bool ValidServiceName(std::string_view name) {
    return !name.empty() && name.find_first_of("/\\") == std::string_view::npos;
}

std::string_view EntryPointName(EntryPoint entryPoint) {
    return kEntryPointNames[static_cast<std::size_t>(entryPoint)];
}

// One open handle: of the manager, or of a service in the manager's store.
struct ServiceManager::Handle {
    bool service = false;
    uint32_t access = 0;
    std::shared_ptr<Store> store;
    std::string name;       // the service's name, for a service handle
    bool recorded = false;  // recorded in the service's record
    uint32_t number = 0;    // for the log

    // A handle to the service `name` in the store of `manager`.
    static Handle ToService(const Handle& manager, std::string name, uint32_t access, bool recorded) {
        Handle service;
        service.service = true;
        service.access = access;
        service.store = manager.store;
        service.name = std::move(name);
        service.recorded = recorded;
        return service;
    }
};

struct ServiceManager::HandleTable {
    std::map<std::uintptr_t, Handle> open;
    uint32_t nextNumber = 1;
};

ServiceManager::ServiceManager() : handles_(std::make_unique<HandleTable>()) {}
ServiceManager::~ServiceManager() = default;

uint32_t ServiceManager::TakeFault(EntryPoint entryPoint) {
    const std::lock_guard<std::mutex> lock(mutex_);
    auto found = std::find_if(faults.begin(), faults.end(),
                              [entryPoint](const Fault& fault) { return fault.entryPoint == entryPoint; });
    if (found == faults.end()) return kErrorSuccess;
    const uint32_t error = found->error;
    faults.erase(found);
    return error;
}

void ServiceManager::Finish(EntryPoint entryPoint, std::string_view arguments, uint32_t error,
                            std::string_view result, std::string dependencies) {
    std::string line(EntryPointName(entryPoint));
    if (!arguments.empty()) line.append(" ").append(arguments);
    line += error ? " -> error " + std::to_string(error) : " -> " + std::string(result);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        log.push_back(Call{entryPoint, std::move(line), error, std::move(dependencies)});
    }
    if (error) SetLastError(error);
}

ScHandle ServiceManager::AddHandle(Handle handle) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::uintptr_t value = LastHandleValue += 0x10;
    handle.number = handles_->nextNumber++;
    handles_->open.emplace(value, std::move(handle));
    return reinterpret_cast<ScHandle>(value);
}

// The handle's state, when `handle` is open and of the kind asked for; ERROR_INVALID_HANDLE otherwise.
uint32_t ServiceManager::FindHandle(ScHandle handle, bool service, Handle& found) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    auto open = handles_->open.find(reinterpret_cast<std::uintptr_t>(handle));
    if (open == handles_->open.end() || open->second.service != service) return kErrorInvalidHandle;
    found = open->second;
    return kErrorSuccess;
}

std::string ServiceManager::HandleText(ScHandle handle) const {
    if (!handle) return "#0";
    const std::lock_guard<std::mutex> lock(mutex_);
    auto open = handles_->open.find(reinterpret_cast<std::uintptr_t>(handle));
    if (open == handles_->open.end()) return "#?";
    // Appended rather than "#" + ...: GCC 12 at -O3 takes that for an overlapping copy (-Wrestrict).
    return std::string("#").append(std::to_string(open->second.number));
}

std::size_t ServiceManager::OpenHandleCount() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return handles_->open.size();
}

void ServiceManager::CloseAllHandles() {
    std::vector<std::uintptr_t> open;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& [value, handle] : handles_->open) open.push_back(value);
    }
    for (const std::uintptr_t value : open) CloseHandle(reinterpret_cast<ScHandle>(value));
}

uint32_t ServiceManager::OpenManager(const char* machine, const char* database, uint32_t desiredAccess,
                                     ScHandle& handle) {
    // Only the active database, by default, is emulated.
    if (database) return kErrorCallNotImplemented;
    std::shared_ptr<Store> chosen = store;
    if (chosen && machine && *machine) return kErrorRpcServerUnavailable;
    if (!chosen) {
        if (uint32_t error = OpenDiskStore(machine, chosen)) return error;
    }
    if (!chosen->Readable()) return kErrorAccessDenied;
    if ((desiredAccess & kManagerChangeRights) && !chosen->Writable()) return kErrorAccessDenied;
    Handle manager;
    manager.access = desiredAccess;
    manager.store = std::move(chosen);
    handle = AddHandle(std::move(manager));
    return kErrorSuccess;
}

uint32_t ServiceManager::OpenService(ScHandle managerHandle, const char* name, uint32_t desiredAccess,
                                     ScHandle& handle) {
    Handle manager;
    if (uint32_t error = FindHandle(managerHandle, false, manager)) return error;
    if (!name) return kErrorInvalidAddress;
    if (!ValidServiceName(name)) return kErrorInvalidName;
    std::unique_ptr<StoreSession> session;
    if (uint32_t error = manager.store->Begin(session)) return error;
    ServiceEntry entry;
    if (uint32_t error = LoadLive(*manager.store, *session, name, entry)) return error;
    if ((desiredAccess & kServiceChangeRights) && !manager.store->Writable()) return kErrorAccessDenied;
    // The handle is recorded in the service's record when the caller may write the store.
    const bool recorded = manager.store->Writable();
    if (recorded) {
        entry.openHandles.push_back(::getpid());
        if (uint32_t error = session->Save(entry)) return error;
    }
    handle = AddHandle(Handle::ToService(manager, entry.name, desiredAccess, recorded));
    return kErrorSuccess;
}

uint32_t ServiceManager::CreateService(ScHandle managerHandle, const char* name, const char* displayName,
                                       uint32_t desiredAccess, uint32_t type, uint32_t start, uint32_t errorControl,
                                       const char* path, const std::vector<std::string>& dependencies,
                                       const char* startName, ScHandle& handle) {
    Handle manager;
    if (uint32_t error = FindHandle(managerHandle, false, manager)) return error;
    if ((manager.access & kScManagerCreateService) != kScManagerCreateService) return kErrorAccessDenied;
    if (!name) return kErrorInvalidAddress;
    if (!ValidServiceName(name)) return kErrorInvalidName;
    if (!path || !*path) return kErrorInvalidParameter;
    if (uint32_t error = CheckConfiguration(type, start, errorControl, startName)) return error;

    ServiceEntry entry;
    entry.name = name;
    entry.displayName = displayName && *displayName ? displayName : name;
    entry.type = type;
    entry.start = start;
    entry.errorControl = errorControl;
    entry.imagePath = path;
    entry.dependencies = dependencies;
    entry.objectName = startName && *startName ? startName : "LocalSystem";
    entry.state = kServiceStopped;

    std::unique_ptr<StoreSession> session;
    if (uint32_t error = manager.store->Begin(session)) return error;
    ServiceEntry found;
    const uint32_t error = LoadLive(*manager.store, *session, name, found);
    if (error == kErrorSuccess) return found.markedForDelete ? kErrorServiceMarkedForDelete : kErrorServiceExists;
    if (error != kErrorServiceDoesNotExist) return error;
    std::vector<ServiceEntry> all;
    if (uint32_t listed = session->List(all)) return listed;
    for (const ServiceEntry& other : all)
        if (LowerName(other.displayName) == LowerName(entry.displayName)) return kErrorDuplicateServiceName;
    // The new record is stored with the handle that this call returns, or the call fails with the
    // store's error and nothing is registered.
    entry.openHandles.push_back(::getpid());
    if (uint32_t saved = session->Save(entry)) return saved;
    handle = AddHandle(Handle::ToService(manager, entry.name, desiredAccess, true));
    return kErrorSuccess;
}

uint32_t ServiceManager::CloseHandle(ScHandle handle) {
    Handle closed;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        auto open = handles_->open.find(reinterpret_cast<std::uintptr_t>(handle));
        if (open == handles_->open.end()) return kErrorInvalidHandle;
        closed = std::move(open->second);
        handles_->open.erase(open);
    }
    if (!closed.service || !closed.recorded) return kErrorSuccess;
    std::unique_ptr<StoreSession> session;
    if (uint32_t error = closed.store->Begin(session)) return error;
    ServiceEntry entry;
    const uint32_t error = session->Load(closed.name, entry);
    if (error == kErrorServiceDoesNotExist) return kErrorSuccess;  // removed by hand
    if (error) return error;
    auto mine = std::find(entry.openHandles.begin(), entry.openHandles.end(), ::getpid());
    if (mine != entry.openHandles.end()) entry.openHandles.erase(mine);
    DropEndedProcesses(entry);
    return Removable(entry) ? session->Remove(entry.name) : session->Save(entry);
}

namespace {

// Runs `body` on the service behind the handle, under the store's lock, after the checks of the
// handle's access. `body` sets `changed` when the record is to be saved.
using ServiceBody = std::function<uint32_t(ServiceEntry& entry, bool& changed)>;

uint32_t WithService(Store& store, const std::string& name, const ServiceBody& body) {
    std::unique_ptr<StoreSession> session;
    if (uint32_t error = store.Begin(session)) return error;
    ServiceEntry entry;
    if (uint32_t error = LoadLive(store, *session, name, entry)) return error;
    bool changed = false;
    uint32_t error = body(entry, changed);
    if (changed) {
        const uint32_t saved = session->Save(entry);
        // A caller without write rights sees the change but cannot keep it.
        if (saved != kErrorSuccess && !(saved == kErrorAccessDenied && !store.Writable()) && !error) error = saved;
    }
    return error;
}

}  // namespace

uint32_t ServiceManager::Stop(ScHandle handle, ServiceStatus* status) {
    Handle service;
    if (uint32_t error = FindHandle(handle, true, service)) return error;
    if ((service.access & kServiceStop) != kServiceStop) return kErrorAccessDenied;
    return WithService(*service.store, service.name, [&](ServiceEntry& entry, bool& changed) -> uint32_t {
        uint32_t refusal = kErrorSuccess;
        if (entry.state == kServiceStopped)
            refusal = kErrorServiceNotActive;
        else if (entry.state == kServiceStopPending)
            refusal = kErrorServiceCannotAcceptCtrl;
        if (refusal) {
            FillStatus(entry, status);
            return refusal;
        }
        if ((entry.controlsAccepted & kServiceAcceptStop) == 0) return kErrorInvalidServiceControl;
        entry.state = kServiceStopPending;
        entry.pendingQueries = 0;
        changed = true;
        FillStatus(entry, status);
        return kErrorSuccess;
    });
}

uint32_t ServiceManager::Query(ScHandle handle, ServiceStatus* status) {
    Handle service;
    if (uint32_t error = FindHandle(handle, true, service)) return error;
    if ((service.access & kServiceQueryStatus) != kServiceQueryStatus) return kErrorAccessDenied;
    return WithService(*service.store, service.name, [&](ServiceEntry& entry, bool& changed) -> uint32_t {
        // After an accepted stop, StopPending queries still see it stopping; -1: it never stops.
        if (entry.state == kServiceStopPending && entry.stopPending != -1) {
            if (entry.pendingQueries < static_cast<uint32_t>(entry.stopPending)) {
                ++entry.pendingQueries;
            } else {
                entry.state = entry.stateAfterStop;
                entry.pendingQueries = 0;
            }
            changed = true;
        }
        FillStatus(entry, status);
        return kErrorSuccess;
    });
}

uint32_t ServiceManager::Delete(ScHandle handle) {
    Handle service;
    if (uint32_t error = FindHandle(handle, true, service)) return error;
    if ((service.access & kDeleteAccess) != kDeleteAccess) return kErrorAccessDenied;
    return WithService(*service.store, service.name, [](ServiceEntry& entry, bool& changed) -> uint32_t {
        if (entry.markedForDelete) return kErrorServiceMarkedForDelete;
        entry.markedForDelete = true;
        changed = true;
        return kErrorSuccess;
    });
}

ScHandle ServiceManager::OpenSCManagerA(const char* machineName, const char* databaseName, uint32_t desiredAccess) {
    std::string arguments;
    if (machineName) arguments += std::string(machineName) + " ";
    if (databaseName) arguments += std::string(databaseName) + " ";
    arguments += Hex(desiredAccess);
    ScHandle handle = nullptr;
    uint32_t error = TakeFault(EntryPoint::OpenSCManagerA);
    if (!error) error = OpenManager(machineName, databaseName, desiredAccess, handle);
    Finish(EntryPoint::OpenSCManagerA, arguments, error, error ? "" : HandleText(handle));
    return error ? nullptr : handle;
}

ScHandle ServiceManager::OpenServiceA(ScHandle manager, const char* serviceName, uint32_t desiredAccess) {
    const std::string arguments = HandleText(manager) + " " + Text(serviceName) + " " + Hex(desiredAccess);
    ScHandle handle = nullptr;
    uint32_t error = TakeFault(EntryPoint::OpenServiceA);
    if (!error) error = OpenService(manager, serviceName, desiredAccess, handle);
    Finish(EntryPoint::OpenServiceA, arguments, error, error ? "" : HandleText(handle));
    return error ? nullptr : handle;
}

ScHandle ServiceManager::CreateServiceA(ScHandle manager, const char* serviceName, const char* displayName,
                                        uint32_t desiredAccess, uint32_t serviceType, uint32_t startType,
                                        uint32_t errorControl, const char* binaryPathName, uint32_t* tagId,
                                        const char* dependencies, const char* serviceStartName) {
    const std::string arguments = HandleText(manager) + " " + Text(serviceName) + " " + Hex(desiredAccess);
    ScHandle handle = nullptr;
    std::string listRead;
    uint32_t error = TakeFault(EntryPoint::CreateServiceA);
    if (!error) {
        listRead.assign(dependencies ? dependencies : "", NulListLength(dependencies));
        error = CreateService(manager, serviceName, displayName, desiredAccess, serviceType, startType, errorControl,
                              binaryPathName, NulListItems(dependencies), serviceStartName, handle);
    }
    if (!error && tagId) *tagId = 0;
    Finish(EntryPoint::CreateServiceA, arguments, error, error ? "" : HandleText(handle), std::move(listRead));
    return error ? nullptr : handle;
}

bool ServiceManager::DeleteService(ScHandle service) {
    const std::string arguments = HandleText(service);
    uint32_t error = TakeFault(EntryPoint::DeleteService);
    if (!error) error = Delete(service);
    Finish(EntryPoint::DeleteService, arguments, error, "ok");
    return !error;
}

bool ServiceManager::ControlService(ScHandle service, uint32_t control, ServiceStatus* status) {
    const std::string arguments = HandleText(service) + " " + std::to_string(control);
    uint32_t error = TakeFault(EntryPoint::ControlService);
    if (!error && !status) error = kErrorInvalidAddress;
    // The stop is the one control the program sends.
    if (!error) error = control == kServiceControlStop ? Stop(service, status) : kErrorCallNotImplemented;
    Finish(EntryPoint::ControlService, arguments, error, error ? "" : StateText(*status));
    return !error;
}

bool ServiceManager::QueryServiceStatus(ScHandle service, ServiceStatus* status) {
    const std::string arguments = HandleText(service);
    uint32_t error = TakeFault(EntryPoint::QueryServiceStatus);
    if (!error && !status) error = kErrorInvalidAddress;
    if (!error) error = Query(service, status);
    Finish(EntryPoint::QueryServiceStatus, arguments, error, error ? "" : StateText(*status));
    return !error;
}

bool ServiceManager::CloseServiceHandle(ScHandle handle) {
    const std::string arguments = HandleText(handle);
    uint32_t error = TakeFault(EntryPoint::CloseServiceHandle);
    if (!error) error = CloseHandle(handle);
    Finish(EntryPoint::CloseServiceHandle, arguments, error, "ok");
    return !error;
}

bool ServiceManager::StartServiceA(ScHandle service) {
    const std::string arguments = HandleText(service);
    uint32_t error = TakeFault(EntryPoint::StartServiceA);
    if (!error) error = kErrorCallNotImplemented;
    Finish(EntryPoint::StartServiceA, arguments, error, "ok");
    return false;
}

bool ServiceManager::EnumServicesStatusA(ScHandle manager) {
    const std::string arguments = HandleText(manager);
    uint32_t error = TakeFault(EntryPoint::EnumServicesStatusA);
    if (!error) error = kErrorCallNotImplemented;
    Finish(EntryPoint::EnumServicesStatusA, arguments, error, "ok");
    return false;
}

ServiceManager* InstalledServiceManager = nullptr;

ServiceManager& ActiveServiceManager() {
    static ServiceManager defaultManager;
    return InstalledServiceManager != nullptr ? *InstalledServiceManager : defaultManager;
}

namespace detail {

ScHandle PLATFORM_API ScmOpenSCManagerA(const char* machineName, const char* databaseName, uint32_t desiredAccess) {
    return ActiveServiceManager().OpenSCManagerA(machineName, databaseName, desiredAccess);
}

ScHandle PLATFORM_API ScmOpenServiceA(ScHandle manager, const char* serviceName, uint32_t desiredAccess) {
    return ActiveServiceManager().OpenServiceA(manager, serviceName, desiredAccess);
}

int PLATFORM_API ScmControlService(ScHandle service, uint32_t control, ServiceStatus* status) {
    return ActiveServiceManager().ControlService(service, control, status) ? 1 : 0;
}

int PLATFORM_API ScmCloseServiceHandle(ScHandle handle) {
    return ActiveServiceManager().CloseServiceHandle(handle) ? 1 : 0;
}

int PLATFORM_API ScmEnumServicesStatusA(ScHandle manager, uint32_t, uint32_t, void*, uint32_t, uint32_t*, uint32_t*,
                                        uint32_t*) {
    return ActiveServiceManager().EnumServicesStatusA(manager) ? 1 : 0;
}

int PLATFORM_API ScmStartServiceA(ScHandle service, uint32_t, const char**) {
    return ActiveServiceManager().StartServiceA(service) ? 1 : 0;
}

int PLATFORM_API ScmQueryServiceStatus(ScHandle service, ServiceStatus* status) {
    return ActiveServiceManager().QueryServiceStatus(service, status) ? 1 : 0;
}

}  // namespace detail
}  // namespace host

ScHandle CreateServiceA(ScHandle manager, const char* serviceName, const char* displayName, uint32_t desiredAccess,
                        uint32_t serviceType, uint32_t startType, uint32_t errorControl, const char* binaryPathName,
                        const char*, uint32_t* tagId, const char* dependencies, const char* serviceStartName,
                        const char*) {
    return host::ActiveServiceManager().CreateServiceA(manager, serviceName, displayName, desiredAccess, serviceType,
                                                        startType, errorControl, binaryPathName, tagId, dependencies,
                                                        serviceStartName);
}

bool DeleteService(ScHandle service) { return host::ActiveServiceManager().DeleteService(service); }

}  // namespace platform

// The emulated service control manager, in the image of Wine's programs/services: entries with a
// configuration, a status and a marked-for-delete flag, in a store (scm_store.h); typed handles
// that carry the access granted at their opening; the same error codes in the same order of checks.
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
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>

#include "platform/errors.h"
#include "platform/host/emulation.h"
#include "platform/host/scm_entry_points.h"
#include "platform/host/scm_store.h"
#include "platform/services.h"

namespace platform {

// Handle values are numbers that are never reused, so a closed handle stays invalid.
struct ScHandleObject;

namespace host {
namespace {

constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kGenericExecute = 0x20000000;
constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kMaximumAllowed = 0x02000000;
constexpr uint32_t kStandardRights = 0x00020000;
constexpr uint32_t kWriteDac = 0x00040000;
constexpr uint32_t kWriteOwner = 0x00080000;

constexpr uint32_t kScManagerLock = 0x0008;
constexpr uint32_t kScManagerQueryLockStatus = 0x0010;
constexpr uint32_t kScManagerModifyBootConfig = 0x0020;

constexpr uint32_t kServiceControlPause = 2;
constexpr uint32_t kServiceControlContinue = 3;
constexpr uint32_t kServiceControlParamChange = 6;
constexpr uint32_t kServiceControlNetBindAdd = 7;
constexpr uint32_t kServiceControlNetBindDisable = 10;
constexpr uint32_t kServiceAcceptPauseContinue = 0x0002;
constexpr uint32_t kServiceAcceptParamChange = 0x0008;
constexpr uint32_t kServiceAcceptNetBindChange = 0x0010;

constexpr uint32_t kServiceKernelDriver = 0x0001;
constexpr uint32_t kServiceFileSystemDriver = 0x0002;
constexpr uint32_t kServiceWin32ShareProcess = 0x0020;
constexpr uint32_t kServiceSystemStart = 1;
constexpr uint32_t kServiceDisabled = 4;
constexpr uint32_t kServiceErrorCritical = 3;

constexpr uint32_t kServiceActive = 1;
constexpr uint32_t kServiceInactive = 2;

// The rights that change the manager or a service, and so need write access to the store.
constexpr uint32_t kManagerChangeRights =
    kScManagerCreateService | kScManagerLock | kScManagerModifyBootConfig | kDeleteAccess | kWriteDac | kWriteOwner;
constexpr uint32_t kServiceChangeRights = kServiceChangeConfig | kServiceStart | kServiceStop |
                                          kServicePauseContinue | kServiceUserDefinedControl | kDeleteAccess |
                                          kWriteDac | kWriteOwner;

uint32_t MapManagerAccess(uint32_t access) {
    if (access & kMaximumAllowed) access |= kScManagerAllAccess;
    if (access & kGenericRead) access |= kStandardRights | kScManagerEnumerateService | kScManagerQueryLockStatus;
    if (access & kGenericWrite) access |= kStandardRights | kScManagerCreateService | kScManagerModifyBootConfig;
    if (access & kGenericExecute) access |= kStandardRights | kScManagerConnect | kScManagerLock;
    if (access & kGenericAll) access |= kScManagerAllAccess;
    return access & ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll | kMaximumAllowed);
}

uint32_t MapServiceAccess(uint32_t access) {
    if (access & kMaximumAllowed) access |= kServiceAllAccess;
    if (access & kGenericRead)
        access |= kStandardRights | kServiceQueryConfig | kServiceQueryStatus | kServiceInterrogate |
                  kServiceEnumerateDependents;
    if (access & kGenericWrite) access |= kStandardRights | kServiceChangeConfig;
    if (access & kGenericExecute)
        access |= kStandardRights | kServiceStart | kServiceStop | kServicePauseContinue | kServiceUserDefinedControl;
    if (access & kGenericAll) access |= kServiceAllAccess;
    return access & ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll | kMaximumAllowed);
}

enum class HandleKind { Manager, Service };

struct HandleState {
    HandleKind kind = HandleKind::Manager;
    uint32_t access = 0;
    std::shared_ptr<Store> store;
    std::string name;       // the service's name, for a service handle
    bool recorded = false;  // recorded in the service's record
    uint32_t number = 0;    // for the log
};

std::mutex g_handlesMutex;
std::map<std::uintptr_t, HandleState> g_handles;
std::uintptr_t g_nextHandleValue = 0x5c000;
uint32_t g_nextHandleNumber = 1;

ScHandle AddHandle(HandleState state) {
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    g_nextHandleValue += 0x10;
    state.number = g_nextHandleNumber++;
    g_handles.emplace(g_nextHandleValue, std::move(state));
    return reinterpret_cast<ScHandle>(g_nextHandleValue);
}

// The handle's state, when `handle` is open and of `kind`; ERROR_INVALID_HANDLE otherwise.
uint32_t FindHandle(ScHandle handle, HandleKind kind, HandleState& state) {
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    auto found = g_handles.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == g_handles.end() || found->second.kind != kind) return kErrorInvalidHandle;
    state = found->second;
    return kErrorSuccess;
}

std::string HandleText(ScHandle handle) {
    if (!handle) return "#0";
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    auto found = g_handles.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == g_handles.end() ? "#?" : "#" + std::to_string(found->second.number);
}

std::string Hex(uint32_t value) {
    char text[16];
    // NOLINTNEXTLINE(cert-err33-c): 16 bytes hold "0x" and any 32-bit value; nothing is cut off
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

std::string Text(const char* value) { return value ? value : "(null)"; }

// Logs the call and sets the last error when it failed; the last error is set last.
void Finish(std::string_view entryPoint, const std::string& arguments, uint32_t error, std::string_view result) {
    std::string line(entryPoint);
    if (!arguments.empty()) line += " " + arguments;
    line += error ? " -> error " + std::to_string(error) : " -> " + std::string(result);
    detail::LogCall(entryPoint, std::move(line), error);
    if (error) SetLastError(error);
}

bool ProcessAlive(int pid) { return pid == ::getpid() || ::kill(pid, 0) == 0 || errno == EPERM; }

bool Removable(const ServiceEntry& entry) {
    return entry.markedForDelete && entry.state == kServiceStopped && entry.openHandles.empty();
}

// Loads a service and drops the handles of ended processes; a marked service that has nothing
// left to keep it goes now (kErrorServiceDoesNotExist), also one whose record was set to stopped
// by hand, as a marked service goes when its process reports stopped.
uint32_t LoadLive(Store& store, StoreSession& session, std::string_view name, ServiceEntry& entry) {
    if (uint32_t error = session.Load(name, entry)) return error;
    if (!store.Writable()) return kErrorSuccess;
    auto dead = std::remove_if(entry.openHandles.begin(), entry.openHandles.end(),
                               [](int pid) { return !ProcessAlive(pid); });
    const bool dropped = dead != entry.openHandles.end();
    entry.openHandles.erase(dead, entry.openHandles.end());
    if (Removable(entry)) {
        if (uint32_t error = session.Remove(entry.name)) return error;
        return kErrorServiceDoesNotExist;
    }
    return dropped ? session.Save(entry) : kErrorSuccess;
}

void FillStatus(const ServiceEntry& entry, ServiceStatus* status) {
    if (!status) return;
    *status = ServiceStatus{};
    status->serviceType = entry.type;
    status->currentState = entry.state;
    bool active = entry.state == kServiceRunning || entry.state == kServicePaused;
    status->controlsAccepted = active ? entry.controlsAccepted : 0;
}

// Runs `body` on the service behind `handle`, under the store's lock, after the checks of the
// handle (type, then access). `body` sets `changed` when the record is to be saved.
using ServiceBody = std::function<uint32_t(ServiceEntry& entry, bool& changed)>;

uint32_t WithService(ScHandle handle, uint32_t neededAccess, const ServiceBody& body) {
    HandleState state;
    if (uint32_t error = FindHandle(handle, HandleKind::Service, state)) return error;
    if ((state.access & neededAccess) != neededAccess) return kErrorAccessDenied;
    std::unique_ptr<StoreSession> session;
    if (uint32_t error = state.store->Begin(session)) return error;
    ServiceEntry entry;
    if (uint32_t error = LoadLive(*state.store, *session, state.name, entry)) return error;
    bool changed = false;
    uint32_t error = body(entry, changed);
    if (changed) {
        uint32_t saved = session->Save(entry);
        // A caller without write rights sees the change but cannot keep it.
        if (saved != kErrorSuccess && !(saved == kErrorAccessDenied && !state.store->Writable()) && !error)
            error = saved;
    }
    return error;
}

uint32_t ActiveStore(const char* machine, std::shared_ptr<Store>& store) {
    if (std::shared_ptr<Store> installed = detail::InstalledStore()) {
        if (machine && *machine) return kErrorRpcServerUnavailable;
        store = installed;
        return kErrorSuccess;
    }
    return OpenDiskStore(machine, store);
}

uint32_t OpenManager(const char* machine, const char* database, uint32_t desiredAccess, ScHandle& handle) {
    std::shared_ptr<Store> store;
    if (uint32_t error = ActiveStore(machine, store)) return error;
    if (database && *database) {
        if (std::strcmp(database, "ServicesFailed") == 0) return kErrorDatabaseDoesNotExist;
        if (std::strcmp(database, "ServicesActive") != 0) return kErrorInvalidName;
    }
    uint32_t access = MapManagerAccess(desiredAccess);
    if (!store->Readable()) return kErrorAccessDenied;
    if ((access & kManagerChangeRights) && !store->Writable()) return kErrorAccessDenied;
    HandleState state;
    state.kind = HandleKind::Manager;
    state.access = access;
    state.store = std::move(store);
    handle = AddHandle(std::move(state));
    return kErrorSuccess;
}

bool ValidServiceName(const char* name) {
    return *name && std::strpbrk(name, "/\\") == nullptr;
}

// A new handle to the service `name` in the manager's store; `recorded` when the service's record
// holds it.
ScHandle AddServiceHandle(const HandleState& manager, const std::string& name, uint32_t access, bool recorded) {
    HandleState state;
    state.kind = HandleKind::Service;
    state.access = access;
    state.store = manager.store;
    state.name = name;
    state.recorded = recorded;
    return AddHandle(std::move(state));
}

// Records a new service handle in the service's record, when the caller may write the store, then
// opens it.
uint32_t OpenRecorded(const HandleState& manager, StoreSession& session, ServiceEntry& entry, uint32_t access,
                      ScHandle& handle) {
    const bool recorded = manager.store->Writable();
    if (recorded) {
        entry.openHandles.push_back(::getpid());
        if (uint32_t error = session.Save(entry)) return error;
    }
    handle = AddServiceHandle(manager, entry.name, access, recorded);
    return kErrorSuccess;
}

uint32_t OpenService(ScHandle managerHandle, const char* name, uint32_t desiredAccess, ScHandle& handle) {
    HandleState manager;
    if (uint32_t error = FindHandle(managerHandle, HandleKind::Manager, manager)) return error;
    if (!name) return kErrorInvalidAddress;
    if (!ValidServiceName(name)) return kErrorInvalidName;
    std::unique_ptr<StoreSession> session;
    if (uint32_t error = manager.store->Begin(session)) return error;
    ServiceEntry entry;
    if (uint32_t error = LoadLive(*manager.store, *session, name, entry)) return error;
    uint32_t access = MapServiceAccess(desiredAccess);
    if ((access & kServiceChangeRights) && !manager.store->Writable()) return kErrorAccessDenied;
    return OpenRecorded(manager, *session, entry, access, handle);
}

uint32_t CheckConfiguration(uint32_t type, uint32_t start, uint32_t errorControl, const char* startName) {
    uint32_t base = type & ~kServiceInteractiveProcess;
    bool win32 = base == kServiceWin32OwnProcess || base == kServiceWin32ShareProcess;
    bool driver = type == kServiceKernelDriver || type == kServiceFileSystemDriver;
    if (!win32 && !driver) return kErrorInvalidParameter;
    if ((type & kServiceInteractiveProcess) && startName && *startName && std::strcmp(startName, "LocalSystem") != 0)
        return kErrorInvalidParameter;
    if (start > kServiceDisabled) return kErrorInvalidParameter;
    if (win32 && start <= kServiceSystemStart) return kErrorInvalidParameter;
    if (errorControl > kServiceErrorCritical) return kErrorInvalidParameter;
    return kErrorSuccess;
}

uint32_t CreateService(ScHandle managerHandle, const char* name, const char* displayName, uint32_t desiredAccess,
                       uint32_t type, uint32_t start, uint32_t errorControl, const char* path,
                       const char* dependencies, const char* startName, ScHandle& handle) {
    HandleState manager;
    if (uint32_t error = FindHandle(managerHandle, HandleKind::Manager, manager)) return error;
    if ((manager.access & kScManagerCreateService) != kScManagerCreateService) return kErrorAccessDenied;
    if (!name) return kErrorInvalidAddress;
    if (!ValidServiceName(name)) return kErrorInvalidName;
    if (!path || !*path) return kErrorInvalidParameter;

    ServiceEntry entry;
    entry.name = name;
    entry.displayName = displayName && *displayName ? displayName : name;
    entry.type = type;
    entry.start = start;
    entry.errorControl = errorControl;
    entry.imagePath = path;
    entry.objectName = startName && *startName ? startName : "LocalSystem";
    entry.state = kServiceStopped;
    // The list is read up to its first empty name.
    for (const char* item = dependencies; item && *item; item += std::strlen(item) + 1)
        entry.dependencies.emplace_back(item);
    if (uint32_t error = CheckConfiguration(type, start, errorControl, startName)) return error;

    std::unique_ptr<StoreSession> session;
    if (uint32_t error = manager.store->Begin(session)) return error;
    ServiceEntry found;
    uint32_t error = LoadLive(*manager.store, *session, name, found);
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
    handle = AddServiceHandle(manager, entry.name, MapServiceAccess(desiredAccess), true);
    return kErrorSuccess;
}

uint32_t CloseHandle(ScHandle handle) {
    HandleState state;
    {
        std::lock_guard<std::mutex> lock(g_handlesMutex);
        auto found = g_handles.find(reinterpret_cast<std::uintptr_t>(handle));
        if (found == g_handles.end()) return kErrorInvalidHandle;
        state = std::move(found->second);
        g_handles.erase(found);
    }
    if (state.kind != HandleKind::Service || !state.recorded) return kErrorSuccess;
    std::unique_ptr<StoreSession> session;
    if (uint32_t error = state.store->Begin(session)) return error;
    ServiceEntry entry;
    uint32_t error = session->Load(state.name, entry);
    if (error == kErrorServiceDoesNotExist) return kErrorSuccess;  // removed by hand
    if (error) return error;
    auto mine = std::find(entry.openHandles.begin(), entry.openHandles.end(), ::getpid());
    if (mine != entry.openHandles.end()) entry.openHandles.erase(mine);
    entry.openHandles.erase(std::remove_if(entry.openHandles.begin(), entry.openHandles.end(),
                                           [](int pid) { return !ProcessAlive(pid); }),
                            entry.openHandles.end());
    return Removable(entry) ? session->Remove(entry.name) : session->Save(entry);
}

uint32_t Control(ScHandle handle, uint32_t control, ServiceStatus* status) {
    if (!handle) return kErrorInvalidHandle;
    if (!status) return kErrorInvalidAddress;
    uint32_t needed = 0;
    uint32_t accept = 0;
    if (control == kServiceControlStop) {
        needed = kServiceStop;
        accept = kServiceAcceptStop;
    } else if (control == kServiceControlInterrogate) {
        needed = kServiceInterrogate;
    } else if (control == kServiceControlPause || control == kServiceControlContinue) {
        needed = kServicePauseContinue;
        accept = kServiceAcceptPauseContinue;
    } else if (control == kServiceControlParamChange) {
        needed = kServicePauseContinue;
        accept = kServiceAcceptParamChange;
    } else if (control >= kServiceControlNetBindAdd && control <= kServiceControlNetBindDisable) {
        needed = kServicePauseContinue;
        accept = kServiceAcceptNetBindChange;
    } else if (control >= 128 && control <= 255) {
        needed = kServiceUserDefinedControl;
        accept = 0xFFFFFFFF;  // the emulated services handle no control of their own
    } else {
        return kErrorInvalidParameter;
    }
    return WithService(handle, needed, [&](ServiceEntry& entry, bool& changed) -> uint32_t {
        uint32_t refusal = kErrorSuccess;
        if (entry.state == kServiceStopped)
            refusal = kErrorServiceNotActive;
        else if (entry.state == kServiceStopPending || (entry.state == kServiceStartPending && control != kServiceControlStop))
            refusal = kErrorServiceCannotAcceptCtrl;
        if (refusal) {
            FillStatus(entry, status);
            return refusal;
        }
        bool accepted = control == kServiceControlInterrogate ||
                        (accept != 0xFFFFFFFF && (entry.controlsAccepted & accept) == accept);
        if (!accepted) return kErrorInvalidServiceControl;
        if (control == kServiceControlStop) {
            entry.state = kServiceStopPending;
            entry.pendingQueries = 0;
            changed = true;
        } else if (control == kServiceControlPause && entry.state == kServiceRunning) {
            entry.state = kServicePaused;
            changed = true;
        } else if (control == kServiceControlContinue && entry.state == kServicePaused) {
            entry.state = kServiceRunning;
            changed = true;
        }
        FillStatus(entry, status);
        return kErrorSuccess;
    });
}

uint32_t Query(ScHandle handle, ServiceStatus* status) {
    if (!handle) return kErrorInvalidHandle;
    if (!status) return kErrorInvalidAddress;
    return WithService(handle, kServiceQueryStatus, [&](ServiceEntry& entry, bool& changed) -> uint32_t {
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

uint32_t Delete(ScHandle handle) {
    return WithService(handle, kDeleteAccess, [](ServiceEntry& entry, bool& changed) -> uint32_t {
        if (entry.markedForDelete) return kErrorServiceMarkedForDelete;
        entry.markedForDelete = true;
        changed = true;
        return kErrorSuccess;
    });
}

uint32_t Start(ScHandle handle) {
    return WithService(handle, kServiceStart, [](ServiceEntry& entry, bool& changed) -> uint32_t {
        if (entry.start == kServiceDisabled) return kErrorServiceDisabled;
        if (entry.markedForDelete) return kErrorServiceMarkedForDelete;
        if (entry.state != kServiceStopped) return kErrorServiceAlreadyRunning;
        entry.state = kServiceRunning;
        entry.pendingQueries = 0;
        changed = true;
        return kErrorSuccess;
    });
}

// ENUM_SERVICE_STATUSA: the strings it points to follow the records in the same buffer.
struct EnumServiceStatusA {
    char* serviceName;
    char* displayName;
    ServiceStatus status;
};

bool StateMatches(uint32_t state, uint32_t mask) {
    return (state == kServiceStopped) ? (mask & kServiceInactive) != 0 : (mask & kServiceActive) != 0;
}

uint32_t Enumerate(ScHandle handle, uint32_t type, uint32_t state, void* buffer, uint32_t size, uint32_t* needed,
                   uint32_t* returned, uint32_t* resume) {
    if (!handle) return kErrorInvalidHandle;
    if (!needed || !returned) return kErrorInvalidAddress;
    if (!type || !state) return kErrorInvalidParameter;
    HandleState manager;
    if (uint32_t error = FindHandle(handle, HandleKind::Manager, manager)) return error;
    if ((manager.access & kScManagerEnumerateService) != kScManagerEnumerateService) return kErrorAccessDenied;
    std::unique_ptr<StoreSession> session;
    if (uint32_t error = manager.store->Begin(session)) return error;
    std::vector<ServiceEntry> all;
    if (uint32_t error = session->List(all)) return error;
    std::vector<const ServiceEntry*> chosen;
    std::size_t total = 0;
    for (const ServiceEntry& entry : all) {
        if (!(entry.type & type) || !StateMatches(entry.state, state)) continue;
        chosen.push_back(&entry);
        total += sizeof(EnumServiceStatusA) + entry.name.size() + 1 + entry.displayName.size() + 1;
    }
    *returned = 0;
    *needed = static_cast<uint32_t>(total);
    if (total > size || (total && !buffer)) return kErrorMoreData;
    auto* bytes = static_cast<char*>(buffer);
    std::size_t text = chosen.size() * sizeof(EnumServiceStatusA);
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        EnumServiceStatusA record{};
        record.serviceName = bytes + text;
        std::memcpy(bytes + text, chosen[i]->name.c_str(), chosen[i]->name.size() + 1);
        text += chosen[i]->name.size() + 1;
        record.displayName = bytes + text;
        std::memcpy(bytes + text, chosen[i]->displayName.c_str(), chosen[i]->displayName.size() + 1);
        text += chosen[i]->displayName.size() + 1;
        FillStatus(*chosen[i], &record.status);
        std::memcpy(bytes + i * sizeof record, &record, sizeof record);
    }
    *returned = static_cast<uint32_t>(chosen.size());
    *needed = 0;
    if (resume) *resume = 0;
    return kErrorSuccess;
}

std::string StateText(const ServiceStatus& status) { return "state " + std::to_string(status.currentState); }

}  // namespace

namespace detail {

ScHandle PLATFORM_API ScmOpenSCManagerA(const char* machineName, const char* databaseName, uint32_t desiredAccess) {
    std::string arguments;
    if (machineName) arguments += std::string(machineName) + " ";
    if (databaseName) arguments += std::string(databaseName) + " ";
    arguments += Hex(desiredAccess);
    ScHandle handle = nullptr;
    uint32_t error = TakeInjectedFailure("OpenSCManagerA");
    if (!error) error = OpenManager(machineName, databaseName, desiredAccess, handle);
    Finish("OpenSCManagerA", arguments, error, error ? "" : HandleText(handle));
    return error ? nullptr : handle;
}

ScHandle PLATFORM_API ScmOpenServiceA(ScHandle manager, const char* serviceName, uint32_t desiredAccess) {
    std::string arguments = HandleText(manager) + " " + Text(serviceName) + " " + Hex(desiredAccess);
    ScHandle handle = nullptr;
    uint32_t error = TakeInjectedFailure("OpenServiceA");
    if (!error) error = OpenService(manager, serviceName, desiredAccess, handle);
    Finish("OpenServiceA", arguments, error, error ? "" : HandleText(handle));
    return error ? nullptr : handle;
}

int PLATFORM_API ScmControlService(ScHandle service, uint32_t control, ServiceStatus* status) {
    std::string arguments = HandleText(service) + " " + std::to_string(control);
    uint32_t error = TakeInjectedFailure("ControlService");
    if (!error) error = Control(service, control, status);
    Finish("ControlService", arguments, error, error ? "" : StateText(*status));
    return error ? 0 : 1;
}

int PLATFORM_API ScmCloseServiceHandle(ScHandle handle) {
    std::string arguments = HandleText(handle);
    uint32_t error = TakeInjectedFailure("CloseServiceHandle");
    if (!error) error = CloseHandle(handle);
    Finish("CloseServiceHandle", arguments, error, "ok");
    return error ? 0 : 1;
}

int PLATFORM_API ScmEnumServicesStatusA(ScHandle manager, uint32_t serviceType, uint32_t serviceState,
                                        void* services, uint32_t bufferSize, uint32_t* bytesNeeded,
                                        uint32_t* servicesReturned, uint32_t* resumeHandle) {
    std::string arguments = HandleText(manager);
    uint32_t error = TakeInjectedFailure("EnumServicesStatusA");
    if (!error)
        error = Enumerate(manager, serviceType, serviceState, services, bufferSize, bytesNeeded, servicesReturned,
                          resumeHandle);
    Finish("EnumServicesStatusA", arguments, error, "ok");
    return error ? 0 : 1;
}

int PLATFORM_API ScmStartServiceA(ScHandle service, uint32_t, const char**) {
    std::string arguments = HandleText(service);
    uint32_t error = TakeInjectedFailure("StartServiceA");
    if (!error) error = Start(service);
    Finish("StartServiceA", arguments, error, "ok");
    return error ? 0 : 1;
}

int PLATFORM_API ScmQueryServiceStatus(ScHandle service, ServiceStatus* status) {
    std::string arguments = HandleText(service);
    uint32_t error = TakeInjectedFailure("QueryServiceStatus");
    if (!error) error = Query(service, status);
    Finish("QueryServiceStatus", arguments, error, error ? "" : StateText(*status));
    return error ? 0 : 1;
}

std::size_t CountOpenHandles() {
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    return g_handles.size();
}

void DropAllHandles() {
    std::vector<std::uintptr_t> open;
    {
        std::lock_guard<std::mutex> lock(g_handlesMutex);
        for (const auto& [value, state] : g_handles) open.push_back(value);
    }
    // Closed as the program would, so the store keeps no record of them.
    for (std::uintptr_t value : open) CloseHandle(reinterpret_cast<ScHandle>(value));
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    g_nextHandleNumber = 1;
}

}  // namespace detail
}  // namespace host

ScHandle CreateServiceA(ScHandle manager, const char* serviceName, const char* displayName, uint32_t desiredAccess,
                        uint32_t serviceType, uint32_t startType, uint32_t errorControl, const char* binaryPathName,
                        const char*, uint32_t* tagId, const char* dependencies, const char* serviceStartName,
                        const char*) {
    using namespace host;
    std::string arguments = HandleText(manager) + " " + Text(serviceName) + " " + Hex(desiredAccess);
    ScHandle handle = nullptr;
    uint32_t error = detail::TakeInjectedFailure("CreateServiceA");
    detail::KeepDependencyBytesIfAsked(dependencies);
    if (!error)
        error = host::CreateService(manager, serviceName, displayName, desiredAccess, serviceType, startType,
                                    errorControl, binaryPathName, dependencies, serviceStartName, handle);
    if (!error && tagId) *tagId = 0;
    Finish("CreateServiceA", arguments, error, error ? "" : HandleText(handle));
    return error ? nullptr : handle;
}

bool DeleteService(ScHandle service) {
    using namespace host;
    std::string arguments = HandleText(service);
    uint32_t error = detail::TakeInjectedFailure("DeleteService");
    if (!error) error = Delete(service);
    Finish("DeleteService", arguments, error, "ok");
    return error == kErrorSuccess;
}

}  // namespace platform

#include "servises/servises.h"

#include <array>
#include <memory>

#include "platform/errors.h"
#include "platform/library.h"
#include "platform/services.h"
#include "platform/sync.h"

namespace servises {

std::string ServiceLibraryName = "advapi32.dll";

namespace {

// The entry points bound at run time, in the order they are looked up.
struct ServiceApiTable {
    platform::OpenSCManagerAProc OpenSCManagerA = nullptr;
    platform::OpenServiceAProc OpenServiceA = nullptr;
    platform::ControlServiceProc ControlService = nullptr;
    platform::CloseServiceHandleProc CloseServiceHandle = nullptr;
    platform::EnumServicesStatusAProc EnumServicesStatusA = nullptr;
    platform::StartServiceAProc StartServiceA = nullptr;
    platform::QueryServiceStatusProc QueryServiceStatus = nullptr;

    bool Complete() const {
        return OpenSCManagerA && OpenServiceA && ControlService && CloseServiceHandle &&
               EnumServicesStatusA && StartServiceA && QueryServiceStatus;
    }
};

std::unique_ptr<platform::CriticalSection> ServiceApiLock;
platform::ModuleHandle ServiceLibraryHandle = nullptr;
uint8_t BindAttempted = 0;
ServiceApiTable ServiceApi;

constexpr uint32_t kLastErrorTextSize = 512;
constexpr uint32_t kStopWaitMilliseconds = 1000;
constexpr int kStopPolls = 20;
// A deleted service that something still holds open stays registered, marked for deletion, until
// the last handle closes. The removal looks again this often, for at most 20 s.
constexpr uint32_t kGoneCheckMilliseconds = 250;
constexpr int kGoneChecks = 80;

template <typename Proc>
void Bind(Proc& entry, const char* name) {
    entry = platform::ProcCast<Proc>(platform::GetProcAddress(ServiceLibraryHandle, name));
}

// Raises the unit's error with `firstLine` and the system's text for the last error. Called right
// after the failing call, before anything else can change the last error.
[[noreturn]] void RaiseWithSystemText(const char* firstLine) {
    const std::string systemText = LastErrorText();
    throw EServiceError(std::string(firstLine) + "\r\n" + systemText);
}

// The same with the system's text for `code`, for a failure that no call reported.
[[noreturn]] void RaiseWithSystemText(const char* firstLine, uint32_t code) {
    platform::SetLastError(code);
    RaiseWithSystemText(firstLine);
}

void RequireServiceApi() {
    if (!ServiceApiAvailable()) throw EServiceError("advapi32.dll wasn`t loaded");
}

// Closes a manager or service handle, if one was obtained, when it goes out of scope; declared in
// the order of opening, the guards close in reverse.
class ScHandleGuard {
public:
    explicit ScHandleGuard(platform::ScHandle handle) : handle_(handle) {}
    ~ScHandleGuard() {
        if (handle_ != nullptr) ServiceApi.CloseServiceHandle(handle_);
    }
    ScHandleGuard(const ScHandleGuard&) = delete;
    ScHandleGuard& operator=(const ScHandleGuard&) = delete;

    platform::ScHandle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    platform::ScHandle handle_;
};

// Asks the service to stop and waits until it has. Deleting a service that runs, or may run, only
// marks it: it would go once its process ends, and a new registration of its name fails until
// then. So the removal goes on only when the service has stopped, or when the system refuses the
// request because the service is not running.
void StopBeforeDeletion(platform::ScHandle service) {
    platform::ServiceStatus status{};
    if (!ServiceApi.ControlService(service, platform::kServiceControlStop, &status)) {
        const uint32_t refusal = platform::GetLastError();
        // Not running; or already marked for deletion, which nothing here can undo: it is waited for.
        if (refusal == platform::kErrorServiceNotActive || refusal == platform::kErrorServiceMarkedForDelete) return;
        // Running without accepting a stop, starting, stopping, other services depending on it,
        // or no right to stop it.
        RaiseWithSystemText("Cannot stop service");
    }
    platform::Sleep(kStopWaitMilliseconds);
    int pollsLeft = kStopPolls;
    while (ServiceApi.QueryServiceStatus(service, &status) && pollsLeft > 0 &&
           status.currentState == platform::kServiceStopPending) {
        platform::Sleep(kStopWaitMilliseconds);
        --pollsLeft;
    }
    // The record holds what the last call left in it, also after a failed query.
    if (status.currentState != platform::kServiceStopped) throw EServiceError("Cannot stop service");
}

// Whether the service is still registered (deleted, it may stay marked for deletion). The handle
// this opens is closed before it returns: it would keep the registration too.
bool StillRegistered(platform::ScHandle manager, const std::string& serviceName) {
    const ScHandleGuard service(
        ServiceApi.OpenServiceA(manager, serviceName.c_str(), platform::kServiceQueryStatus));
    if (service) return true;
    if (platform::GetLastError() == platform::kErrorServiceDoesNotExist) return false;
    RaiseWithSystemText("Cannot delete service");
}

// Waits until the deleted service's registration is gone, so that its name can be registered
// again: at once when nothing else holds it open, else when the last holder closes its handle.
void WaitUntilGone(platform::ScHandle manager, const std::string& serviceName) {
    for (int sleeps = 0; StillRegistered(manager, serviceName); ++sleeps) {
        if (sleeps == kGoneChecks) {
            RaiseWithSystemText("Cannot delete service", platform::kErrorServiceMarkedForDelete);
        }
        platform::Sleep(kGoneCheckMilliseconds);
    }
}

}  // namespace

void StartUnit() {
    ServiceApiLock = std::make_unique<platform::CriticalSection>();
    ServiceLibraryName = "advapi32.dll";
    ServiceLibraryHandle = nullptr;
    BindAttempted = 0;
    ServiceApi = {};
}

void StopUnit() noexcept {
    ServiceApiLock.reset();
    if (ServiceLibraryHandle != nullptr) platform::FreeLibrary(ServiceLibraryHandle);
    ServiceLibraryHandle = nullptr;
    ServiceApi = {};
    ServiceLibraryName.clear();
}

bool ServiceApiAvailable() {
    // Before the unit's start or after its stop there is nothing to bind with.
    if (!ServiceApiLock) return false;
    const platform::CriticalSectionGuard lock(*ServiceApiLock);
    if (ServiceLibraryHandle == nullptr && BindAttempted == 0) {
        BindAttempted = 1;
        ServiceLibraryHandle = platform::LoadLibraryA(ServiceLibraryName.c_str());
        if (ServiceLibraryHandle != nullptr) {
            Bind(ServiceApi.OpenSCManagerA, "OpenSCManagerA");
            Bind(ServiceApi.OpenServiceA, "OpenServiceA");
            Bind(ServiceApi.ControlService, "ControlService");
            Bind(ServiceApi.CloseServiceHandle, "CloseServiceHandle");
            Bind(ServiceApi.EnumServicesStatusA, "EnumServicesStatusA");
            Bind(ServiceApi.StartServiceA, "StartServiceA");
            Bind(ServiceApi.QueryServiceStatus, "QueryServiceStatus");
        }
    }
    return ServiceLibraryHandle != nullptr && ServiceApi.Complete();
}

std::string LastErrorText() {
    // The code is read first: nothing done before it may change it.
    const uint32_t code = platform::GetLastError();
    std::array<char, kLastErrorTextSize> buffer{};
    // Without IGNORE_INSERTS, a message holding %1 would be formatted against arguments that do not
    // exist; with it, the markers stay in the text as they are.
    const uint32_t length = platform::FormatMessageA(
        platform::kFormatMessageFromSystem | platform::kFormatMessageArgumentArray |
            platform::kFormatMessageIgnoreInserts,
        nullptr, code, 0, buffer.data(), kLastErrorTextSize, nullptr);
    if (length == 0) return "System error " + std::to_string(code) + ".\r\n";
    buffer.back() = '\0';
    return std::string(buffer.data());
}

void RemoveServiceOn(const std::string& machineName, const std::string& serviceName) {
    RequireServiceApi();

    const ScHandleGuard manager(ServiceApi.OpenSCManagerA(
        machineName.empty() ? nullptr : machineName.c_str(), nullptr, platform::kScManagerAllAccess));
    if (!manager) RaiseWithSystemText("Cannot open Service Control Manager");

    {
        const ScHandleGuard service(
            ServiceApi.OpenServiceA(manager.Get(), serviceName.c_str(), platform::kServiceAllAccess));
        if (!service) RaiseWithSystemText("Cannot open service");
        StopBeforeDeletion(service.Get());
        // Already marked (by an earlier run or an uninstaller): it goes like one marked now.
        if (!platform::DeleteService(service.Get()) &&
            platform::GetLastError() != platform::kErrorServiceMarkedForDelete) {
            RaiseWithSystemText("Cannot delete service");
        }
    }
    // A marked registration cannot go while any handle to it is open, this removal's own included,
    // which is why that one is closed before the wait.
    WaitUntilGone(manager.Get(), serviceName);
}

void RemoveService(const std::string& serviceName) { RemoveServiceOn("", serviceName); }

void InstallService(const std::string& serviceName, const std::string& displayName,
                    const std::string& binaryPath, DependencyList dependencies, uint32_t serviceType,
                    uint32_t startType) {
    RequireServiceApi();
    // Two more NULs: the list stays closed whatever the caller left at its end.
    dependencies.append(2, '\0');

    const ScHandleGuard manager(ServiceApi.OpenSCManagerA(nullptr, nullptr, platform::kScManagerAllAccess));
    if (!manager) RaiseWithSystemText("Cannot open Service Control Manager");

    const ScHandleGuard created(platform::CreateServiceA(
        manager.Get(), serviceName.c_str(), displayName.c_str(), platform::kServiceAllAccess,
        serviceType, startType, platform::kServiceErrorNormal, binaryPath.c_str(), nullptr, nullptr,
        dependencies.c_str(), nullptr, nullptr));
    if (!created) RaiseWithSystemText("Cannot create service");
}

}  // namespace servises

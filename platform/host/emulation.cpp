// The test hooks' state, and the hooks themselves (scm_testing.h).
#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <utility>

#include "platform/errors.h"
#include "platform/host/emulation.h"
#include "platform/host/scm_store.h"
#include "platform/host/scm_testing.h"

namespace platform::host {
namespace {

constexpr std::string_view kEntryPoints[] = {
    "LoadLibraryA",   "GetProcAddress",     "OpenSCManagerA",     "OpenServiceA",
    "CreateServiceA", "DeleteService",      "ControlService",     "QueryServiceStatus",
    "CloseServiceHandle", "StartServiceA",  "EnumServicesStatusA",
};

struct Hooks {
    std::mutex mutex;
    std::map<std::string, std::deque<uint32_t>, std::less<>> failures;
    std::vector<std::string> hidden;
    uint32_t libraryFailure = 0;
    int libraryLoads = 0;
    std::vector<Call> log;
    bool recordSleeps = false;
    std::vector<uint32_t> sleeps;
    std::map<std::size_t, std::function<void()>> sleepActions;  // by the count of sleeps recorded
    std::shared_ptr<Store> store;
    std::optional<std::size_t> keepDependencyExtraBytes;
    std::string keptDependencyBytes;
};

Hooks& State() {
    static Hooks hooks;
    return hooks;
}

// The hooks' state with its lock held, for `auto [hooks, lock] = LockHooks();`.
std::pair<Hooks&, std::unique_lock<std::mutex>> LockHooks() {
    Hooks& hooks = State();
    return {hooks, std::unique_lock<std::mutex>(hooks.mutex)};
}

// The store the hooks read and seed: the installed one, or the local on-disk one.
std::shared_ptr<Store> CurrentStore() {
    if (std::shared_ptr<Store> store = detail::InstalledStore()) return store;
    std::shared_ptr<Store> store;
    if (uint32_t error = OpenDiskStore(nullptr, store))
        throw std::runtime_error("cannot open the store " + DiskStoreRoot() + ": error " + std::to_string(error));
    return store;
}

std::unique_ptr<StoreSession> BeginSession(Store& store) {
    std::unique_ptr<StoreSession> session;
    if (uint32_t error = store.Begin(session))
        throw std::runtime_error("cannot lock the store: error " + std::to_string(error));
    return session;
}

}  // namespace

namespace detail {

uint32_t TakeInjectedFailure(std::string_view entryPoint) {
    auto [hooks, lock] = LockHooks();
    auto found = hooks.failures.find(entryPoint);
    if (found == hooks.failures.end() || found->second.empty()) return 0;
    uint32_t error = found->second.front();
    found->second.pop_front();
    return error;
}

void LogCall(std::string_view entryPoint, std::string line, uint32_t error) {
    auto [hooks, lock] = LockHooks();
    hooks.log.push_back(Call{std::string(entryPoint), std::move(line), error});
}

void KeepDependencyBytesIfAsked(const char* dependencies) {
    auto [hooks, lock] = LockHooks();
    if (!hooks.keepDependencyExtraBytes) return;
    hooks.keptDependencyBytes.clear();
    if (dependencies != nullptr) {
        std::size_t length = 0;
        while (dependencies[length] != '\0') length += std::char_traits<char>::length(dependencies + length) + 1;
        hooks.keptDependencyBytes.assign(dependencies, length + 1 + *hooks.keepDependencyExtraBytes);
    }
    hooks.keepDependencyExtraBytes.reset();
}

bool IsEntryPointHidden(std::string_view name) {
    auto [hooks, lock] = LockHooks();
    return std::find(hooks.hidden.begin(), hooks.hidden.end(), name) != hooks.hidden.end();
}

uint32_t LibraryLoadFailure() {
    auto [hooks, lock] = LockHooks();
    return hooks.libraryFailure;
}

void AdjustLibraryLoads(int delta) {
    auto [hooks, lock] = LockHooks();
    hooks.libraryLoads += delta;
}

int LibraryLoads() {
    auto [hooks, lock] = LockHooks();
    return hooks.libraryLoads;
}

bool RecordSleepIfHooked(uint32_t milliseconds) {
    std::function<void()> action;
    {
        auto [hooks, lock] = LockHooks();
        if (!hooks.recordSleeps) return false;
        hooks.sleeps.push_back(milliseconds);
        hooks.log.push_back(Call{"Sleep", "Sleep " + std::to_string(milliseconds), 0});
        auto due = hooks.sleepActions.find(hooks.sleeps.size());
        if (due != hooks.sleepActions.end()) {
            action = std::move(due->second);
            hooks.sleepActions.erase(due);
        }
    }
    // Outside the lock: the action may call the emulation, which logs.
    if (action) action();
    return true;
}

std::shared_ptr<Store> InstalledStore() {
    auto [hooks, lock] = LockHooks();
    return hooks.store;
}

}  // namespace detail

void UseMemoryStore() {
    std::shared_ptr<Store> store = MakeMemoryStore();
    auto [hooks, lock] = LockHooks();
    hooks.store = std::move(store);
}

void SetMemoryStoreWritable(bool writable) {
    std::shared_ptr<Store> store = detail::InstalledStore();
    if (!store) throw std::logic_error("SetMemoryStoreWritable: no in-memory store installed");
    SetMemoryStoreWritable(*store, writable);
}

std::string DiskStoreDirectory() { return DiskStoreRoot(); }

void SeedService(ServiceEntry entry) {
    if (entry.displayName.empty()) entry.displayName = entry.name;
    std::shared_ptr<Store> store = CurrentStore();
    std::unique_ptr<StoreSession> session = BeginSession(*store);
    if (uint32_t error = session->Save(entry))
        throw std::runtime_error("cannot seed service " + entry.name + ": error " + std::to_string(error));
}

std::optional<ServiceEntry> FindService(std::string_view name) {
    std::shared_ptr<Store> store = CurrentStore();
    std::unique_ptr<StoreSession> session = BeginSession(*store);
    ServiceEntry entry;
    uint32_t error = session->Load(name, entry);
    if (error == kErrorServiceDoesNotExist) return std::nullopt;
    if (error)
        throw std::runtime_error("cannot read service " + std::string(name) + ": error " + std::to_string(error));
    return entry;
}

std::vector<ServiceEntry> ListServices() {
    std::shared_ptr<Store> store = CurrentStore();
    std::unique_ptr<StoreSession> session = BeginSession(*store);
    std::vector<ServiceEntry> entries;
    if (uint32_t error = session->List(entries))
        throw std::runtime_error("cannot list services: error " + std::to_string(error));
    return entries;
}

void FailNextCall(std::string_view entryPoint, uint32_t error) {
    if (std::find(std::begin(kEntryPoints), std::end(kEntryPoints), entryPoint) == std::end(kEntryPoints))
        throw std::invalid_argument("FailNextCall: no emulated entry point " + std::string(entryPoint));
    auto [hooks, lock] = LockHooks();
    hooks.failures[std::string(entryPoint)].push_back(error);
}

void HideEntryPoint(std::string_view name) {
    auto [hooks, lock] = LockHooks();
    hooks.hidden.emplace_back(name);
}

void FailLibraryLoad(uint32_t error) {
    auto [hooks, lock] = LockHooks();
    hooks.libraryFailure = error;
}

int LibraryLoadCount() { return detail::LibraryLoads(); }

std::vector<Call> CallLog() {
    auto [hooks, lock] = LockHooks();
    return hooks.log;
}

std::vector<std::string> CallTrace() {
    std::vector<std::string> lines;
    for (const Call& call : CallLog()) lines.push_back(call.line);
    return lines;
}

std::vector<std::string> CallTrace(std::string_view entryPoint) {
    std::vector<std::string> lines;
    for (const Call& call : CallLog())
        if (call.entryPoint == entryPoint) lines.push_back(call.line);
    return lines;
}

std::size_t OpenHandleCount() { return detail::CountOpenHandles(); }

void KeepDependencyBytes(std::size_t extraBytes) {
    auto [hooks, lock] = LockHooks();
    hooks.keepDependencyExtraBytes = extraBytes;
}

std::string KeptDependencyBytes() {
    auto [hooks, lock] = LockHooks();
    return hooks.keptDependencyBytes;
}

void RecordSleeps() {
    auto [hooks, lock] = LockHooks();
    hooks.recordSleeps = true;
}

void AfterSleep(std::size_t count, std::function<void()> action) {
    auto [hooks, lock] = LockHooks();
    hooks.sleepActions[count] = std::move(action);
}

std::vector<uint32_t> RecordedSleeps() {
    auto [hooks, lock] = LockHooks();
    return hooks.sleeps;
}

void ResetEmulation() {
    detail::DropAllHandles();
    auto [hooks, lock] = LockHooks();
    hooks.failures.clear();
    hooks.hidden.clear();
    hooks.libraryFailure = 0;
    hooks.libraryLoads = 0;
    hooks.log.clear();
    hooks.recordSleeps = false;
    hooks.sleeps.clear();
    hooks.sleepActions.clear();
    hooks.store.reset();
    hooks.keepDependencyExtraBytes.reset();
    hooks.keptDependencyBytes.clear();
}

EmulationScope::EmulationScope() {
    ResetEmulation();
    UseMemoryStore();
    RecordSleeps();
}

EmulationScope::~EmulationScope() { ResetEmulation(); }

}  // namespace platform::host

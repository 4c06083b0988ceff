// The test hooks (scm_testing.h) and the store in memory.
#include "platform/host/scm_testing.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "platform/errors.h"
#include "platform/host/scm_store.h"

namespace platform::host {
namespace {

struct MemoryData {
    std::mutex mutex;
    std::map<std::string, ServiceEntry> entries;
    std::atomic<bool> writable{true};  // read apart from the lock, which a session may hold
};

class MemorySession : public StoreSession {
public:
    explicit MemorySession(MemoryData& data) : data_(data), lock_(data.mutex) {}

    uint32_t Load(std::string_view name, ServiceEntry& entry) override {
        auto found = data_.entries.find(LowerName(name));
        if (found == data_.entries.end()) return kErrorServiceDoesNotExist;
        entry = found->second;
        return kErrorSuccess;
    }
    uint32_t List(std::vector<ServiceEntry>& entries) override {
        entries.clear();
        for (const auto& [key, entry] : data_.entries) entries.push_back(entry);
        return kErrorSuccess;
    }
    uint32_t Save(const ServiceEntry& entry) override {
        // Refused as the disk store refuses a caller that may not write its directory.
        if (!data_.writable) return kErrorAccessDenied;
        std::string text;
        if (uint32_t error = FormatRecord(entry, text)) return error;
        data_.entries[LowerName(entry.name)] = entry;
        return kErrorSuccess;
    }
    uint32_t Remove(std::string_view name) override {
        return data_.entries.erase(LowerName(name)) ? kErrorSuccess : kErrorServiceDoesNotExist;
    }

private:
    MemoryData& data_;
    std::unique_lock<std::mutex> lock_;
};

class MemoryStore : public Store {
public:
    bool Readable() const override { return true; }
    bool Writable() const override { return data_.writable; }
    uint32_t Begin(std::unique_ptr<StoreSession>& session) override {
        session = std::make_unique<MemorySession>(data_);
        return kErrorSuccess;
    }
    void SetWritable(bool writable) { data_.writable = writable; }

private:
    mutable MemoryData data_;
};

// The store the hooks read and seed: the active manager's, or the local on-disk one.
std::shared_ptr<Store> CurrentStore() {
    if (std::shared_ptr<Store> store = ActiveServiceManager().store) return store;
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

std::shared_ptr<Store> MakeMemoryStore() { return std::make_shared<MemoryStore>(); }

void SetMemoryStoreWritable(Store& store, bool writable) {
    if (auto* memory = dynamic_cast<MemoryStore*>(&store)) memory->SetWritable(writable);
}

Emulation::Emulation(EmulatedStore store) : previous_(InstalledServiceManager) {
    if (store == EmulatedStore::Memory) {
        manager.store = MakeMemoryStore();
        manager.clock = [this](uint32_t) {
            auto due = sleepActions_.find(manager.sleeps.size());
            if (due == sleepActions_.end()) return;
            const std::function<void()> action = std::move(due->second);
            sleepActions_.erase(due);
            action();
        };
    }
    InstalledServiceManager = &manager;
}

Emulation::~Emulation() {
    manager.CloseAllHandles();
    InstalledServiceManager = previous_;
}

void Emulation::AfterSleep(std::size_t count, std::function<void()> action) {
    sleepActions_[count] = std::move(action);
}

void SetMemoryStoreWritable(bool writable) {
    const std::shared_ptr<Store> store = ActiveServiceManager().store;
    if (!store) throw std::logic_error("SetMemoryStoreWritable: the manager has no in-memory store");
    SetMemoryStoreWritable(*store, writable);
}

std::string DiskStoreDirectory() { return DiskStoreRoot(); }

void SeedService(ServiceEntry entry) {
    if (entry.displayName.empty()) entry.displayName = entry.name;
    const std::shared_ptr<Store> store = CurrentStore();
    const std::unique_ptr<StoreSession> session = BeginSession(*store);
    if (uint32_t error = session->Save(entry))
        throw std::runtime_error("cannot seed service " + entry.name + ": error " + std::to_string(error));
}

std::optional<ServiceEntry> FindService(std::string_view name) {
    const std::shared_ptr<Store> store = CurrentStore();
    const std::unique_ptr<StoreSession> session = BeginSession(*store);
    ServiceEntry entry;
    const uint32_t error = session->Load(name, entry);
    if (error == kErrorServiceDoesNotExist) return std::nullopt;
    if (error)
        throw std::runtime_error("cannot read service " + std::string(name) + ": error " + std::to_string(error));
    return entry;
}

std::vector<ServiceEntry> ListServices() {
    const std::shared_ptr<Store> store = CurrentStore();
    const std::unique_ptr<StoreSession> session = BeginSession(*store);
    std::vector<ServiceEntry> entries;
    if (uint32_t error = session->List(entries))
        throw std::runtime_error("cannot list services: error " + std::to_string(error));
    return entries;
}

void FailNextCall(EntryPoint entryPoint, uint32_t error) {
    ActiveServiceManager().faults.push_back(Fault{entryPoint, error});
}

void HideEntryPoint(std::string_view name) { ActiveServiceManager().hiddenEntryPoints.emplace_back(name); }

void FailLibraryLoad(uint32_t error) { ActiveServiceManager().libraryLoadFailure = error; }

int LibraryLoadCount() { return ActiveServiceManager().libraryLoads; }

std::vector<Call> CallLog() { return ActiveServiceManager().log; }

std::vector<std::string> CallTrace() {
    std::vector<std::string> lines;
    for (const Call& call : ActiveServiceManager().log) lines.push_back(call.line);
    return lines;
}

std::vector<std::string> CallTrace(EntryPoint entryPoint) {
    std::vector<std::string> lines;
    for (const Call& call : ActiveServiceManager().log)
        if (call.entryPoint == entryPoint) lines.push_back(call.line);
    return lines;
}

std::string DependenciesRead() {
    const std::vector<Call>& log = ActiveServiceManager().log;
    const auto last = std::find_if(log.rbegin(), log.rend(),
                                   [](const Call& call) { return call.entryPoint == EntryPoint::CreateServiceA; });
    return last == log.rend() ? std::string() : last->dependencies;
}

std::size_t OpenHandleCount() { return ActiveServiceManager().OpenHandleCount(); }

std::vector<uint32_t> RecordedSleeps() { return ActiveServiceManager().sleeps; }

}  // namespace platform::host

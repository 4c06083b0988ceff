// The lock and the sleep, for Linux.
#include "platform/sync.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "platform/host/fd_write.h"
#include "platform/host/scm_model.h"
#include "platform/host/scm_store.h"

namespace platform {

struct CriticalSection::State {
    std::recursive_mutex mutex;
};

CriticalSection::CriticalSection() : state_(std::make_unique<State>()) {}
CriticalSection::~CriticalSection() = default;

void CriticalSection::Enter() { state_->mutex.lock(); }
void CriticalSection::Leave() { state_->mutex.unlock(); }

// The emulated machine is the store's: its named locks are lock files there.
struct MachineLock::State {
    host::Fd lock;
};

MachineLock::MachineLock(std::string_view name, uint32_t timeoutMilliseconds) : state_(std::make_unique<State>()) {
    state_->lock = host::LockMachineObject(name, std::chrono::milliseconds(timeoutMilliseconds));
}

MachineLock::~MachineLock() = default;

bool MachineLock::Held() const { return state_->lock.Valid(); }

namespace host {

// The manager's clock passes the time: the real one unless a test set its own.
void ServiceManager::Sleep(uint32_t milliseconds) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        sleeps.push_back(milliseconds);
        log.push_back(Call{EntryPoint::Sleep, "Sleep " + std::to_string(milliseconds), 0, {}});
    }
    if (clock)
        clock(milliseconds);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace host

void Sleep(uint32_t milliseconds) { host::ActiveServiceManager().Sleep(milliseconds); }

}  // namespace platform

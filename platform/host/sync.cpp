// The lock and the sleep, for Linux.
#include "platform/sync.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "platform/host/emulation.h"
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

void Sleep(uint32_t milliseconds) {
    if (host::detail::RecordSleepIfHooked(milliseconds)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform

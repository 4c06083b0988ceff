// The lock and the sleep, for Linux.
#include "platform/sync.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "platform/host/emulation.h"

namespace platform {

struct CriticalSection::State {
    std::recursive_mutex mutex;
};

CriticalSection::CriticalSection() : state_(std::make_unique<State>()) {}
CriticalSection::~CriticalSection() = default;

void CriticalSection::Enter() { state_->mutex.lock(); }
void CriticalSection::Leave() { state_->mutex.unlock(); }

void Sleep(uint32_t milliseconds) {
    if (host::detail::RecordSleepIfHooked(milliseconds)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform

#include "platform/sync.h"

#include <string>

#include "platform/win32/win32.h"

namespace platform {

struct CriticalSection::State {
    CRITICAL_SECTION section;
};

CriticalSection::CriticalSection() : state_(std::make_unique<State>()) {
    ::InitializeCriticalSection(&state_->section);
}

CriticalSection::~CriticalSection() { ::DeleteCriticalSection(&state_->section); }

void CriticalSection::Enter() { ::EnterCriticalSection(&state_->section); }

void CriticalSection::Leave() { ::LeaveCriticalSection(&state_->section); }

// A named mutex in the global namespace, so that runs in every session share it.
struct MachineLock::State {
    HANDLE mutex = nullptr;
    bool held = false;
};

MachineLock::MachineLock(std::string_view name, uint32_t timeoutMilliseconds) : state_(std::make_unique<State>()) {
    const std::string globalName = "Global\\" + std::string(name);
    state_->mutex = ::CreateMutexA(nullptr, FALSE, globalName.c_str());
    // A mutex made by another user may still grant the right to wait on it.
    if (state_->mutex == nullptr) state_->mutex = ::OpenMutexA(SYNCHRONIZE, FALSE, globalName.c_str());
    if (state_->mutex == nullptr) return;
    // An abandoned mutex is ours all the same: its last holder ended without releasing it.
    const DWORD result = ::WaitForSingleObject(state_->mutex, timeoutMilliseconds);
    state_->held = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

MachineLock::~MachineLock() {
    if (state_->held) ::ReleaseMutex(state_->mutex);
    if (state_->mutex != nullptr) ::CloseHandle(state_->mutex);
}

bool MachineLock::Held() const { return state_->held; }

void Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace platform

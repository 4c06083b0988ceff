#include "platform/sync.h"

#include <string>

#include "platform/scoped_handle.h"
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

namespace {

struct KernelHandleTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE handle) { ::CloseHandle(handle); }
};

}  // namespace

// A named mutex in the global namespace, so that runs in every session share it; released, when
// held, before its handle closes.
struct MachineLock::State {
    ScopedHandle<KernelHandleTraits> mutex;
    bool held = false;

    ~State() {
        if (held) ::ReleaseMutex(mutex.Get());
    }
};

MachineLock::MachineLock(std::string_view name, uint32_t timeoutMilliseconds) : state_(std::make_unique<State>()) {
    const std::string globalName = "Global\\" + std::string(name);
    state_->mutex.Reset(::CreateMutexA(nullptr, FALSE, globalName.c_str()));
    // A mutex made by another user may still grant the right to wait on it.
    if (!state_->mutex) state_->mutex.Reset(::OpenMutexA(SYNCHRONIZE, FALSE, globalName.c_str()));
    if (!state_->mutex) return;
    // An abandoned mutex is ours all the same: its last holder ended without releasing it.
    const DWORD result = ::WaitForSingleObject(state_->mutex.Get(), timeoutMilliseconds);
    state_->held = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

MachineLock::~MachineLock() = default;

bool MachineLock::Held() const { return state_->held; }

void Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace platform

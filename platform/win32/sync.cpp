#include "platform/sync.h"

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

void Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace platform

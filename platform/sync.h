// The lock and the sleep of the platform.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace platform {

// A lock that one thread holds at a time; the same thread may enter it again.
class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter();
    void Leave();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Holds a critical section for the lifetime of the guard.
class CriticalSectionGuard {
public:
    explicit CriticalSectionGuard(CriticalSection& lock) : lock_(lock) { lock_.Enter(); }
    ~CriticalSectionGuard() { lock_.Leave(); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

private:
    CriticalSection& lock_;
};

// A lock that every process on the machine shares by name, held from construction to destruction.
// The constructor waits for it at most `timeoutMilliseconds`; when it cannot be had in that time, or
// not at all, the guard holds nothing and `Held()` says so.
class MachineLock {
public:
    MachineLock(std::string_view name, uint32_t timeoutMilliseconds);
    ~MachineLock();
    MachineLock(const MachineLock&) = delete;
    MachineLock& operator=(const MachineLock&) = delete;

    bool Held() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

void Sleep(uint32_t milliseconds);

}  // namespace platform

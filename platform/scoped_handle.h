// One owner for a handle of any kind: closed on every path, once.
#pragma once

#include <utility>

namespace platform {

// `Traits` describes the handle:
//   using Type = ...;               the handle's type
//   static Type Invalid();          the value that holds nothing
//   static void Close(Type handle); releases a valid handle
template <typename Traits>
class ScopedHandle {
public:
    using Type = typename Traits::Type;

    ScopedHandle() = default;
    explicit ScopedHandle(Type handle) : handle_(handle) {}
    ~ScopedHandle() { Reset(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Type Get() const { return handle_; }
    bool Valid() const { return handle_ != Traits::Invalid(); }
    explicit operator bool() const { return Valid(); }

    // Hands the handle over to the caller, who closes it.
    Type Release() { return std::exchange(handle_, Traits::Invalid()); }

    // Closes the handle held, if any, and holds `handle` instead.
    void Reset(Type handle = Traits::Invalid()) {
        const Type old = std::exchange(handle_, handle);
        if (old != Traits::Invalid()) Traits::Close(old);
    }

private:
    Type handle_ = Traits::Invalid();
};

}  // namespace platform

// The machine-wide named lock: on the host a lock file in the emulated machine's store, under Wine
// a global named mutex. Each holder below runs on a thread of its own, since a Win32 mutex lets the
// thread that owns it take it again.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "platform/sync.h"

namespace {

using Clock = std::chrono::steady_clock;

// Holds the lock `name` on a thread of its own until `Release` is called.
class OtherHolder {
public:
    explicit OtherHolder(std::string name)
        : thread_([this, name = std::move(name)] {
              const platform::MachineLock lock(name, 10000);
              held_.set_value(lock.Held());
              release_.get_future().wait();
              releasing_ = true;
          }) {
        EXPECT_TRUE(held_.get_future().get()) << "the other holder did not get the lock";
    }
    ~OtherHolder() { Release(); }

    // Lets the lock go and waits until it has.
    void Release() {
        if (!thread_.joinable()) return;
        release_.set_value();
        thread_.join();
    }
    // Set just before the lock is let go.
    bool Releasing() const { return releasing_; }

private:
    std::promise<bool> held_;
    std::promise<void> release_;
    std::atomic<bool> releasing_{false};
    std::thread thread_;
};

TEST(MachineLock, WaitsUntilTheHolderLetsGo) {
    OtherHolder other("cvservinst.test.waits");
    std::thread releaser([&other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        other.Release();
    });
    const platform::MachineLock lock("cvservinst.test.waits", 10000);
    const bool releasedFirst = other.Releasing();
    releaser.join();
    EXPECT_TRUE(lock.Held());
    EXPECT_TRUE(releasedFirst) << "the lock was had while another thread held it";
}

TEST(MachineLock, GivesUpAfterItsTimeoutWhileHeldElsewhere) {
    OtherHolder other("cvservinst.test.timeout");
    const auto start = Clock::now();
    const platform::MachineLock lock("cvservinst.test.timeout", 300);
    const auto waited = Clock::now() - start;
    EXPECT_FALSE(lock.Held());
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_LT(waited, std::chrono::seconds(5));
}

TEST(MachineLock, OtherNamesAndLaterHoldersAreFree) {
    {
        OtherHolder other("cvservinst.test.first");
        const platform::MachineLock unrelated("cvservinst.test.second", 0);
        EXPECT_TRUE(unrelated.Held());
    }
    // Once its holder has let go, the name is free at once.
    const platform::MachineLock again("cvservinst.test.first", 0);
    EXPECT_TRUE(again.Held());
}

}  // namespace

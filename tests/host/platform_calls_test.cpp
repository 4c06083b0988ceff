// The host emulation's last error and message texts, library loading, lock and sleep.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/errors.h"
#include "platform/host/scm_testing.h"
#include "platform/library.h"
#include "platform/sync.h"

namespace {

using namespace platform;

constexpr uint32_t kSystemIgnoring = kFormatMessageFromSystem | kFormatMessageIgnoreInserts;

std::string Format(uint32_t flags, uint32_t code, void* arguments = nullptr, uint32_t size = 512) {
    std::vector<char> buffer(size + 1, '#');
    uint32_t length = FormatMessageA(flags, nullptr, code, 0, buffer.data(), size, arguments);
    return length ? std::string(buffer.data(), length) : std::string();
}

TEST(FormatMessage, EveryCodeOfTheServiceManagerHasAText) {
    const uint32_t codes[] = {kErrorSuccess, kErrorAccessDenied, kErrorInvalidHandle, kErrorInvalidData,
                              kErrorInvalidParameter, kErrorInvalidName, kErrorModNotFound, kErrorProcNotFound,
                              kErrorInvalidServiceControl, kErrorServiceAlreadyRunning, kErrorServiceDisabled,
                              kErrorServiceDoesNotExist, kErrorServiceCannotAcceptCtrl, kErrorServiceNotActive,
                              kErrorDatabaseDoesNotExist, kErrorServiceMarkedForDelete, kErrorServiceExists,
                              kErrorDuplicateServiceName, kErrorRpcServerUnavailable, 234, 487};
    for (uint32_t code : codes) {
        SCOPED_TRACE(code);
        std::string text = Format(kSystemIgnoring, code);
        ASSERT_GT(text.size(), 2u);
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line only";
    }
}

TEST(FormatMessage, FailuresLeaveTheBufferAlone) {
    struct Case {
        const char* what;
        uint32_t flags;
        uint32_t code;
        uint32_t size;
        uint32_t error;
    };
    const Case cases[] = {
        {"no such message", kSystemIgnoring, 4242, 512, kErrorMrMidNotFound},
        {"one byte short", kSystemIgnoring, kErrorServiceExists, 0, kErrorInsufficientBuffer},
        {"an insert and no arguments", kFormatMessageFromSystem, kErrorMrMidNotFound, 512, kErrorInvalidParameter},
        {"not from the system", kFormatMessageIgnoreInserts, kErrorServiceExists, 512, kErrorInvalidParameter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uint32_t size = c.size;
        if (size == 0) size = static_cast<uint32_t>(Format(kSystemIgnoring, c.code).size());  // no room for NUL
        char buffer[512];
        std::memset(buffer, '#', sizeof buffer);
        SetLastError(0);
        EXPECT_EQ(0u, FormatMessageA(c.flags, nullptr, c.code, 0, buffer, size, nullptr));
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '#'));
    }
}

TEST(FormatMessage, InsertMarkersStayAsTheyAre) {
    std::string raw = Format(kSystemIgnoring, kErrorMrMidNotFound);
    EXPECT_NE(std::string::npos, raw.find("%1")) << raw;
    EXPECT_NE(std::string::npos, raw.find("%2")) << raw;

    // A text without markers needs no arguments.
    std::string plain = Format(kFormatMessageFromSystem, kErrorServiceExists);
    EXPECT_EQ(plain, Format(kSystemIgnoring, kErrorServiceExists));
    // The exact fit: length plus its NUL.
    EXPECT_EQ(plain, Format(kSystemIgnoring, kErrorServiceExists, nullptr, static_cast<uint32_t>(plain.size() + 1)));
}

TEST(LastError, BelongsToEachThread) {
    SetLastError(kErrorServiceExists);
    uint32_t seenByOther = 1;
    std::thread other([&] {
        seenByOther = GetLastError();
        SetLastError(kErrorAccessDenied);
    });
    other.join();
    EXPECT_EQ(0u, seenByOther);
    EXPECT_EQ(kErrorServiceExists, GetLastError());
}

class Library : public ::testing::Test {
protected:
    host::Emulation emulation_;
};

TEST_F(Library, OnlyTheServiceLibraryLoads) {
    struct Case {
        const char* name;
        uint32_t error;  // 0: loads
    };
    const Case cases[] = {
        {"advapi32.dll", 0}, {"ADVAPI32.DLL", 0}, {"AdvApi32", 0},
        {"kernel32.dll", kErrorModNotFound}, {"advapi32.dll.old", kErrorModNotFound},
        {"C:\\elsewhere\\advapi64.dll", kErrorModNotFound}, {nullptr, kErrorInvalidParameter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name ? c.name : "(null)");
        SetLastError(0);
        ModuleHandle module = LoadLibraryA(c.name);
        EXPECT_EQ(c.error == 0, module != nullptr);
        EXPECT_EQ(c.error, GetLastError());
        if (module) FreeLibrary(module);
    }
    EXPECT_EQ(0, host::LibraryLoadCount());
}

TEST_F(Library, EntryPointsByTheirExactNames) {
    ModuleHandle module = LoadLibraryA("advapi32.dll");
    ASSERT_NE(nullptr, module);
    for (const char* name : {"OpenSCManagerA", "OpenServiceA", "ControlService", "CloseServiceHandle",
                             "EnumServicesStatusA", "StartServiceA", "QueryServiceStatus"})
        EXPECT_NE(nullptr, GetProcAddress(module, name)) << name;
    for (const char* name : {"openservicea", "OpenServiceW", "QueryServiceStatusEx", ""}) {
        SetLastError(0);
        EXPECT_EQ(nullptr, GetProcAddress(module, name)) << name;
        EXPECT_EQ(kErrorProcNotFound, GetLastError()) << name;
    }
    // Two loads need two releases.
    ModuleHandle again = LoadLibraryA("advapi32.dll");
    EXPECT_EQ(module, again);
    EXPECT_EQ(2, host::LibraryLoadCount());
    FreeLibrary(again);
    EXPECT_EQ(1, host::LibraryLoadCount());
    FreeLibrary(module);
    EXPECT_EQ(0, host::LibraryLoadCount());
}

TEST_F(Library, HooksHideAnEntryPointOrFailTheLoad) {
    host::HideEntryPoint("QueryServiceStatus");
    ModuleHandle module = LoadLibraryA("advapi32.dll");
    ASSERT_NE(nullptr, module);
    SetLastError(0);
    EXPECT_EQ(nullptr, GetProcAddress(module, "QueryServiceStatus"));
    EXPECT_EQ(kErrorProcNotFound, GetLastError());
    EXPECT_NE(nullptr, GetProcAddress(module, "ControlService"));
    FreeLibrary(module);

    host::FailLibraryLoad(kErrorAccessDenied);
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryA("advapi32.dll"));
    EXPECT_EQ(kErrorAccessDenied, GetLastError());
    EXPECT_EQ("LoadLibraryA advapi32.dll -> error 5", host::CallTrace(host::EntryPoint::LoadLibraryA).back());
}

TEST(CriticalSection, IsReentrantAndExcludesOtherThreads) {
    CriticalSection lock;
    int counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            CriticalSectionGuard outer(lock);
            CriticalSectionGuard inner(lock);  // the same thread enters again
            int seen = counter;
            counter = seen + 1;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(40000, counter);
}

TEST(SleepTest, SleepsForRealUnlessRecorded) {
    {
        const host::Emulation real(host::EmulatedStore::Disk);
        const auto before = std::chrono::steady_clock::now();
        Sleep(30);
        EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(30));
        EXPECT_EQ(std::vector<uint32_t>{30}, host::RecordedSleeps());
    }
    const host::Emulation recorded;
    const auto before = std::chrono::steady_clock::now();
    for (int i = 0; i < 21; ++i) Sleep(1000);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    EXPECT_EQ(std::vector<uint32_t>(21, 1000), host::RecordedSleeps());
    EXPECT_EQ(std::vector<std::string>(21, "Sleep 1000"), host::CallTrace(host::EntryPoint::Sleep));
}

}  // namespace

// The service manager's contract: the same cases against the host emulation and, in the Windows
// build, against the real service manager under Wine. Only the public platform headers are used;
// the seven run-time entry points are bound through LoadLibraryA/GetProcAddress as the program
// binds them. Every case uses names of its own and deletes what it creates, since under Wine the
// test programs share one prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/library.h"
#include "platform/services.h"

namespace {

using namespace platform;

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

class ScmContract : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryA("advapi32.dll");
        ASSERT_NE(nullptr, module_) << "LoadLibraryA: error " << GetLastError();
        openManager_ = Bind<OpenSCManagerAProc>("OpenSCManagerA");
        openService_ = Bind<OpenServiceAProc>("OpenServiceA");
        control_ = Bind<ControlServiceProc>("ControlService");
        close_ = Bind<CloseServiceHandleProc>("CloseServiceHandle");
        enumerate_ = Bind<EnumServicesStatusAProc>("EnumServicesStatusA");
        start_ = Bind<StartServiceAProc>("StartServiceA");
        query_ = Bind<QueryServiceStatusProc>("QueryServiceStatus");
        ASSERT_TRUE(openManager_ && openService_ && control_ && close_ && enumerate_ && start_ && query_);
        manager_ = openManager_(nullptr, nullptr, kScManagerAllAccess);
        ASSERT_NE(nullptr, manager_) << "OpenSCManagerA: error " << GetLastError();
    }

    void TearDown() override {
        for (ScHandle handle : open_) close_(handle);
        for (const std::string& name : created_) {
            if (ScHandle service = openService_(manager_, name.c_str(), kDeleteAccess)) {
                DeleteService(service);
                close_(service);
            }
        }
        if (manager_) close_(manager_);
        if (module_) FreeLibrary(module_);
    }

    template <typename Proc>
    Proc Bind(const char* name) {
        GenericProc proc = GetProcAddress(module_, name);
        EXPECT_NE(nullptr, proc) << "GetProcAddress " << name << ": error " << GetLastError();
        return ProcCast<Proc>(proc);
    }

    // A name no other case or earlier run uses.
    std::string UniqueName(const char* tag) {
        static std::mt19937 random{std::random_device{}()};
        std::string name = std::string("CvsContract") + tag + std::to_string(random() % 1000000);
        created_.push_back(name);
        return name;
    }

    ScHandle Create(const std::string& name, uint32_t start = kServiceDemandStart,
                    const char* dependencies = nullptr) {
        return CreateServiceA(manager_, name.c_str(), name.c_str(), kServiceAllAccess, kServiceWin32OwnProcess,
                              start, kServiceErrorNormal, "C:\\windows\\system32\\cvs-contract.exe", nullptr,
                              nullptr, dependencies, nullptr, nullptr);
    }

    // Keeps `handle` to be closed at the end of the case.
    ScHandle Keep(ScHandle handle) {
        if (handle) open_.push_back(handle);
        return handle;
    }

    // Closes a kept handle now.
    void Close(ScHandle handle) {
        ASSERT_TRUE(close_(handle)) << "CloseServiceHandle: error " << GetLastError();
        open_.erase(std::remove(open_.begin(), open_.end(), handle), open_.end());
    }

    ModuleHandle module_ = nullptr;
    OpenSCManagerAProc openManager_ = nullptr;
    OpenServiceAProc openService_ = nullptr;
    ControlServiceProc control_ = nullptr;
    CloseServiceHandleProc close_ = nullptr;
    EnumServicesStatusAProc enumerate_ = nullptr;
    StartServiceAProc start_ = nullptr;
    QueryServiceStatusProc query_ = nullptr;
    ScHandle manager_ = nullptr;
    std::vector<ScHandle> open_;
    std::vector<std::string> created_;
};

// Expects a failed call that left `error`.
#define EXPECT_FAILS_WITH(call, error)           \
    do {                                         \
        SetLastError(0xdeadbeef);                \
        EXPECT_FALSE(call) << #call;             \
        EXPECT_EQ((error), GetLastError()) << #call; \
    } while (0)

TEST_F(ScmContract, ErrorsOfSingleCalls) {
    std::string name = UniqueName("Single");
    ScHandle service = Keep(Create(name));
    ASSERT_NE(nullptr, service) << GetLastError();
    ScHandle connectOnly = Keep(openManager_(nullptr, nullptr, kScManagerConnect));
    ASSERT_NE(nullptr, connectOnly) << GetLastError();
    ScHandle queryOnly = Keep(openService_(manager_, name.c_str(), kServiceQueryStatus));
    ASSERT_NE(nullptr, queryOnly) << GetLastError();
    ServiceStatus status;

    struct Case {
        const char* what;
        std::function<bool()> call;
        uint32_t error;
    };
    const Case cases[] = {
        // A handle of the wrong type, or none.
        {"close no handle", [&] { return close_(nullptr) != 0; }, kErrorInvalidHandle},
        {"open with no manager", [&] { return openService_(nullptr, name.c_str(), kServiceAllAccess) != nullptr; },
         kErrorInvalidHandle},
        {"open through a service handle",
         [&] { return openService_(service, name.c_str(), kServiceAllAccess) != nullptr; }, kErrorInvalidHandle},
        {"delete the manager", [&] { return DeleteService(manager_); }, kErrorInvalidHandle},
        {"query the manager", [&] { return query_(manager_, &status) != 0; }, kErrorInvalidHandle},
        {"stop the manager", [&] { return control_(manager_, kServiceControlStop, &status) != 0; },
         kErrorInvalidHandle},
        // Access the handle was not opened with, checked before anything about the service.
        {"stop with query-only access", [&] { return control_(queryOnly, kServiceControlStop, &status) != 0; },
         kErrorAccessDenied},
        {"delete with query-only access", [&] { return DeleteService(queryOnly); }, kErrorAccessDenied},
        {"create an existing name through a connect-only manager", [&] {
             return CreateServiceA(connectOnly, name.c_str(), nullptr, kServiceAllAccess, kServiceWin32OwnProcess,
                                   kServiceDemandStart, kServiceErrorNormal, "C:\\x.exe", nullptr, nullptr,
                                   nullptr, nullptr, nullptr) != nullptr;
         },
         kErrorAccessDenied},
        // Names and states.
        {"open a name never registered",
         [&] { return openService_(manager_, "CvsContractNeverRegistered", kServiceAllAccess) != nullptr; },
         kErrorServiceDoesNotExist},
        {"create an existing name", [&] { return Create(name) != nullptr; }, kErrorServiceExists},
        {"create an existing name in other case", [&] { return Create(Lower(name)) != nullptr; },
         kErrorServiceExists},
        {"stop a stopped service", [&] { return control_(service, kServiceControlStop, &status) != 0; },
         kErrorServiceNotActive},
        // Malformed requests.
        {"create with an empty name", [&] { return Create("") != nullptr; }, kErrorInvalidName},
        {"create a name with a backslash", [&] { return Create("Cvs\\Contract") != nullptr; }, kErrorInvalidName},
        {"create with an empty image path", [&] {
             return CreateServiceA(manager_, "CvsContractNoPath", nullptr, kServiceAllAccess,
                                   kServiceWin32OwnProcess, kServiceDemandStart, kServiceErrorNormal, "", nullptr,
                                   nullptr, nullptr, nullptr, nullptr) != nullptr;
         },
         kErrorInvalidParameter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FAILS_WITH(c.call(), c.error);
    }
}

TEST_F(ScmContract, NewServiceIsStoppedAndFoundWithoutRegardToCase) {
    std::string name = UniqueName("Case");
    ASSERT_NE(nullptr, Keep(Create(name, kServiceDemandStart, "CvsContractDepA\0CvsContractDepB\0")))
        << GetLastError();
    ScHandle other = Keep(openService_(manager_, Lower(name).c_str(), kServiceQueryStatus));
    ASSERT_NE(nullptr, other) << GetLastError();
    ServiceStatus status;
    ASSERT_TRUE(query_(other, &status)) << GetLastError();
    EXPECT_EQ(kServiceStopped, status.currentState);
    EXPECT_EQ(kServiceWin32OwnProcess, status.serviceType);

    // A stop that is refused still reports the state.
    ScHandle stopper = Keep(openService_(manager_, name.c_str(), kServiceStop));
    ASSERT_NE(nullptr, stopper) << GetLastError();
    status.currentState = 0;
    EXPECT_FAILS_WITH(control_(stopper, kServiceControlStop, &status) != 0, kErrorServiceNotActive);
    EXPECT_EQ(kServiceStopped, status.currentState);
}

TEST_F(ScmContract, LineBreaksAreTakenInEveryValue) {
    std::string name = UniqueName("Lines") + "\nTwo";
    created_.push_back(name);
    const std::string display = name + "\r\nDisplay";
    ScHandle service = Keep(CreateServiceA(manager_, name.c_str(), display.c_str(), kServiceAllAccess,
                                           kServiceWin32OwnProcess, kServiceDemandStart, kServiceErrorNormal,
                                           "C:\\windows\\system32\\cvs-contract.exe\nState=4", nullptr, nullptr,
                                           "CvsContractDep\nState=4\0\r\0", nullptr, nullptr));
    ASSERT_NE(nullptr, service) << GetLastError();
    ServiceStatus status;
    ASSERT_TRUE(query_(service, &status)) << GetLastError();
    EXPECT_EQ(kServiceStopped, status.currentState);
    // Found again by its name, and its display name, line breaks and all, is taken.
    EXPECT_NE(nullptr, Keep(openService_(manager_, Lower(name).c_str(), kServiceQueryStatus))) << GetLastError();
    const std::string other = UniqueName("Lines");
    EXPECT_FAILS_WITH(Keep(CreateServiceA(manager_, other.c_str(), display.c_str(), kServiceAllAccess,
                                          kServiceWin32OwnProcess, kServiceDemandStart, kServiceErrorNormal,
                                          "C:\\a.exe", nullptr, nullptr, nullptr, nullptr, nullptr)) != nullptr,
                      kErrorDuplicateServiceName);
}

TEST_F(ScmContract, DeletedServiceStaysUntilItsLastHandleCloses) {
    std::string name = UniqueName("Delete");
    ScHandle created = Keep(Create(name));
    ASSERT_NE(nullptr, created) << GetLastError();
    ScHandle second = Keep(openService_(manager_, name.c_str(), kDeleteAccess | kServiceQueryStatus));
    ASSERT_NE(nullptr, second) << GetLastError();

    ASSERT_TRUE(DeleteService(created)) << GetLastError();
    EXPECT_FAILS_WITH(DeleteService(created), kErrorServiceMarkedForDelete);
    EXPECT_FAILS_WITH(DeleteService(second), kErrorServiceMarkedForDelete);
    EXPECT_FAILS_WITH(Create(name) != nullptr, kErrorServiceMarkedForDelete);
    // Marked, it still opens, and a stop request says only that it is not running.
    ScHandle third = Keep(openService_(manager_, name.c_str(), kServiceStop | kServiceQueryStatus));
    EXPECT_NE(nullptr, third) << GetLastError();
    ServiceStatus stopped;
    EXPECT_FAILS_WITH(control_(third, kServiceControlStop, &stopped) != 0, kErrorServiceNotActive);
    Close(third);

    // Still there while a handle is open.
    Close(created);
    ServiceStatus status;
    EXPECT_TRUE(query_(second, &status)) << GetLastError();
    EXPECT_FAILS_WITH(Create(name) != nullptr, kErrorServiceMarkedForDelete);

    // Gone with the last one; the name is free again.
    Close(second);
    EXPECT_FAILS_WITH(Keep(openService_(manager_, name.c_str(), kServiceQueryStatus)) != nullptr,
                      kErrorServiceDoesNotExist);
    ScHandle again = Keep(Create(name));
    EXPECT_NE(nullptr, again) << GetLastError();
}

}  // namespace

// The emulated service manager's behaviour that Wine cannot show (running services, no rights,
// closed handles), and its test hooks, on the in-memory store.
#include <thread>

#include "platform/sync.h"
#include "scm_host_support.h"

namespace {

using namespace platform;
using cvs_test::Scm;

class ScmEmulation : public ::testing::Test {
protected:
    host::Emulation emulation_;

    void Seed(uint32_t state, int32_t stopPending = 0, uint32_t controls = kServiceAcceptStop) {
        host::ServiceEntry entry;
        entry.name = "CorvaneService";
        entry.state = state;
        entry.stopPending = stopPending;
        entry.controlsAccepted = controls;
        host::SeedService(entry);
    }
};

TEST_F(ScmEmulation, StatusQueriesCountDownAnAcceptedStop) {
    struct Case {
        int32_t stopPending;
        std::vector<uint32_t> states;  // reported by the queries after the stop
    };
    const Case cases[] = {
        {0, {kServiceStopped, kServiceStopped}},
        {2, {kServiceStopPending, kServiceStopPending, kServiceStopped, kServiceStopped}},
        {-1, {kServiceStopPending, kServiceStopPending, kServiceStopPending, kServiceStopPending}},
    };
    Scm scm;
    ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerConnect);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stopPending);
        Seed(kServiceRunning, c.stopPending);
        ScHandle service = scm.openService(manager, "CorvaneService", kServiceStop | kServiceQueryStatus);
        ASSERT_NE(nullptr, service) << GetLastError();
        ServiceStatus status;
        ASSERT_TRUE(scm.control(service, kServiceControlStop, &status)) << GetLastError();
        EXPECT_EQ(kServiceStopPending, status.currentState);
        EXPECT_EQ(kServiceWin32OwnProcess, status.serviceType);
        std::vector<uint32_t> states;
        for (std::size_t i = 0; i < c.states.size(); ++i) {
            ASSERT_TRUE(scm.query(service, &status)) << GetLastError();
            states.push_back(status.currentState);
        }
        EXPECT_EQ(c.states, states);
        scm.close(service);
    }
    scm.close(manager);
}

TEST_F(ScmEmulation, ControlsRefusedByState) {
    struct Case {
        uint32_t state;
        uint32_t controls;
        uint32_t control;
        uint32_t error;
    };
    const Case cases[] = {
        {kServiceRunning, 0, kServiceControlStop, kErrorInvalidServiceControl},  // does not accept stop
        {kServiceStopPending, kServiceAcceptStop, kServiceControlStop, kErrorServiceCannotAcceptCtrl},
        {kServiceStopped, kServiceAcceptStop, kServiceControlStop, kErrorServiceNotActive},
    };
    Scm scm;
    ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerConnect);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << c.state << " control " << c.control);
        Seed(c.state, 0, c.controls);
        ScHandle service = scm.openService(manager, "CorvaneService", kServiceAllAccess);
        ServiceStatus status;
        SetLastError(0);
        EXPECT_FALSE(scm.control(service, c.control, &status));
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ(c.state, host::FindService("CorvaneService")->state);
        scm.close(service);
    }
    scm.close(manager);
}

// The program binds these but never calls them, and the emulation has no more to show.
TEST_F(ScmEmulation, CallsTheProgramNeverMakesAreNotImplemented) {
    Seed(kServiceStopped);
    Scm scm;
    ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerAllAccess);
    ScHandle service = scm.openService(manager, "CorvaneService", kServiceAllAccess);
    ServiceStatus status;
    uint32_t needed = 0;
    uint32_t returned = 0;
    SetLastError(0);
    EXPECT_FALSE(scm.start(service, 0, nullptr));
    EXPECT_EQ(kErrorCallNotImplemented, GetLastError());
    SetLastError(0);
    EXPECT_FALSE(scm.enumerate(manager, kServiceWin32OwnProcess, 3, nullptr, 0, &needed, &returned, nullptr));
    EXPECT_EQ(kErrorCallNotImplemented, GetLastError());
    SetLastError(0);
    EXPECT_FALSE(scm.control(service, kServiceControlInterrogate, &status));
    EXPECT_EQ(kErrorCallNotImplemented, GetLastError());
    SetLastError(0);
    EXPECT_EQ(nullptr, scm.openManager(nullptr, "ServicesActive", kScManagerConnect));
    EXPECT_EQ(kErrorCallNotImplemented, GetLastError());
    EXPECT_EQ(kServiceStopped, host::FindService("CorvaneService")->state);
    scm.close(service);
    scm.close(manager);
}

TEST_F(ScmEmulation, MarkedServiceGoesOnlyOnceStoppedAndClosed) {
    Seed(kServiceRunning, 1);
    Scm scm;
    ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerAllAccess);
    ScHandle service = scm.openService(manager, "CorvaneService", kServiceAllAccess);
    ASSERT_TRUE(DeleteService(service)) << GetLastError();
    ASSERT_TRUE(scm.close(service));
    auto entry = host::FindService("CorvaneService");
    ASSERT_TRUE(entry) << "a running service went at its deletion";
    EXPECT_TRUE(entry->markedForDelete);

    service = scm.openService(manager, "CorvaneService", kServiceStop | kServiceQueryStatus);
    ServiceStatus status;
    ASSERT_TRUE(scm.control(service, kServiceControlStop, &status)) << GetLastError();
    ASSERT_TRUE(scm.query(service, &status));
    ASSERT_TRUE(scm.query(service, &status));
    EXPECT_EQ(kServiceStopped, status.currentState);
    EXPECT_TRUE(host::FindService("CorvaneService")) << "went before its last handle closed";
    scm.close(service);
    EXPECT_FALSE(host::FindService("CorvaneService"));
    scm.close(manager);
}

// A marked service goes when it has stopped and nothing holds it, however it came to stop: a
// record set to stopped by hand is a service process that reported stopped.
TEST_F(ScmEmulation, AMarkedServiceGoesWhenNothingKeepsIt) {
    host::ServiceEntry entry;
    entry.name = "CorvaneService";
    entry.state = kServiceRunning;
    entry.markedForDelete = true;
    host::SeedService(entry);
    Scm scm;
    ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerConnect);
    ScHandle service = scm.openService(manager, "CorvaneService", kServiceQueryStatus);
    ASSERT_NE(nullptr, service) << "a running marked service went";
    scm.close(service);

    entry.state = kServiceStopped;
    host::SeedService(entry);
    SetLastError(0);
    EXPECT_EQ(nullptr, scm.openService(manager, "CorvaneService", kServiceQueryStatus));
    EXPECT_EQ(kErrorServiceDoesNotExist, GetLastError());
    EXPECT_FALSE(host::FindService("CorvaneService"));
    scm.close(manager);
}

TEST_F(ScmEmulation, ClosedHandleIsInvalidEverywhere) {
    Seed(kServiceRunning);
    Scm scm;
    ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerAllAccess);
    ScHandle service = scm.openService(manager, "CorvaneService", kServiceAllAccess);
    ASSERT_TRUE(scm.close(service));
    ServiceStatus status;
    SetLastError(0);
    EXPECT_FALSE(scm.close(service));
    EXPECT_EQ(kErrorInvalidHandle, GetLastError());
    SetLastError(0);
    EXPECT_FALSE(scm.query(service, &status));
    EXPECT_EQ(kErrorInvalidHandle, GetLastError());
    SetLastError(0);
    EXPECT_FALSE(DeleteService(service));
    EXPECT_EQ(kErrorInvalidHandle, GetLastError());
    ASSERT_TRUE(scm.close(manager));
    SetLastError(0);
    EXPECT_EQ(nullptr, scm.openService(manager, "CorvaneService", kServiceAllAccess));
    EXPECT_EQ(kErrorInvalidHandle, GetLastError());
}

TEST_F(ScmEmulation, ReadOnlyStoreDeniesChanges) {
    Seed(kServiceRunning);
    host::SetMemoryStoreWritable(false);
    Scm scm;
    SetLastError(0);
    EXPECT_EQ(nullptr, scm.openManager(nullptr, nullptr, kScManagerAllAccess));
    EXPECT_EQ(kErrorAccessDenied, GetLastError());
    ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerConnect);
    ASSERT_NE(nullptr, manager);
    SetLastError(0);
    EXPECT_EQ(nullptr, scm.openService(manager, "CorvaneService", kServiceStop));
    EXPECT_EQ(kErrorAccessDenied, GetLastError());
    ScHandle service = scm.openService(manager, "CorvaneService", kServiceQueryStatus);
    EXPECT_NE(nullptr, service);
    scm.close(service);
    scm.close(manager);
}

TEST_F(ScmEmulation, CreateFailsWhenTheStoreCannotKeepTheService) {
    Scm scm;
    ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerAllAccess);
    ASSERT_NE(nullptr, manager) << GetLastError();
    // The caller loses its right to change the store after the manager was opened.
    host::SetMemoryStoreWritable(false);
    SetLastError(0);
    EXPECT_EQ(nullptr, scm.Create(manager, "CorvaneService"));
    EXPECT_EQ(kErrorAccessDenied, GetLastError());
    EXPECT_FALSE(host::FindService("CorvaneService"));
    EXPECT_EQ(1u, host::OpenHandleCount());
    EXPECT_EQ(std::vector<std::string>{"CreateServiceA #1 CorvaneService 0xf01ff -> error 5"},
              host::CallTrace(host::EntryPoint::CreateServiceA));
    scm.close(manager);
}

TEST_F(ScmEmulation, InjectedFailureHitsOnlyTheNextCallAndIsLogged) {
    Seed(kServiceRunning);
    host::FailNextCall(host::EntryPoint::OpenServiceA, kErrorAccessDenied);
    Scm scm;
    ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerAllAccess);
    SetLastError(0);
    EXPECT_EQ(nullptr, scm.openService(manager, "CorvaneService", kServiceStop | kServiceQueryStatus));
    EXPECT_EQ(kErrorAccessDenied, GetLastError());
    ScHandle service = scm.openService(manager, "CorvaneService", kServiceStop | kServiceQueryStatus);
    ASSERT_NE(nullptr, service);
    ServiceStatus status;
    scm.control(service, kServiceControlStop, &status);
    scm.query(service, &status);
    Sleep(1000);
    scm.close(service);
    scm.close(manager);

    EXPECT_EQ((std::vector<std::string>{
                  "LoadLibraryA advapi32.dll -> ok",
                  "GetProcAddress OpenSCManagerA -> ok",
                  "GetProcAddress OpenServiceA -> ok",
                  "GetProcAddress ControlService -> ok",
                  "GetProcAddress CloseServiceHandle -> ok",
                  "GetProcAddress EnumServicesStatusA -> ok",
                  "GetProcAddress StartServiceA -> ok",
                  "GetProcAddress QueryServiceStatus -> ok",
                  "OpenSCManagerA 0xf003f -> #1",
                  "OpenServiceA #1 CorvaneService 0x24 -> error 5",
                  "OpenServiceA #1 CorvaneService 0x24 -> #2",
                  "ControlService #2 1 -> state 3",
                  "QueryServiceStatus #2 -> state 1",
                  "Sleep 1000",
                  "CloseServiceHandle #2 -> ok",
                  "CloseServiceHandle #1 -> ok",
              }),
              host::CallTrace());
    EXPECT_EQ(std::vector<uint32_t>{1000}, host::RecordedSleeps());
    EXPECT_EQ(0u, host::OpenHandleCount());
}

TEST_F(ScmEmulation, CreateKeepsTheConfigurationAsHandedOver) {
    Scm scm;
    ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerAllAccess);
    uint32_t tag = 7;
    ScHandle service = CreateServiceA(manager, "CorvaneService", "Corvane", kServiceAllAccess,
                                      kServiceWin32OwnProcess | kServiceInteractiveProcess, kServiceAutoStart,
                                      kServiceErrorNormal, "\"C:\\Corvane\\svc.exe\" -service", nullptr, &tag,
                                      "RpcSs\0+NetworkProvider\0", nullptr, "secret");
    ASSERT_NE(nullptr, service) << GetLastError();
    scm.close(service);
    auto entry = host::FindService("corvaneservice");
    ASSERT_TRUE(entry);
    EXPECT_EQ("Corvane", entry->displayName);
    EXPECT_EQ(kServiceWin32OwnProcess | kServiceInteractiveProcess, entry->type);
    EXPECT_EQ(kServiceAutoStart, entry->start);
    EXPECT_EQ("\"C:\\Corvane\\svc.exe\" -service", entry->imagePath);
    EXPECT_EQ((std::vector<std::string>{"RpcSs", "+NetworkProvider"}), entry->dependencies);
    EXPECT_EQ("LocalSystem", entry->objectName);
    EXPECT_EQ(kServiceStopped, entry->state);
    EXPECT_FALSE(entry->markedForDelete);

    // Configurations the manager refuses.
    struct Case {
        uint32_t type, start, errorControl;
        const char* account;
    };
    const Case refused[] = {
        {0x4, kServiceAutoStart, kServiceErrorNormal, nullptr},                     // no such type
        {kServiceWin32OwnProcess, 5, kServiceErrorNormal, nullptr},                 // no such start
        {kServiceWin32OwnProcess, 0, kServiceErrorNormal, nullptr},                 // boot start: drivers only
        {kServiceWin32OwnProcess | kServiceInteractiveProcess, kServiceAutoStart, kServiceErrorNormal,
         ".\\someone"},                                                             // interactive: LocalSystem only
    };
    for (const Case& c : refused) {
        SetLastError(0);
        EXPECT_EQ(nullptr, CreateServiceA(manager, "CvsRefused", nullptr, kServiceAllAccess, c.type, c.start,
                                 c.errorControl, "C:\\a.exe", nullptr, nullptr, nullptr, c.account, nullptr));
        EXPECT_EQ(kErrorInvalidParameter, GetLastError());
    }
    SetLastError(0);
    EXPECT_EQ(nullptr, CreateServiceA(manager, "CvsOther", "corvane", kServiceAllAccess, kServiceWin32OwnProcess,
                             kServiceDemandStart, kServiceErrorNormal, "C:\\a.exe", nullptr, nullptr, nullptr,
                             nullptr, nullptr));
    EXPECT_EQ(kErrorDuplicateServiceName, GetLastError());
    EXPECT_EQ(1u, host::ListServices().size());
    scm.close(manager);
}

TEST_F(ScmEmulation, TheEmulationsEndClosesWhatATestLeftOpen) {
    Scm scm;
    ScHandle service = nullptr;
    std::shared_ptr<host::Store> store;
    {
        const host::Emulation inner;
        store = inner.manager.store;
        Seed(kServiceRunning);
        ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerAllAccess);
        service = scm.openService(manager, "CorvaneService", kServiceAllAccess);
        ASSERT_NE(nullptr, service);
        EXPECT_EQ(2u, host::OpenHandleCount());
    }
    // Closed as the program would close them: the record holds no handle of this process.
    host::Emulation later;
    later.manager.store = store;
    EXPECT_TRUE(host::FindService("CorvaneService")->openHandles.empty());
    EXPECT_EQ(0u, host::OpenHandleCount());
    SetLastError(0);
    EXPECT_FALSE(scm.close(service));
    EXPECT_EQ(kErrorInvalidHandle, GetLastError());
}

}  // namespace

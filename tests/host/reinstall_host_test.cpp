// The reinstall run against the host emulation: what reaches the service manager, what it keeps,
// and what the run shows, with the emulation's sleeps recorded rather than slept.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cvservinst/reinstall.h"
#include "cvservinst/run.h"
#include "platform/errors.h"
#include "platform/host/scm_testing.h"
#include "platform/services.h"
#include "servises/servises.h"
#include "tests/host/scm_host_support.h"

namespace {

namespace host = platform::host;
using Names = std::vector<std::string>;

constexpr const char* kDone = " Done: Service \"Corvane Monitor\" installed\r\n";

std::string SystemText(uint32_t code) {
    platform::SetLastError(code);
    return servises::LastErrorText();
}

// A running "CorvaneService" of an earlier installation.
host::ServiceEntry OldRunning(int32_t stopPending) {
    host::ServiceEntry entry;
    entry.name = "CorvaneService";
    entry.displayName = "Corvane Monitor";
    entry.type = 0x110;
    entry.start = 2;
    entry.imagePath = "/opt/old/corvane.exe /service";
    entry.dependencies = {"RpcSs", "Eventlog", "TapiSrv", "oldmaster"};
    entry.state = platform::kServiceRunning;
    entry.stopPending = stopPending;
    return entry;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// A started unit over a fresh in-memory service manager with recorded sleeps. Standard input is
// not a terminal meanwhile, so the dialog never waits for Enter.
class ReinstallHostTest : public testing::Test {
protected:
    ReinstallHostTest() {
        savedStdin_ = ::dup(STDIN_FILENO);
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, STDIN_FILENO);
        ::close(null);
        servises::StartUnit();
    }
    ~ReinstallHostTest() override {
        servises::StopUnit();
        ::dup2(savedStdin_, STDIN_FILENO);
        ::close(savedStdin_);
    }

    // Reinstalls for `programPath` with the master services `masters`, both streams captured.
    static Outcome Reinstall(const std::string& programPath, const Names& masters = {}) {
        cvservinst::ProgramPath = programPath;
        std::vector<std::string> arguments{"as given"};
        arguments.insert(arguments.end(), masters.begin(), masters.end());
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int status = cvservinst::ReinstallService(arguments);
        std::string err = testing::internal::GetCapturedStderr();
        std::string out = testing::internal::GetCapturedStdout();
        return {status, std::move(out), std::move(err)};
    }

    int savedStdin_ = -1;
    host::Emulation emulation_;
};

TEST_F(ReinstallHostTest, DependencyListsKeepEveryNameAsGiven) {
    struct Case {
        const char* what;
        Names masters;
        std::string list;  // as the run builds it
        Names stored;
    };
    using std::string_literals::operator""s;
    const Case cases[] = {
        {"no master", {}, "RpcSs\0Eventlog\0TapiSrv\0\0"s, {"RpcSs", "Eventlog", "TapiSrv"}},
        {"two masters", {"a", "b"}, "RpcSs\0Eventlog\0TapiSrv\0a\0b\0\0"s,
         {"RpcSs", "Eventlog", "TapiSrv", "a", "b"}},
        {"a name twice", {"snmp", "snmp"}, "RpcSs\0Eventlog\0TapiSrv\0snmp\0snmp\0\0"s,
         {"RpcSs", "Eventlog", "TapiSrv", "snmp", "snmp"}},
        {"a fixed name again", {"RpcSs"}, "RpcSs\0Eventlog\0TapiSrv\0RpcSs\0\0"s,
         {"RpcSs", "Eventlog", "TapiSrv", "RpcSs"}},
        {"a non-ASCII name", {"Dienst\xE4\xFC"}, "RpcSs\0Eventlog\0TapiSrv\0Dienst\xE4\xFC\0\0"s,
         {"RpcSs", "Eventlog", "TapiSrv", "Dienst\xE4\xFC"}},
        // An empty name would close the list early and drop the names after it.
        {"an empty name", {"a", "", "b"}, "RpcSs\0Eventlog\0TapiSrv\0a\0b\0\0"s,
         {"RpcSs", "Eventlog", "TapiSrv", "a", "b"}},
    };
    // One process for every row: a list left over from the run before must not leak into the next.
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        const host::Emulation emulation;

        const Outcome outcome = Reinstall("/opt/corvane/corvane.exe", row.masters);
        EXPECT_EQ(0, outcome.status);
        EXPECT_EQ(row.list, cvservinst::Dependencies);
        EXPECT_EQ(row.list, host::DependenciesRead());
        const auto entry = host::FindService("CorvaneService");
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(row.stored, entry->dependencies);
    }
}

TEST_F(ReinstallHostTest, TheImagePathIsQuotedWhenThePathHoldsABlank) {
    struct Case {
        const char* path;
        const char* imagePath;
    };
    const Case cases[] = {
        {"/opt/Corvane 8/corvane.exe", "\"/opt/Corvane 8/corvane.exe\" /service"},
        {"/opt/Corvane\t8/corvane.exe", "\"/opt/Corvane\t8/corvane.exe\" /service"},
        {"/opt/corvane8/corvane.exe", "/opt/corvane8/corvane.exe /service"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.path);
        ASSERT_EQ(0, Reinstall(row.path).status);
        const auto entry = host::FindService("CorvaneService");
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(row.imagePath, entry->imagePath);
    }
}

TEST_F(ReinstallHostTest, AFirstInstallationShowsOnlyItsSuccess) {
    const Outcome outcome = Reinstall("/opt/corvane/corvane.exe", {"snmp"});
    EXPECT_EQ(0, outcome.status);
    EXPECT_EQ(kDone, outcome.out);
    // The removal found nothing to remove; that is never shown.
    EXPECT_NE(std::string::npos, outcome.err.find("- Confirm -")) << outcome.err;
    EXPECT_NE(std::string::npos, outcome.err.find("(?) Service \"Corvane Monitor\" installed")) << outcome.err;
    EXPECT_EQ(std::string::npos, outcome.err.find("Error")) << outcome.err;
    EXPECT_EQ(std::string::npos, outcome.err.find("Cannot")) << outcome.err;

    const auto entry = host::FindService("CorvaneService");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ("CorvaneService", entry->name);
    EXPECT_EQ("Corvane Monitor", entry->displayName);
    EXPECT_EQ(272u, entry->type);
    EXPECT_EQ(2u, entry->start);
    EXPECT_EQ(1u, entry->errorControl);
    EXPECT_EQ(platform::kServiceStopped, entry->state);
    EXPECT_EQ(0u, host::OpenHandleCount());
}

TEST_F(ReinstallHostTest, ARunningOldServiceIsStoppedAndReplaced) {
    host::SeedService(OldRunning(1));
    const Outcome outcome = Reinstall("/opt/new/corvane.exe", {"snmp"});
    EXPECT_EQ(0, outcome.status);
    EXPECT_EQ(kDone, outcome.out);
    EXPECT_EQ((std::vector<uint32_t>{1000, 1000}), host::RecordedSleeps());
    EXPECT_EQ(1u, host::CallTrace(host::EntryPoint::DeleteService).size());

    const auto entry = host::FindService("CorvaneService");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ("/opt/new/corvane.exe /service", entry->imagePath);
    EXPECT_EQ((Names{"RpcSs", "Eventlog", "TapiSrv", "snmp"}), entry->dependencies);
    EXPECT_EQ(platform::kServiceStopped, entry->state);
    EXPECT_EQ(0u, host::OpenHandleCount());
}

TEST_F(ReinstallHostTest, AServiceThatNeverStopsIsReportedOnlyThroughTheFailedCreation) {
    const host::ServiceEntry old = OldRunning(-1);
    host::SeedService(old);
    const std::string message = "Cannot create service\r\n" + SystemText(platform::kErrorServiceExists);

    const Outcome outcome = Reinstall("/opt/new/corvane.exe", {"snmp"});
    EXPECT_EQ(1, outcome.status);
    EXPECT_EQ(std::vector<uint32_t>(21, 1000), host::RecordedSleeps());
    EXPECT_EQ(" Error: " + message + "\r\n", outcome.out);
    EXPECT_NE(std::string::npos, outcome.err.find("- Error -")) << outcome.err;
    EXPECT_NE(std::string::npos, outcome.err.find("Cannot create service")) << outcome.err;
    EXPECT_EQ(std::string::npos, outcome.err.find("Cannot stop service")) << outcome.err;
    EXPECT_EQ(std::string::npos, outcome.err.find("Confirm")) << outcome.err;
    EXPECT_TRUE(host::CallTrace(host::EntryPoint::DeleteService).empty());

    const auto entry = host::FindService("CorvaneService");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(old.imagePath, entry->imagePath);
    EXPECT_EQ(old.dependencies, entry->dependencies);
    EXPECT_EQ(old.displayName, entry->displayName);
    EXPECT_FALSE(entry->markedForDelete);
    EXPECT_EQ(0u, host::OpenHandleCount());
}

// The old registration is never left marked for deletion while the run fails: either it goes and
// the new one is made, or it stays as it was (a service that refuses the stop), or it is reported.
TEST_F(ReinstallHostTest, AnOldServiceThatCannotGoNowIsNeverLostSilently) {
    struct Case {
        const char* what;
        bool acceptsStop;
        std::size_t released;  // another program closes its handle at this sleep; 0: none held
        int status;
        uint32_t creationError;  // 0: created
        std::size_t sleeps;
    };
    const Case cases[] = {
        {"running, accepts no stop", false, 0, 1, platform::kErrorServiceExists, 0},
        {"stopped, held open for a while", true, 4, 0, 0, 1 + 4},
        {"stopped, held open beyond the wait", true, 1000, 1, platform::kErrorServiceMarkedForDelete, 1 + 80},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        host::Emulation emulation;
        host::ServiceEntry old = OldRunning(0);
        if (!row.acceptsStop) old.controlsAccepted = 0;
        host::SeedService(old);
        cvs_test::Scm holder;
        const platform::ScHandle manager = holder.openManager(nullptr, nullptr, platform::kScManagerConnect);
        platform::ScHandle held = nullptr;
        if (row.released != 0) {
            held = holder.openService(manager, "CorvaneService", platform::kServiceQueryStatus);
            // After the stop's one sleep, the removal's looks.
            emulation.AfterSleep(1 + row.released, [&] { holder.close(held); });
        }

        const Outcome outcome = Reinstall("/opt/new/corvane.exe");
        EXPECT_EQ(row.status, outcome.status);
        const auto entry = host::FindService("CorvaneService");
        if (row.creationError == 0) {
            EXPECT_EQ(kDone, outcome.out);
            ASSERT_TRUE(entry.has_value());
            EXPECT_EQ("/opt/new/corvane.exe /service", entry->imagePath);
        } else {
            EXPECT_EQ(" Error: Cannot create service\r\n" + SystemText(row.creationError) + "\r\n", outcome.out);
        }
        EXPECT_EQ(row.sleeps, host::RecordedSleeps().size());
        if (!row.acceptsStop) {
            // Left running and registered as it was, not marked to go when its process ends.
            ASSERT_TRUE(entry.has_value());
            EXPECT_EQ(old.imagePath, entry->imagePath);
            EXPECT_EQ(platform::kServiceRunning, entry->state);
            EXPECT_FALSE(entry->markedForDelete);
            EXPECT_TRUE(host::CallTrace(host::EntryPoint::DeleteService).empty());
        }
        // The emulation closes whatever the holder still has open.
    }
}

// The usage alone is a success only when nothing was given, or when it was asked for.
TEST_F(ReinstallHostTest, TheUsageTellsWhetherItWasAskedFor) {
    const std::string usage =
        " Usage: cvservinst path_to_corvane.exe [MasterService1 [MasterService2 [...]]]\r\n"
        " Example: cvservinst.exe \"C:\\Program Files\\Corvane8\\corvane.exe\" snmp\r\n";
    struct Case {
        const char* what;
        Names arguments;
        bool textAfterName;
        int status;
    };
    const Case cases[] = {
        {"nothing after the name", {}, false, 0},
        {"text that gives no argument", {}, true, 1},
        {"/?", {"/?"}, true, 0},
        {"/? before a path", {"/?", "/opt/corvane/corvane.exe"}, true, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int status = cvservinst::Run(row.arguments, row.textAfterName);
        const std::string err = testing::internal::GetCapturedStderr();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(row.status, status);
        ASSERT_GE(out.size(), usage.size());
        EXPECT_EQ(usage, out.substr(out.size() - usage.size()));
        EXPECT_EQ("", err);  // no dialog
        EXPECT_TRUE(host::CallLog().empty());
    }
}

TEST_F(ReinstallHostTest, WithoutRightsTheCreationNamesTheManager) {
    host::SetMemoryStoreWritable(false);
    const std::string message =
        "Cannot open Service Control Manager\r\n" + SystemText(platform::kErrorAccessDenied);

    const Outcome outcome = Reinstall("/opt/new/corvane.exe");
    EXPECT_EQ(1, outcome.status);
    // The removal's manager refusal says the same words; only the creation's report may show them.
    EXPECT_EQ(" Error: " + message + "\r\n", outcome.out);
    EXPECT_EQ(2u, host::CallTrace(host::EntryPoint::OpenSCManagerA).size());
    EXPECT_NE(std::string::npos, outcome.err.find("- Error -")) << outcome.err;
    EXPECT_EQ(1u, Count(outcome.err, "Cannot open Service Control Manager")) << outcome.err;
    EXPECT_TRUE(host::ListServices().empty());
}

}  // namespace

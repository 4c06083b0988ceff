// The emulated service manager's on-disk store: its files, its location, damage, rights and
// concurrent use by several processes.
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "scm_host_support.h"

namespace {

using namespace platform;
using cvs_test::ReadFile;
using cvs_test::Scm;
using cvs_test::WriteFile;

class ScmStore : public cvs_test::TempStore {};

TEST_F(ScmStore, RoundTripThroughTheFiles) {
    Scm scm;
    ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerAllAccess);
    ASSERT_NE(nullptr, manager) << GetLastError();
    // The list ends at its first empty name: "Ignored" is not part of it.
    ScHandle service = CreateServiceA(manager, "CorvaneService", "Corvane Service", kServiceAllAccess,
                                      kServiceWin32OwnProcess, kServiceAutoStart, kServiceErrorNormal,
                                      "C:\\Program Files\\Corvane\\svc.exe", nullptr, nullptr,
                                      "Tcpip\0Afd\0\0Ignored\0", nullptr, nullptr);
    ASSERT_NE(nullptr, service) << GetLastError();
    ASSERT_TRUE(scm.close(service));

    std::filesystem::path file = dir_ / "corvaneservice.svc";
    EXPECT_EQ("Name=CorvaneService\n"
              "DisplayName=Corvane Service\n"
              "Type=16\n"
              "Start=2\n"
              "ErrorControl=1\n"
              "ImagePath=C:\\Program Files\\Corvane\\svc.exe\n"
              "DependOnService=Tcpip\n"
              "DependOnService=Afd\n"
              "ObjectName=LocalSystem\n"
              "State=1\n"
              "StopPending=0\n"
              "ControlsAccepted=1\n", ReadFile(file));

    // Edited by hand: running, and two status queries still see it stopping after a stop.
    std::string text = ReadFile(file);
    text.replace(text.find("State=1\nStopPending=0"), 21, "State=4\nStopPending=2");
    WriteFile(file, text);
    service = scm.openService(manager, "CORVANESERVICE", kServiceStop | kServiceQueryStatus | kDeleteAccess);
    ASSERT_NE(nullptr, service) << GetLastError();
    ServiceStatus status;
    ASSERT_TRUE(scm.control(service, kServiceControlStop, &status)) << GetLastError();
    EXPECT_EQ(kServiceStopPending, status.currentState);
    std::vector<uint32_t> states;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(scm.query(service, &status)) << GetLastError();
        states.push_back(status.currentState);
    }
    EXPECT_EQ((std::vector<uint32_t>{kServiceStopPending, kServiceStopPending, kServiceStopped}), states);

    auto entry = host::FindService("corvaneService");
    ASSERT_TRUE(entry);
    EXPECT_EQ("CorvaneService", entry->name);
    EXPECT_EQ((std::vector<std::string>{"Tcpip", "Afd"}), entry->dependencies);
    EXPECT_EQ(std::vector<int>{::getpid()}, entry->openHandles);

    ASSERT_TRUE(DeleteService(service)) << GetLastError();
    EXPECT_TRUE(std::filesystem::exists(file)) << "removed while a handle is open";
    ASSERT_TRUE(scm.close(service));
    ASSERT_TRUE(scm.close(manager));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(0, CountFiles(".tmp"));
}

TEST_F(ScmStore, LocationFollowsTheEnvironment) {
    struct Case {
        const char* scmDir;
        const char* stateHome;
        const char* home;
        std::string expected;  // below root_
    };
    const Case cases[] = {
        {"explicit/scm", "state", "home", "explicit/scm"},
        {nullptr, "state", "home", "state/cvservinst/scm"},
        {nullptr, nullptr, "home", "home/.local/state/cvservinst/scm"},
        {nullptr, "relative/state", "home", "home/.local/state/cvservinst/scm"},  // not absolute: ignored
    };
    std::string savedHome = ::getenv("HOME") ? ::getenv("HOME") : "";
    const char* savedState = ::getenv("XDG_STATE_HOME");
    std::string savedStateText = savedState ? savedState : "";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        auto setOrUnset = [this](const char* name, const char* value) {
            if (!value)
                ::unsetenv(name);
            else if (value[0] == 'r')
                ::setenv(name, value, 1);
            else
                ::setenv(name, (root_ / value).c_str(), 1);
        };
        setOrUnset("CVSERVINST_SCM_DIR", c.scmDir);
        setOrUnset("XDG_STATE_HOME", c.stateHome);
        setOrUnset("HOME", c.home);
        EXPECT_EQ((root_ / c.expected).string(), host::DiskStoreDirectory());
        Scm scm;
        ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerConnect);
        EXPECT_NE(nullptr, manager) << GetLastError();
        EXPECT_TRUE(std::filesystem::is_directory(root_ / c.expected));
        if (manager) scm.close(manager);
    }
    ::setenv("HOME", savedHome.c_str(), 1);
    if (savedState)
        ::setenv("XDG_STATE_HOME", savedStateText.c_str(), 1);
    else
        ::unsetenv("XDG_STATE_HOME");
}

TEST_F(ScmStore, DamagedRecordFailsEveryCallThatReadsIt) {
    const char* records[] = {
        "Name=CvsDamaged\nType=sixteen\n",          // bad number
        "Name=CvsDamaged\nState=9\n",               // no such state
        "Name=CvsDamaged\nStopPending=-2\n",
        "Name=CvsDamaged\ngarbage\n",               // no "="
        "Type=16\nState=1\n",                       // no Name
        "Name=SomeoneElse\n",                       // not the file's name
        "Name=CvsDamaged\r\nState=1\r\n",           // CR LF
        "Name=CvsDamaged\nStat=4\n",                // unknown key
        "Name=CvsDamaged\nState=1\nState=4\n",      // repeated key
        "Name=CvsDamaged\nName*=CvsDamaged\n",       // repeated key, once escaped
        "Name=CvsDamaged\nDisplayName*=a%0\n",      // escape cut short
        "Name=CvsDamaged\nDisplayName*=a%0G\n",     // no hex digits
        "Name=CvsDamaged\nDisplayName*=a%00b\n",    // NUL
    };
    Scm scm;
    ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerAllAccess);
    ASSERT_NE(nullptr, manager) << GetLastError();
    std::filesystem::path file = dir_ / "cvsdamaged.svc";
    for (const char* record : records) {
        SCOPED_TRACE(record);
        WriteFile(file, record);
        SetLastError(0);
        EXPECT_EQ(nullptr, scm.openService(manager, "CvsDamaged", kServiceQueryStatus));
        EXPECT_EQ(kErrorInvalidData, GetLastError());
        SetLastError(0);
        EXPECT_EQ(nullptr, scm.Create(manager, "CvsDamaged"));
        EXPECT_EQ(kErrorInvalidData, GetLastError());
        EXPECT_EQ(record, ReadFile(file)) << "the damaged record was rewritten";
    }
    scm.close(manager);
}

TEST_F(ScmStore, LineBreaksAndPercentSignsRoundTrip) {
    Scm scm;
    ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerAllAccess);
    ASSERT_NE(nullptr, manager) << GetLastError();
    // Name, display name, path, dependency list and account, as the service manager takes them.
    struct Case {
        const char* name;
        const char* display;
        const char* path;
        const char* dependencies;
        std::vector<std::string> dependencyList;
        const char* account;
    };
    const Case cases[] = {
        {"Cvs\nBroken", nullptr, "C:\\a.exe", nullptr, {}, nullptr},
        {"CvsBroken1", "Two\r\nLines", "C:\\a.exe", nullptr, {}, nullptr},
        {"CvsBroken2", nullptr, "C:\\a.exe\nState=4", nullptr, {}, nullptr},
        {"CvsBroken3", nullptr, "C:\\a.exe", "Tcpip\0Afd\nState=4\0\r\0", {"Tcpip", "Afd\nState=4", "\r"}, nullptr},
        {"CvsBroken4", "100%0A sure\n", "C:\\%SystemRoot%\\b.exe", "%25\0", {"%25"}, ".\\x\ny"},
        {".CvsDot", nullptr, "C:\\a.exe", nullptr, {}, nullptr},  // a file name beginning with a dot
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        ScHandle service = CreateServiceA(manager, c.name, c.display, kServiceAllAccess, kServiceWin32OwnProcess,
                                          kServiceDemandStart, kServiceErrorNormal, c.path, nullptr, nullptr,
                                          c.dependencies, c.account, nullptr);
        ASSERT_NE(nullptr, service) << GetLastError();
        EXPECT_TRUE(scm.close(service));
        // Read back from the file, and found again by its name.
        auto entry = host::FindService(c.name);
        ASSERT_TRUE(entry);
        EXPECT_EQ(c.name, entry->name);
        EXPECT_EQ(c.display ? c.display : c.name, entry->displayName);
        EXPECT_EQ(c.path, entry->imagePath);
        EXPECT_EQ(c.dependencyList, entry->dependencies);
        EXPECT_EQ(c.account ? c.account : "LocalSystem", entry->objectName);
        const std::vector<host::ServiceEntry> listed = host::ListServices();
        ASSERT_EQ(1u, listed.size());
        EXPECT_EQ(c.name, listed[0].name);
        service = scm.openService(manager, c.name, kDeleteAccess);
        ASSERT_NE(nullptr, service) << GetLastError();
        EXPECT_TRUE(DeleteService(service)) << GetLastError();
        EXPECT_TRUE(scm.close(service));
        EXPECT_FALSE(host::FindService(c.name));
    }
    // The values that need it are written as "Key*=", with "%" escapes; the others as they are.
    ScHandle service = CreateServiceA(manager, "CvsLines", "One\nTwo", kServiceAllAccess, kServiceWin32OwnProcess,
                                      kServiceDemandStart, kServiceErrorNormal, "C:\\50%\\a.exe", nullptr, nullptr,
                                      "snmp\nState=4\0\r%\0", nullptr, nullptr);
    ASSERT_NE(nullptr, service) << GetLastError();
    EXPECT_TRUE(scm.close(service));
    EXPECT_EQ("Name=CvsLines\n"
              "DisplayName*=One%0ATwo\n"
              "Type=16\n"
              "Start=3\n"
              "ErrorControl=1\n"
              "ImagePath=C:\\50%\\a.exe\n"
              "DependOnService*=snmp%0AState=4\n"
              "DependOnService*=%0D%25\n"
              "ObjectName=LocalSystem\n"
              "State=1\n"
              "StopPending=0\n"
              "ControlsAccepted=1\n",
              ReadFile(dir_ / "cvslines.svc"));
    EXPECT_EQ(0, CountFiles(".tmp"));
    scm.close(manager);
}

TEST_F(ScmStore, RecordsUpToTheBoundAreKeptAndLargerOnesRefused) {
    Scm scm;
    ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerAllAccess);
    ASSERT_NE(nullptr, manager) << GetLastError();
    ScHandle neighbour = scm.Create(manager, "CvsNeighbour");
    ASSERT_NE(nullptr, neighbour) << GetLastError();
    EXPECT_TRUE(scm.close(neighbour));
    const std::string neighbourRecord = ReadFile(dir_ / "cvsneighbour.svc");

    // A list of `names` names of `length` bytes each, as CreateServiceA takes it.
    auto list = [](std::size_t names, std::size_t length) {
        std::string text;
        for (std::size_t i = 0; i < names; ++i) text += std::string(length - 1, 'm') + static_cast<char>('a' + i % 26) + '\0';
        return text + '\0';
    };
    // 1.1 MB of names: registered, read back, and replaced by a later creation.
    std::string large = list(11000, 100);
    ScHandle service = scm.Create(manager, "CvsLarge", large.c_str());
    ASSERT_NE(nullptr, service) << GetLastError();
    EXPECT_TRUE(DeleteService(service)) << GetLastError();
    EXPECT_TRUE(scm.close(service));
    service = scm.Create(manager, "CvsLarge", large.c_str());
    ASSERT_NE(nullptr, service) << GetLastError();
    EXPECT_TRUE(scm.close(service));
    auto entry = host::FindService("CvsLarge");
    ASSERT_TRUE(entry);
    EXPECT_EQ(11000u, entry->dependencies.size());

    // Over 32 MiB: refused before anything is written, so the store stays as it was.
    std::string huge = list(33, 1 << 20);
    SetLastError(0);
    EXPECT_EQ(nullptr, scm.Create(manager, "CvsHuge", huge.c_str()));
    EXPECT_EQ(kErrorNotEnoughMemory, GetLastError());
    EXPECT_FALSE(std::filesystem::exists(dir_ / "cvshuge.svc"));
    EXPECT_EQ(0, CountFiles(".tmp"));
    EXPECT_EQ(neighbourRecord, ReadFile(dir_ / "cvsneighbour.svc"));
    EXPECT_EQ(2u, host::ListServices().size());

    // Nor is a file over the bound read: it is damaged.
    WriteFile(dir_ / "cvshuge.svc", "Name=CvsHuge\nImagePath=" + std::string((32 << 20) + 1, 'x') + "\n");
    SetLastError(0);
    EXPECT_EQ(nullptr, scm.openService(manager, "CvsHuge", kServiceQueryStatus));
    EXPECT_EQ(kErrorInvalidData, GetLastError());
    scm.close(manager);
}

TEST_F(ScmStore, RemoteMachines) {
    std::filesystem::create_directories(dir_ / "machines" / "Remote1");
    Scm scm;
    ScHandle remote = scm.openManager("\\\\REMOTE1", nullptr, kScManagerAllAccess);
    ASSERT_NE(nullptr, remote) << GetLastError();
    ScHandle service = scm.Create(remote, "CvsRemote");
    ASSERT_NE(nullptr, service) << GetLastError();
    EXPECT_TRUE(std::filesystem::exists(dir_ / "machines" / "Remote1" / "cvsremote.svc"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "cvsremote.svc"));
    scm.close(service);
    scm.close(remote);

    SetLastError(0);
    EXPECT_EQ(nullptr, scm.openManager("\\\\nosuchhost", nullptr, kScManagerConnect));
    EXPECT_EQ(kErrorRpcServerUnavailable, GetLastError());
    SetLastError(0);
    EXPECT_EQ(nullptr, scm.openManager("..", nullptr, kScManagerConnect));
    EXPECT_EQ(kErrorRpcServerUnavailable, GetLastError());
}

// Runs `body` in a child process and returns its exit status.
template <typename Body>
int InChild(Body body) {
    pid_t pid = ::fork();
    if (pid == 0) _exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

TEST_F(ScmStore, ConcurrentProcessesLoseNoRegistration) {
    constexpr int kProcesses = 4;
    constexpr int kServicesEach = 15;
    { Scm scm; ScHandle m = scm.openManager(nullptr, nullptr, kScManagerConnect); scm.close(m); }
    std::vector<pid_t> children;
    for (int k = 0; k < kProcesses; ++k) {
        pid_t pid = ::fork();
        if (pid == 0) {
            Scm scm;
            ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerAllAccess);
            if (!manager) _exit(100);
            int unexpected = 0;
            for (int i = 0; i < kServicesEach; ++i) {
                std::string own = "CvsOwn" + std::to_string(k) + "_" + std::to_string(i);
                ScHandle service = scm.Create(manager, own.c_str());
                if (!service || !scm.close(service)) ++unexpected;
                // Everyone creates and deletes the same name too.
                if (ScHandle shared = scm.Create(manager, "CvsShared")) {
                    scm.close(shared);
                } else if (GetLastError() != kErrorServiceExists && GetLastError() != kErrorServiceMarkedForDelete) {
                    ++unexpected;
                }
                if (ScHandle shared = scm.openService(manager, "cvsshared", kDeleteAccess)) {
                    if (!DeleteService(shared) && GetLastError() != kErrorServiceMarkedForDelete) ++unexpected;
                    if (!scm.close(shared)) ++unexpected;
                } else if (GetLastError() != kErrorServiceDoesNotExist) {
                    ++unexpected;
                }
            }
            scm.close(manager);
            _exit(unexpected);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child exit status " << status;
    }
    std::set<std::string> names;
    for (const host::ServiceEntry& entry : host::ListServices()) {
        names.insert(entry.name);
        EXPECT_TRUE(entry.openHandles.empty()) << entry.name;
    }
    for (int k = 0; k < kProcesses; ++k)
        for (int i = 0; i < kServicesEach; ++i)
            EXPECT_EQ(1u, names.count("CvsOwn" + std::to_string(k) + "_" + std::to_string(i)));
    EXPECT_EQ(0, CountFiles(".tmp"));
}

TEST_F(ScmStore, HandleInAnotherProcessKeepsAMarkedService) {
    Scm scm;
    ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerAllAccess);
    ASSERT_NE(nullptr, manager) << GetLastError();
    ScHandle service = scm.Create(manager, "CvsShared");
    ASSERT_NE(nullptr, service) << GetLastError();

    int toChild[2], fromChild[2];
    ASSERT_EQ(0, ::pipe(toChild));
    ASSERT_EQ(0, ::pipe(fromChild));
    pid_t pid = ::fork();
    if (pid == 0) {
        // Opens its own handle, says so, and closes it when told.
        Scm child;
        ScHandle m = child.openManager(nullptr, nullptr, kScManagerConnect);
        ScHandle s = m ? child.openService(m, "CvsShared", kServiceQueryStatus) : nullptr;
        char byte = s ? 'y' : 'n';
        if (::write(fromChild[1], &byte, 1) != 1) _exit(2);
        if (::read(toChild[0], &byte, 1) != 1) _exit(3);
        if (byte == 'c') child.close(s);
        _exit(0);  // with 'k' it ends with its handle still open
    }
    char byte = 0;
    ASSERT_EQ(1, ::read(fromChild[0], &byte, 1));
    ASSERT_EQ('y', byte);

    ASSERT_TRUE(DeleteService(service)) << GetLastError();
    ASSERT_TRUE(scm.close(service));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "cvsshared.svc"));
    SetLastError(0);
    EXPECT_EQ(nullptr, scm.Create(manager, "CvsShared"));
    EXPECT_EQ(kErrorServiceMarkedForDelete, GetLastError());

    // The child ends without closing: its handle no longer counts.
    byte = 'k';
    ASSERT_EQ(1, ::write(toChild[1], &byte, 1));
    int status = 0;
    ::waitpid(pid, &status, 0);
    SetLastError(0);
    EXPECT_EQ(nullptr, scm.openService(manager, "CvsShared", kServiceQueryStatus));
    EXPECT_EQ(kErrorServiceDoesNotExist, GetLastError());
    EXPECT_FALSE(std::filesystem::exists(dir_ / "cvsshared.svc"));
    for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) ::close(fd);
    scm.close(manager);
}

TEST_F(ScmStore, CallerWithoutRightsIsDenied) {
    {
        Scm scm;
        ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerAllAccess);
        ASSERT_NE(nullptr, manager) << GetLastError();
        ScHandle service = scm.Create(manager, "CvsGuarded");
        ASSERT_NE(nullptr, service) << GetLastError();
        scm.close(service);
        scm.close(manager);
    }
    // Checks as a caller that may read the store but not write it; returns the first check failed.
    auto checks = [] {
        Scm scm;
        SetLastError(0);
        if (scm.openManager(nullptr, nullptr, kScManagerAllAccess) || GetLastError() != kErrorAccessDenied) return 10;
        if (scm.openManager(nullptr, nullptr, kScManagerCreateService) || GetLastError() != kErrorAccessDenied)
            return 11;
        ScHandle manager = scm.openManager(nullptr, nullptr, kScManagerConnect);
        if (!manager) return 12;
        if (scm.openService(manager, "CvsGuarded", kDeleteAccess) || GetLastError() != kErrorAccessDenied) return 13;
        if (scm.openService(manager, "CvsMissing", kDeleteAccess) || GetLastError() != kErrorServiceDoesNotExist)
            return 14;
        ScHandle service = scm.openService(manager, "CvsGuarded", kServiceQueryStatus);
        if (!service) return 15;
        ServiceStatus status;
        if (!scm.query(service, &status) || status.currentState != kServiceStopped) return 16;
        if (!scm.close(service) || !scm.close(manager)) return 17;
        return 0;
    };
    int result = 0;
    if (::geteuid() != 0) {
        ::chmod(dir_.c_str(), 0555);
        result = checks();
        ::chmod(dir_.c_str(), 0755);
    } else {
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody) GTEST_SKIP() << "running as root and there is no user \"nobody\" to drop to";
        uid_t uid = nobody->pw_uid;
        gid_t gid = nobody->pw_gid;
        result = InChild([&] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) return 99;
            return checks();
        });
        if (result == 99) GTEST_SKIP() << "running as root and cannot drop to user \"nobody\"";
    }
    EXPECT_EQ(0, result) << "check " << result << " failed";
    auto entry = host::FindService("CvsGuarded");
    ASSERT_TRUE(entry);
    EXPECT_FALSE(entry->markedForDelete);
}

}  // namespace

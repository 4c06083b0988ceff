// The service-control unit against the platform's service manager: the emulation on the host, the
// real one under Wine. Each test registers names of its own and removes them again.
#include "servises/servises.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/errors.h"
#include "tests/support/servises_support.h"

namespace {

using cvs_test::ErrorOf;
using cvs_test::SystemText;

class ServisesTest : public testing::Test {
    cvs_test::StartedServises unit_;
};

const servises::DependencyList kFixedDependencies("RpcSs\0Eventlog\0TapiSrv\0\0", 24);

void Install(const std::string& name) {
    servises::InstallService(name, "cvservinst test service", "C:\\nowhere\\service.exe /service",
                             kFixedDependencies, 0x110, 3);
}

TEST_F(ServisesTest, EntryPointsOfTheRealLibraryAreAvailable) {
    EXPECT_TRUE(servises::ServiceApiAvailable());
    EXPECT_TRUE(servises::ServiceApiAvailable());
}

TEST_F(ServisesTest, ALibraryThatCannotBeLoadedLeavesTheOperationsUnavailable) {
    servises::ServiceLibraryName = "cvservinst-no-such-library.dll";
    EXPECT_FALSE(servises::ServiceApiAvailable());
    // Not tried again, even with a name that would load now.
    servises::ServiceLibraryName = "advapi32.dll";
    EXPECT_FALSE(servises::ServiceApiAvailable());
    EXPECT_EQ("advapi32.dll wasn`t loaded", ErrorOf([] { servises::RemoveService("CvsTestAny"); }));
    EXPECT_EQ("advapi32.dll wasn`t loaded", ErrorOf([] { Install("CvsTestAny"); }));
}

TEST_F(ServisesTest, LastErrorTextKeepsInsertMarkersAndNamesCodesWithoutText) {
    // 193 is "bad executable format" with the file's name as an insert: %1 stays as it is.
    const std::string withInsert = SystemText(193);
    EXPECT_NE(std::string::npos, withInsert.find("%1")) << withInsert;
    EXPECT_EQ("\r\n", withInsert.substr(withInsert.size() - 2));
    EXPECT_EQ("System error 536875572.\r\n", SystemText(0x20001234));
}

TEST_F(ServisesTest, RemovingAServiceThatIsNotRegisteredNamesTheSystemsReason) {
    const std::string expected = "Cannot open service\r\n" + SystemText(platform::kErrorServiceDoesNotExist);
    EXPECT_EQ(expected, ErrorOf([] { servises::RemoveService("CvsTestNeverRegistered"); }));
}

TEST_F(ServisesTest, CreatedServiceIsRemovedAndAnExistingNameIsRefused) {
    const std::string name = "CvsTestCreateRemove";
    Install(name);
    const std::string exists = "Cannot create service\r\n" + SystemText(platform::kErrorServiceExists);
    EXPECT_EQ(exists, ErrorOf([&] { Install(name); }));

    servises::RemoveService(name);  // registered, not running: deleted without a stop
    const std::string gone = "Cannot open service\r\n" + SystemText(platform::kErrorServiceDoesNotExist);
    EXPECT_EQ(gone, ErrorOf([&] { servises::RemoveService(name); }));
}

TEST_F(ServisesTest, TheCallersDependencyListIsLeftAsItWas) {
    const std::string name = "CvsTestListUnchanged";
    servises::DependencyList dependencies = kFixedDependencies;
    servises::InstallService(name, "cvservinst test service", "C:\\nowhere\\service.exe", dependencies,
                             0x110, 3);
    EXPECT_EQ(kFixedDependencies, dependencies);
    servises::RemoveService(name);
}

}  // namespace

#include <gtest/gtest.h>

#include "platform/dialog.h"
#include "platform/win32/win32.h"

namespace {

TEST(WindowStation, TheInteractiveStationIsVisible) {
    EXPECT_TRUE(platform::win32::WindowStationVisible());
}

// A station of the process's own is not visible, as the station of a service or of a task in session
// 0 is not. No box is shown there: run with a display, a box would hold this test until its timeout.
TEST(WindowStation, NoDialogIsShownWhereNoneCanBeSeen) {
    const HWINSTA interactive = ::GetProcessWindowStation();
    const HWINSTA hidden = ::CreateWindowStationA("cvservinst-hidden", 0, WINSTA_ALL_ACCESS, nullptr);
    ASSERT_NE(nullptr, hidden) << "CreateWindowStationA failed: " << ::GetLastError();
    ASSERT_TRUE(::SetProcessWindowStation(hidden));

    EXPECT_FALSE(platform::win32::WindowStationVisible());
    platform::ShowMessage(platform::MessageKind::Error, "nobody can see this");

    EXPECT_TRUE(::SetProcessWindowStation(interactive));
    ::CloseWindowStation(hidden);
    EXPECT_TRUE(platform::win32::WindowStationVisible());
}

}  // namespace

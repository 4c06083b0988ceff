#include <gtest/gtest.h>

#include <optional>

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

// Runs ShowMessage on a thread of its own, so that a box that should not be there cannot hold the
// test: after `wait`, any box still open is closed.
class MessageOnThread {
public:
    explicit MessageOnThread(const char* text) : text_(text) {
        thread_ = ::CreateThread(nullptr, 0, &MessageOnThread::Run, this, 0, nullptr);
    }
    ~MessageOnThread() {
        if (thread_ == nullptr) return;
        while (::WaitForSingleObject(thread_, 200) == WAIT_TIMEOUT) CloseBox();
        ::CloseHandle(thread_);
    }
    MessageOnThread(const MessageOnThread&) = delete;
    MessageOnThread& operator=(const MessageOnThread&) = delete;

    bool Started() const { return thread_ != nullptr; }
    bool ReturnsWithin(DWORD milliseconds) const { return ::WaitForSingleObject(thread_, milliseconds) == WAIT_OBJECT_0; }
    static HWND FindBox() { return ::FindWindowA(nullptr, "Error"); }
    static void CloseBox() {
        if (const HWND box = FindBox()) ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    }

private:
    static DWORD WINAPI Run(void* self) {
        platform::ShowMessage(platform::MessageKind::Error, static_cast<MessageOnThread*>(self)->text_);
        return 0;
    }
    const char* text_;
    HANDLE thread_ = nullptr;
};

bool HasDisplay() { return ::GetEnvironmentVariableA("DISPLAY", nullptr, 0) > 0; }

// Restores the process's own session on every path.
struct SessionOverride {
    explicit SessionOverride(DWORD session) { platform::win32::SetSessionForTesting(session); }
    ~SessionOverride() { platform::win32::SetSessionForTesting(std::nullopt); }
};

TEST(Session, WineRunsProgramsOutsideSessionZero) {
    DWORD session = 0;
    ASSERT_TRUE(::ProcessIdToSessionId(::GetCurrentProcessId(), &session)) << ::GetLastError();
    EXPECT_NE(0u, session);
    EXPECT_FALSE(platform::win32::InServicesSession());
}

// In session 0 no box is shown, though the window station calls itself visible: run with a
// display, a box would be a real window there.
TEST(Session, NoDialogIsShownInSessionZero) {
    const SessionOverride services(0);
    EXPECT_TRUE(platform::win32::InServicesSession());
    EXPECT_TRUE(platform::win32::WindowStationVisible());
    const MessageOnThread message("nobody can see this");
    ASSERT_TRUE(message.Started());
    EXPECT_TRUE(message.ReturnsWithin(10000)) << "a dialog was shown in session 0";
}

// In a user's session the box is shown, in the foreground. Wine puts it there even without
// MB_SETFOREGROUND; Windows' foreground lock, which the flag is for, Wine does not have.
TEST(Session, TheDialogIsShownInTheForegroundInAUsersSession) {
    if (!HasDisplay()) GTEST_SKIP() << "no display";
    const SessionOverride user(1);
    const MessageOnThread message("shown in session 1");
    ASSERT_TRUE(message.Started());
    HWND box = nullptr;
    for (int tries = 0; tries < 100 && box == nullptr; ++tries) {
        ::Sleep(100);
        box = MessageOnThread::FindBox();
    }
    ASSERT_NE(nullptr, box) << "no dialog was shown";
    // The box is found by its title as soon as it is made; it comes to the front a moment later.
    for (int tries = 0; tries < 100 && ::GetForegroundWindow() != box; ++tries) ::Sleep(100);
    EXPECT_EQ(box, ::GetForegroundWindow());
    MessageOnThread::CloseBox();
    EXPECT_TRUE(message.ReturnsWithin(10000)) << "the dialog did not close";
}

}  // namespace

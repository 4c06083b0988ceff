#include "platform/units.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/exception.h"

namespace {

std::vector<std::string> events;

void StartA() { events.push_back("start A"); }
void StopA() noexcept { events.push_back("stop A"); }
void StartB() { events.push_back("start B"); }
void StopB() noexcept { events.push_back("stop B"); }
void StartFailing() { throw platform::Exception("unit cannot start"); }
void StopFailing() noexcept { events.push_back("stop failing"); }

const platform::Unit kTwoUnits[] = {{"A", StartA, StopA}, {"B", StartB, StopB}};

TEST(RunProgram, StartsInOrderStopsInReverseAndReturnsTheStatus) {
    events.clear();
    const int status = platform::RunProgram(kTwoUnits, [] {
        events.push_back("body");
        return 7;
    });
    EXPECT_EQ(7, status);
    EXPECT_EQ((std::vector<std::string>{"start A", "start B", "body", "stop B", "stop A"}), events);
}

TEST(RunProgram, UncaughtErrorIsReportedOnStandardErrorAndGivesStatusOne) {
    events.clear();
    testing::internal::CaptureStderr();
    const int status = platform::RunProgram(kTwoUnits, []() -> int {
        throw platform::EInOutError("Cannot write to standard output: disk full");
    });
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(1, status);
    EXPECT_EQ((std::vector<std::string>{"start A", "start B", "stop B", "stop A"}), events);
    EXPECT_NE(std::string::npos, stderrText.find("Cannot write to standard output: disk full"));
}

TEST(RunProgram, ErrorsOutsideTheProgramsClassesAreCaughtToo) {
    events.clear();
    testing::internal::CaptureStderr();
    const int status = platform::RunProgram(kTwoUnits, []() -> int { throw 42; });
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(1, status);
    EXPECT_EQ((std::vector<std::string>{"start A", "start B", "stop B", "stop A"}), events);
}

TEST(RunProgram, FailedStartStopsOnlyTheUnitsAlreadyStarted) {
    events.clear();
    const platform::Unit units[] = {{"A", StartA, StopA}, {"failing", StartFailing, StopFailing},
                                    {"B", StartB, StopB}};
    testing::internal::CaptureStderr();
    const int status = platform::RunProgram(units, [] {
        events.push_back("body");
        return 0;
    });
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(1, status);
    EXPECT_EQ((std::vector<std::string>{"start A", "stop A"}), events);
    EXPECT_NE(std::string::npos, stderrText.find("unit cannot start"));
}

}  // namespace

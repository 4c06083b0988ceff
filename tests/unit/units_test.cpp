#include "platform/units.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/exception.h"

namespace {

std::vector<std::string> Events;

void StartA() { Events.push_back("start A"); }
void StopA() noexcept { Events.push_back("stop A"); }
void StartB() { Events.push_back("start B"); }
void StopB() noexcept { Events.push_back("stop B"); }
void StartFailing() { throw platform::Exception("unit cannot start"); }
void StopFailing() noexcept { Events.push_back("stop failing"); }

const platform::Unit kTwoUnits[] = {{"A", StartA, StopA}, {"B", StartB, StopB}};

TEST(RunProgram, StartsInOrderStopsInReverseAndReturnsTheStatus) {
    Events.clear();
    const int status = platform::RunProgram(kTwoUnits, [] {
        Events.push_back("body");
        return 7;
    });
    EXPECT_EQ(7, status);
    EXPECT_EQ((std::vector<std::string>{"start A", "start B", "body", "stop B", "stop A"}), Events);
}

TEST(RunProgram, UncaughtErrorIsReportedOnStandardErrorAndGivesStatusOne) {
    Events.clear();
    testing::internal::CaptureStderr();
    const int status = platform::RunProgram(kTwoUnits, []() -> int {
        throw platform::EInOutError("Cannot write to standard output: disk full");
    });
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(1, status);
    EXPECT_EQ((std::vector<std::string>{"start A", "start B", "stop B", "stop A"}), Events);
    EXPECT_NE(std::string::npos, stderrText.find("Cannot write to standard output: disk full"));
}

TEST(RunProgram, ErrorsOutsideTheProgramsClassesAreCaughtToo) {
    Events.clear();
    testing::internal::CaptureStderr();
    const int status = platform::RunProgram(kTwoUnits, []() -> int { throw 42; });
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(1, status);
    EXPECT_EQ((std::vector<std::string>{"start A", "start B", "stop B", "stop A"}), Events);
}

TEST(RunProgram, FailedStartStopsOnlyTheUnitsAlreadyStarted) {
    Events.clear();
    const platform::Unit units[] = {{"A", StartA, StopA}, {"failing", StartFailing, StopFailing},
                                    {"B", StartB, StopB}};
    testing::internal::CaptureStderr();
    const int status = platform::RunProgram(units, [] {
        Events.push_back("body");
        return 0;
    });
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(1, status);
    EXPECT_EQ((std::vector<std::string>{"start A", "stop A"}), Events);
    EXPECT_NE(std::string::npos, stderrText.find("unit cannot start"));
}

}  // namespace

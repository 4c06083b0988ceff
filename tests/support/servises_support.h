// What the tests of the service-control unit share: a started unit, the system's texts, and the
// message of the error an operation raises.
#pragma once

#include <cstdint>
#include <string>

#include "platform/errors.h"
#include "servises/servises.h"

namespace cvs_test {

// Starts the unit for one test and stops it afterwards, so every test begins unbound.
class StartedServises {
public:
    StartedServises() { servises::StartUnit(); }
    ~StartedServises() { servises::StopUnit(); }
    StartedServises(const StartedServises&) = delete;
    StartedServises& operator=(const StartedServises&) = delete;
};

// The system's text for `code`, as the unit's messages carry it.
inline std::string SystemText(uint32_t code) {
    platform::SetLastError(code);
    return servises::LastErrorText();
}

// The message of the EServiceError that `operation` raises; empty when it raises none.
template <typename Operation>
std::string ErrorOf(Operation operation) {
    try {
        operation();
    } catch (const servises::EServiceError& error) {
        return error.Message();
    }
    return "";
}

}  // namespace cvs_test

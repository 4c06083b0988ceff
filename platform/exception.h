// The program's error classes. Every error the program raises or catches derives from Exception
// and carries one finished, user-readable message.
#pragma once

#include <exception>
#include <string>

namespace platform {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}

    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// The runtime's input/output error: a console write that failed.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace platform

// The last error and the system's message texts, for Linux. The texts are the emulation's own
// words, one for each code the emulation can return, each ending in "\r\n" as the system's do.
#include "platform/errors.h"

#include <cstring>
#include <string_view>

namespace platform {
namespace {

thread_local uint32_t LastErrorCode = 0;

struct Message {
    uint32_t code;
    const char* text;
};

constexpr Message kMessages[] = {
    {kErrorSuccess, "The operation succeeded.\r\n"},
    {kErrorFileNotFound, "The file was not found.\r\n"},
    {kErrorAccessDenied, "Access is refused.\r\n"},
    {kErrorInvalidHandle, "The handle is not valid.\r\n"},
    {kErrorNotEnoughMemory, "There is not enough memory for this operation.\r\n"},
    {kErrorInvalidData, "The data is not valid.\r\n"},
    {kErrorGenFailure, "The device is not working.\r\n"},
    {kErrorInvalidParameter, "A parameter is not valid.\r\n"},
    {kErrorCallNotImplemented, "The call is not implemented here.\r\n"},
    {kErrorDiskFull, "The disk is full.\r\n"},
    {kErrorInsufficientBuffer, "The buffer is too small for the data.\r\n"},
    {kErrorInvalidName, "The name is not valid.\r\n"},
    {kErrorModNotFound, "The module was not found.\r\n"},
    {kErrorProcNotFound, "The procedure was not found.\r\n"},
    {kErrorBadExeFormat, "%1 is not a program this system can run.\r\n"},
    {kErrorMoreData, "More data is available.\r\n"},
    {kErrorMrMidNotFound, "No text was found for message 0x%1 in %2.\r\n"},
    {kErrorInvalidAddress, "The address is not valid.\r\n"},
    {kErrorDependentServicesRunning, "Other running services depend on this service, so it cannot be stopped.\r\n"},
    {kErrorInvalidServiceControl, "The control is not valid for this service.\r\n"},
    {kErrorServiceRequestTimeout, "The service did not answer the request in time.\r\n"},
    {kErrorServiceDatabaseLocked, "The service database is locked.\r\n"},
    {kErrorServiceAlreadyRunning, "The service is already running.\r\n"},
    {kErrorInvalidServiceAccount, "The account name is not valid or does not exist.\r\n"},
    {kErrorServiceDisabled, "The service is disabled and cannot be started.\r\n"},
    {kErrorServiceDoesNotExist, "No such service is installed.\r\n"},
    {kErrorServiceCannotAcceptCtrl, "The service cannot take control messages now.\r\n"},
    {kErrorServiceNotActive, "The service has not been started.\r\n"},
    {kErrorDatabaseDoesNotExist, "The database does not exist.\r\n"},
    {kErrorServiceMarkedForDelete, "The service has been marked for deletion.\r\n"},
    {kErrorServiceExists, "The service already exists.\r\n"},
    {kErrorDuplicateServiceName, "That name is already in use as a service name or display name.\r\n"},
    {kErrorRpcServerUnavailable, "The RPC server cannot be reached.\r\n"},
    {kErrorResourceLangNotFound, "No resource was found for that language.\r\n"},
};

const char* FindMessage(uint32_t code) {
    for (const Message& message : kMessages)
        if (message.code == code) return message.text;
    return nullptr;
}

bool KnownLanguage(uint32_t languageId) {
    // Neutral, user default, system default, English and U.S. English.
    return languageId == 0 || languageId == 0x0400 || languageId == 0x0800 || languageId == 0x0009 ||
           languageId == 0x0409;
}

}  // namespace

uint32_t GetLastError() { return LastErrorCode; }

void SetLastError(uint32_t code) { LastErrorCode = code; }

uint32_t FormatMessageA(uint32_t flags, const void*, uint32_t messageId, uint32_t languageId, char* buffer,
                        uint32_t size, void*) {
    // Only system texts, written into the caller's buffer, are emulated; inserts are left as they
    // are, so a text that holds one needs FORMAT_MESSAGE_IGNORE_INSERTS.
    const uint32_t supported = kFormatMessageFromSystem | kFormatMessageIgnoreInserts | kFormatMessageArgumentArray;
    if ((flags & ~supported) || !(flags & kFormatMessageFromSystem)) {
        SetLastError(kErrorInvalidParameter);
        return 0;
    }
    const char* text = FindMessage(messageId);
    if (!text) {
        SetLastError(kErrorMrMidNotFound);
        return 0;
    }
    if (!KnownLanguage(languageId)) {
        SetLastError(kErrorResourceLangNotFound);
        return 0;
    }
    const std::string_view message = text;
    if (!(flags & kFormatMessageIgnoreInserts) && message.find('%') != std::string_view::npos) {
        SetLastError(kErrorInvalidParameter);
        return 0;
    }
    if (!buffer) {
        SetLastError(kErrorInvalidParameter);
        return 0;
    }
    if (message.size() + 1 > size) {
        SetLastError(kErrorInsufficientBuffer);
        return 0;
    }
    std::memcpy(buffer, message.data(), message.size());
    buffer[message.size()] = '\0';
    return static_cast<uint32_t>(message.size());
}

}  // namespace platform

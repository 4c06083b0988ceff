// The calling thread's last error code and the system's text for a code.
#pragma once

#include <cstdint>

namespace platform {

// Error codes with the platform's values.
inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorNotEnoughMemory = 8;
inline constexpr uint32_t kErrorInvalidData = 13;
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorDiskFull = 112;
inline constexpr uint32_t kErrorCallNotImplemented = 120;
inline constexpr uint32_t kErrorInsufficientBuffer = 122;
inline constexpr uint32_t kErrorInvalidName = 123;
inline constexpr uint32_t kErrorModNotFound = 126;
inline constexpr uint32_t kErrorProcNotFound = 127;
inline constexpr uint32_t kErrorBadExeFormat = 193;
inline constexpr uint32_t kErrorMoreData = 234;
inline constexpr uint32_t kErrorMrMidNotFound = 317;
inline constexpr uint32_t kErrorInvalidAddress = 487;
inline constexpr uint32_t kErrorDependentServicesRunning = 1051;
inline constexpr uint32_t kErrorInvalidServiceControl = 1052;
inline constexpr uint32_t kErrorServiceRequestTimeout = 1053;
inline constexpr uint32_t kErrorServiceDatabaseLocked = 1055;
inline constexpr uint32_t kErrorServiceAlreadyRunning = 1056;
inline constexpr uint32_t kErrorInvalidServiceAccount = 1057;
inline constexpr uint32_t kErrorServiceDisabled = 1058;
inline constexpr uint32_t kErrorServiceDoesNotExist = 1060;
inline constexpr uint32_t kErrorServiceCannotAcceptCtrl = 1061;
inline constexpr uint32_t kErrorServiceNotActive = 1062;
inline constexpr uint32_t kErrorDatabaseDoesNotExist = 1065;
inline constexpr uint32_t kErrorServiceMarkedForDelete = 1072;
inline constexpr uint32_t kErrorServiceExists = 1073;
inline constexpr uint32_t kErrorDuplicateServiceName = 1078;
inline constexpr uint32_t kErrorRpcServerUnavailable = 1722;
inline constexpr uint32_t kErrorResourceLangNotFound = 15100;

// FormatMessageA flags.
inline constexpr uint32_t kFormatMessageIgnoreInserts = 0x0200;
inline constexpr uint32_t kFormatMessageFromSystem = 0x1000;
inline constexpr uint32_t kFormatMessageArgumentArray = 0x2000;

uint32_t GetLastError();
void SetLastError(uint32_t code);

// Writes the system's message for `messageId` into `buffer` (NUL-terminated) and returns its length
// without the NUL, or returns 0 with the last error set when there is no message or it does not fit.
uint32_t FormatMessageA(uint32_t flags, const void* source, uint32_t messageId, uint32_t languageId,
                        char* buffer, uint32_t size, void* arguments);

}  // namespace platform

// The last error and the system's message texts, for Linux. The texts are the emulation's own
// words, one for each code the emulation can return, each ending in "\r\n" as the system's do.
#include "platform/errors.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/host/emulation.h"

namespace platform {
namespace {

thread_local uint32_t t_lastError = 0;

constexpr uint32_t kFormatMessageAllocateBuffer = 0x0100;
constexpr uint32_t kFormatMessageMaxWidthMask = 0x00FF;

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

// Expands the escapes and inserts of a message; an insert needs an argument array (a va_list cannot
// be read here), so one without arguments fails rather than read memory.
uint32_t ExpandInserts(std::string_view text, uint32_t flags, const void* arguments, std::string& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (++i == text.size()) break;
        c = text[i];
        if (c >= '1' && c <= '9') {
            std::size_t number = static_cast<std::size_t>(c - '0');
            if (i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9')
                number = number * 10 + static_cast<std::size_t>(text[++i] - '0');
            std::string_view format = "s";
            if (i + 1 < text.size() && text[i + 1] == '!') {
                std::size_t close = text.find('!', i + 2);
                if (close == std::string_view::npos) return kErrorInvalidParameter;
                format = text.substr(i + 2, close - i - 2);
                i = close;
            }
            if (!arguments || !(flags & kFormatMessageArgumentArray)) return kErrorInvalidParameter;
            std::uintptr_t value = static_cast<const std::uintptr_t*>(arguments)[number - 1];
            if (format == "s") {
                const char* string = reinterpret_cast<const char*>(value);
                out += string ? string : "(null)";
            } else if (format == "d" || format == "u" || format == "x" || format == "X" || format == "lu") {
                char digits[32];
                const char* conversion = format == "d" ? "%d" : format == "x" ? "%x" : format == "X" ? "%X" : "%u";
                // NOLINTNEXTLINE(cert-err33-c): 32 bytes hold any unsigned; nothing is cut off
                std::snprintf(digits, sizeof digits, conversion, static_cast<unsigned>(value));
                out += digits;
            } else {
                return kErrorInvalidParameter;
            }
        } else if (c == '0') {
            return kErrorSuccess;
        } else if (c == 'n') {
            out += "\r\n";
        } else if (c == 'r') {
            out += '\r';
        } else if (c == 't') {
            out += '\t';
        } else {
            out += c;  // "%%", "%.", "%!", "% " and the like stand for the character itself
        }
    }
    return kErrorSuccess;
}

}  // namespace

uint32_t GetLastError() { return t_lastError; }

void SetLastError(uint32_t code) { t_lastError = code; }

uint32_t FormatMessageA(uint32_t flags, const void*, uint32_t messageId, uint32_t languageId, char* buffer,
                        uint32_t size, void* arguments) {
    // Only system texts, written into the caller's buffer, are emulated.
    uint32_t supported = kFormatMessageFromSystem | kFormatMessageIgnoreInserts | kFormatMessageArgumentArray |
                         kFormatMessageMaxWidthMask;
    uint32_t width = flags & kFormatMessageMaxWidthMask;
    if ((flags & ~supported) || (flags & kFormatMessageAllocateBuffer) || !(flags & kFormatMessageFromSystem) ||
        (width != 0 && width != kFormatMessageMaxWidthMask)) {
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
    std::string message;
    if (flags & kFormatMessageIgnoreInserts) {
        message = text;
    } else if (uint32_t error = ExpandInserts(text, flags, arguments, message)) {
        SetLastError(error);
        return 0;
    }
    if (width == kFormatMessageMaxWidthMask) {
        // The text's own line breaks become blanks.
        std::string joined;
        joined.reserve(message.size());
        for (std::size_t at = 0; at < message.size(); ++at) {
            const bool lineBreak = message.compare(at, 2, "\r\n") == 0;
            joined.push_back(lineBreak ? ' ' : message[at]);
            if (lineBreak) ++at;
        }
        message = std::move(joined);
    }
    if (!buffer) {
        SetLastError(kErrorInvalidParameter);
        return 0;
    }
    if (message.size() + 1 > size) {
        SetLastError(kErrorInsufficientBuffer);
        return 0;
    }
    std::memcpy(buffer, message.c_str(), message.size() + 1);
    return static_cast<uint32_t>(message.size());
}

}  // namespace platform

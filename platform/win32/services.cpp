#include "platform/services.h"

#include <cstring>
#include <optional>
#include <string>

#include "platform/nul_list.h"
#include "platform/win32/win32.h"

namespace platform {
namespace {

// One text argument of CreateServiceW: absent, or converted with its terminating NUL(s).
struct WideArgument {
    bool present = false;
    bool converted = true;
    std::wstring text;

    WideArgument(const char* ansi, bool isList) {
        if (ansi == nullptr) return;
        present = true;
        const std::size_t length = isList ? NulListLength(ansi) : std::strlen(ansi) + 1;
        const auto wide = win32::ToUtf16(CP_ACP, std::string_view(ansi, length));
        converted = wide.has_value();
        if (converted) text = *wide;
    }
    const wchar_t* Get() const { return present ? text.c_str() : nullptr; }
};

}  // namespace

// Windows' own CreateServiceA converts every text, the whole dependency list included, and calls
// CreateServiceW. Doing the same here keeps every dependency on Wine 8.0, whose CreateServiceA
// keeps only the first name of the list.
ScHandle CreateServiceA(ScHandle manager, const char* serviceName, const char* displayName,
                        uint32_t desiredAccess, uint32_t serviceType, uint32_t startType,
                        uint32_t errorControl, const char* binaryPathName, const char* loadOrderGroup,
                        uint32_t* tagId, const char* dependencies, const char* serviceStartName,
                        const char* password) {
    const WideArgument name(serviceName, false);
    const WideArgument display(displayName, false);
    const WideArgument binary(binaryPathName, false);
    const WideArgument group(loadOrderGroup, false);
    const WideArgument depends(dependencies, true);
    const WideArgument account(serviceStartName, false);
    const WideArgument secret(password, false);
    for (const WideArgument* argument : {&name, &display, &binary, &group, &depends, &account, &secret}) {
        if (!argument->converted) return nullptr;  // the conversion's error stays the last error
    }
    DWORD tag = 0;
    const SC_HANDLE service = ::CreateServiceW(
        reinterpret_cast<SC_HANDLE>(manager), name.Get(), display.Get(), desiredAccess, serviceType,
        startType, errorControl, binary.Get(), group.Get(), tagId != nullptr ? &tag : nullptr,
        depends.Get(), account.Get(), secret.Get());
    if (service != nullptr && tagId != nullptr) *tagId = tag;
    return reinterpret_cast<ScHandle>(service);
}

bool DeleteService(ScHandle service) {
    return ::DeleteService(reinterpret_cast<SC_HANDLE>(service)) != FALSE;
}

}  // namespace platform

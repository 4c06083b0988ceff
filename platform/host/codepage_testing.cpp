// The code-page hooks (testing.h).
#include "platform/host/terminal.h"
#include "platform/host/testing.h"

namespace platform::host {

bool SetAnsiCodePage(unsigned codePage) {
    if (!SupportedAnsiCodePage(codePage)) return false;
    AnsiCodePageNumber = codePage;
    return true;
}

unsigned AnsiCodePage() { return AnsiCodePageNumber.load(); }

}  // namespace platform::host

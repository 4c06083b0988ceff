#include "platform/codepage.h"

#include <atomic>

#include "platform/host/testing.h"

namespace platform {
namespace {

std::atomic<unsigned> ansiCodePage{1252};

}  // namespace

bool IsAnsiLeadByte(unsigned char byte) {
    switch (ansiCodePage.load()) {
        case 932:  // Shift JIS
            return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        case 936:  // GBK
        case 949:  // Unified Hangul
        case 950:  // Big5
            return byte >= 0x81 && byte <= 0xFE;
        default:
            return false;
    }
}

namespace host {

bool SetAnsiCodePage(unsigned codePage) {
    switch (codePage) {
        case 1252:
        case 932:
        case 936:
        case 949:
        case 950:
            ansiCodePage = codePage;
            return true;
        default:
            return false;
    }
}

unsigned AnsiCodePage() { return ansiCodePage.load(); }

}  // namespace host
}  // namespace platform

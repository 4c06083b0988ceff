#include "platform/codepage.h"

#include <iconv.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/host/terminal.h"
#include "platform/scoped_handle.h"

namespace platform {
namespace {

// The C library's name for each code page that can be chosen.
const char* IconvName(unsigned codePage) {
    switch (codePage) {
        case host::kUtf8CodePage: return "UTF-8";
        case 1252: return "CP1252";
        case 932: return "CP932";
        case 936: return "CP936";
        case 949: return "CP949";
        case 950: return "CP950";
        default: return nullptr;
    }
}

struct IconvTraits {
    using Type = iconv_t;
    static iconv_t Invalid() { return reinterpret_cast<iconv_t>(-1); }
    static void Close(iconv_t cd) { ::iconv_close(cd); }
};
using Converter = ScopedHandle<IconvTraits>;

// `text` converted from the ANSI code page to `to`; each byte that starts no valid character, or a
// character cut short at the end, gives `replacement`, as the Windows conversion puts U+FFFD
// there. False when the C library lacks the conversion.
bool ConvertAnsi(const char* to, std::string_view text, std::string_view replacement, std::string& out) {
    const Converter converter(::iconv_open(to, IconvName(host::AnsiCodePageNumber.load())));
    if (!converter.Valid()) return false;
    out.clear();
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): iconv's input is not const in POSIX
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char chunk[256];
    while (inLeft > 0) {
        char* next = chunk;
        std::size_t outLeft = sizeof chunk;
        const std::size_t result = ::iconv(converter.Get(), &in, &inLeft, &next, &outLeft);
        out.append(chunk, static_cast<std::size_t>(next - chunk));
        if (result != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        out.append(replacement);
        ++in;
        --inLeft;
        ::iconv(converter.Get(), nullptr, nullptr, nullptr, nullptr);
    }
    return true;
}

}  // namespace

bool IsAnsiLeadByte(unsigned char byte) {
    switch (host::AnsiCodePageNumber.load()) {
        case 932:  // Shift JIS
            return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        case 936:  // GBK
        case 949:  // Unified Hangul
        case 950:  // Big5
            return byte >= 0x81 && byte <= 0xFE;
        default:  // single-byte pages, and UTF-8, whose characters are not stepped through in pairs
            return false;
    }
}

std::size_t Utf16Length(std::string_view text) {
    std::string wide;
    // U+FFFD is one unit.
    if (!ConvertAnsi("UTF-16LE", text, "\xFD\xFF", wide)) return text.size();
    return wide.size() / 2;
}

namespace host {

// Linux names files and writes to terminals in UTF-8, so that is the ANSI code page by default.
std::atomic<unsigned> AnsiCodePageNumber{kUtf8CodePage};

bool SupportedAnsiCodePage(unsigned codePage) { return IconvName(codePage) != nullptr; }

std::string AnsiAsUtf8(std::string_view text) {
    std::string shown;
    // Without the conversion, the bytes go out as they are.
    if (!ConvertAnsi("UTF-8", text, "\uFFFD", shown)) return std::string(text);
    return shown;
}

}  // namespace host
}  // namespace platform

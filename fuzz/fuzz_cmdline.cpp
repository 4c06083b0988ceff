// libFuzzer target: platform::SplitCommandLine over arbitrary bytes, in the single-byte ANSI code
// page and in the double-byte ones.
//
// Input: the first byte picks the code page, kCodePages[byte % 5] ('A' 1252, 'B' 932, 'C' 936,
// 'D' 949, 'E' 950, as the seeds in fuzz/corpus/fuzz_cmdline/ use), the rest is the command line. The
// command line is copied into a heap buffer of exactly its size, with no NUL after it, so that a
// read past its end is an AddressSanitizer report.
//
// Beyond "no crash", the result must keep these invariants:
//   - splitting stops at the first NUL: the bytes after it change nothing, and no argument holds one;
//   - no argument is empty;
//   - the arguments together hold no more bytes than the command line before its first NUL;
//   - no argument holds a '"' as a character of its own (quotes are dropped; only the trail byte of
//     a double-byte character can be one), nor a separator (1..32) as a character of its own unless
//     the command line has a quote;
//   - without quotes, in the single-byte code page, the arguments are exactly the runs of bytes
//     between separators;
//   - a command line with no lead byte of the double-byte code page splits as in the single-byte one.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cmdline.h"
#include "platform/codepage.h"
#include "platform/host/testing.h"

namespace {

constexpr unsigned kSingleByte = 1252;
constexpr unsigned kCodePages[] = {kSingleByte, 932, 936, 949, 950};

[[noreturn]] void Fail(const char* what, unsigned codePage) {
    (void)std::fprintf(stderr, "fuzz_cmdline: invariant broken in code page %u: %s\n", codePage, what);
    std::abort();
}

bool IsSeparator(unsigned char c) { return c >= 1 && c <= 32; }

std::vector<std::string> SplitIn(unsigned codePage, std::string_view commandLine) {
    if (!platform::host::SetAnsiCodePage(codePage)) Fail("SetAnsiCodePage refused", codePage);
    return platform::SplitCommandLine(commandLine);
}

// The runs of bytes between separators: the whole answer for the single-byte code page when the
// command line has no quote.
std::vector<std::string> SplitOnSeparators(std::string_view text) {
    std::vector<std::string> runs;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && IsSeparator(static_cast<unsigned char>(text[pos]))) ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && !IsSeparator(static_cast<unsigned char>(text[pos]))) ++pos;
        if (pos > start) runs.emplace_back(text.substr(start, pos - start));
    }
    return runs;
}

void CheckArguments(const std::vector<std::string>& arguments, std::string_view beforeNul,
                    unsigned codePage) {
    const bool quoted = beforeNul.find('"') != std::string_view::npos;
    std::size_t total = 0;
    for (const std::string& argument : arguments) {
        if (argument.empty()) Fail("an empty argument", codePage);
        if (argument.find('\0') != std::string::npos) Fail("an argument holds a NUL", codePage);
        total += argument.size();
        // Step through the argument by characters, as the splitter does: a lead byte with a byte
        // after it is a character of two bytes; its trail byte may be anything but NUL.
        for (std::size_t i = 0; i < argument.size();) {
            const auto c = static_cast<unsigned char>(argument[i]);
            if (platform::IsAnsiLeadByte(c) && i + 1 < argument.size()) {
                i += 2;
                continue;
            }
            if (c == '"') Fail("an argument holds a quote", codePage);
            if (IsSeparator(c) && !quoted) Fail("a separator in an argument with no quote", codePage);
            ++i;
        }
    }
    if (total > beforeNul.size()) Fail("the arguments hold more bytes than the command line", codePage);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const unsigned codePage = kCodePages[data[0] % std::size(kCodePages)];
    const std::size_t length = size - 1;
    // Exactly `length` bytes on the heap: no NUL after them for a careless reader to stop at.
    const auto buffer = std::make_unique_for_overwrite<char[]>(length);
    if (length != 0) std::memcpy(buffer.get(), data + 1, length);
    const std::string_view commandLine(buffer.get(), length);
    const std::string_view beforeNul = commandLine.substr(0, commandLine.find('\0'));

    const std::vector<std::string> arguments = SplitIn(codePage, commandLine);
    CheckArguments(arguments, beforeNul, codePage);

    // Splitting stops at the first NUL: what follows it changes nothing.
    if (beforeNul.size() != commandLine.size() && SplitIn(codePage, beforeNul) != arguments)
        Fail("bytes after the first NUL changed the split", codePage);

    if (codePage == kSingleByte) {
        if (beforeNul.find('"') == std::string_view::npos && SplitOnSeparators(beforeNul) != arguments)
            Fail("without quotes, the arguments are not the runs between separators", codePage);
    } else {
        bool hasLeadByte = false;
        for (const char c : beforeNul)
            hasLeadByte = hasLeadByte || platform::IsAnsiLeadByte(static_cast<unsigned char>(c));
        if (!hasLeadByte && SplitIn(kSingleByte, commandLine) != arguments)
            Fail("with no lead byte, the split differs from the single-byte one", codePage);
    }
    platform::host::SetAnsiCodePage(kSingleByte);
    return 0;
}

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/cmdline.h"
#include "platform/host/testing.h"

namespace {

// Chooses an ANSI code page for one test and restores the default afterwards.
class CodePage {
public:
    explicit CodePage(unsigned codePage) { EXPECT_TRUE(platform::host::SetAnsiCodePage(codePage)); }
    ~CodePage() { platform::host::SetAnsiCodePage(1252); }
};

// Splits a command line held in a buffer of exactly its own size, with no NUL after it, so that the
// sanitizer build catches any read past its end.
std::vector<std::string> SplitExact(const std::string& commandLine) {
    const auto buffer = std::make_unique<char[]>(commandLine.size());
    std::memcpy(buffer.get(), commandLine.data(), commandLine.size());
    return platform::SplitCommandLine(std::string_view(buffer.get(), commandLine.size()));
}

struct SplitCase {
    std::string commandLine;
    std::vector<std::string> expected;
};

TEST(SplitCommandLine, DoubleByteCodePageStepsByCharacter) {
    const CodePage shiftJis(932);
    const SplitCase cases[] = {
        // The second byte of a character is never a quote...
        {"prog \x81\" x", {"prog", "\x81\"", "x"}},
        {"prog \"\x81\"a b\" c", {"prog", "\x81\"a b", "c"}},
        // ...nor a separator.
        {"prog \x81 x y", {"prog", "\x81 x", "y"}},
        {"prog \x88\x9f\xe0\x40 z", {"prog", "\x88\x9f\xe0\x40", "z"}},
        // A lead byte at the very end stands alone, inside and outside quotes.
        {"prog a\x81", {"prog", "a\x81"}},
        {"prog \"a\x81", {"prog", "a\x81"}},
        {"prog \x81", {"prog", "\x81"}},
        // Bytes that are not lead bytes in this code page stay single characters.
        {"prog \xa0\" b\"", {"prog", "\xa0 b"}},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(row.expected, SplitExact(row.commandLine)) << "command line: " << row.commandLine;
    }
}

TEST(SplitCommandLine, SingleByteCodePageTakesEveryByteAlone) {
    EXPECT_EQ((std::vector<std::string>{"prog", "\x81 x"}), SplitExact("prog \x81\" x"));
    EXPECT_EQ((std::vector<std::string>{"prog", "a\x81"}), SplitExact("prog a\x81"));
}

TEST(AnsiCodePage, OnlyKnownCodePagesCanBeChosen) {
    EXPECT_FALSE(platform::host::SetAnsiCodePage(65001));
    EXPECT_EQ(1252u, platform::host::AnsiCodePage());
}

}  // namespace

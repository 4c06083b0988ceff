#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/cmdline.h"
#include "platform/host/terminal.h"
#include "platform/host/testing.h"
#include "tests/host/scm_host_support.h"

namespace {

using cvs_test::AnsiCodePageChosen;
using platform::host::kUtf8CodePage;

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
    const AnsiCodePageChosen shiftJis(932);
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
    const AnsiCodePageChosen westernEurope(1252);
    EXPECT_EQ((std::vector<std::string>{"prog", "\x81 x"}), SplitExact("prog \x81\" x"));
    EXPECT_EQ((std::vector<std::string>{"prog", "a\x81"}), SplitExact("prog a\x81"));
}

// Command lines in UTF-8: Cyrillic, Greek and CJK names, in and out of quotes. In UTF-8, and in a
// single-byte code page, every byte from 128 up is part of an argument; in code page 932 the
// continuation byte 0x81 of Ё (0xD0 0x81) is a lead byte that would swallow the quote after it.
const SplitCase kUtf8Cases[] = {
    {"prog \"C:\\\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B\\corvane.exe\" "
     "\xD0\xA1\xD0\xBB\xD1\x83\xD0\xB6\xD0\xB1\xD0\xB0",
     {"prog", "C:\\Программы\\corvane.exe", "Служба"}},
    {"prog \"\xD0\x81\" x", {"prog", "Ё", "x"}},
    {"prog a\xD0\x81\"b c\" d", {"prog", "aЁb c", "d"}},
    {"prog \xCE\xA5\xCF\x80\xCE\xB7\xCF\x81\xCE\xB5\xCF\x83\xCE\xAF\xCE\xB1 \xE6\x9C\x8D\xE5\x8B\x99",
     {"prog", "Υπηρεσία", "服務"}},
    // A character cut short at the end stays as its bytes.
    {"prog \"x\xE6\x9C", {"prog", "x\xE6\x9C"}},
};

TEST(SplitCommandLine, Utf8ArgumentsSplitAsInSingleByteCodePages) {
    for (const unsigned codePage : {kUtf8CodePage, 1252u}) {
        const AnsiCodePageChosen chosen(codePage);
        for (const auto& row : kUtf8Cases) {
            EXPECT_EQ(row.expected, SplitExact(row.commandLine)) << "code page " << codePage << ": " << row.commandLine;
        }
    }
    // Stepped through as double-byte text, the same line splits otherwise.
    const AnsiCodePageChosen shiftJis(932);
    EXPECT_EQ((std::vector<std::string>{"prog", "\xD0\x81\" x"}), SplitExact("prog \"\xD0\x81\" x"));
}

TEST(AnsiCodePage, Utf8IsTheDefaultAndOnlyKnownCodePagesCanBeChosen) {
    EXPECT_EQ(kUtf8CodePage, platform::host::AnsiCodePage());
    EXPECT_FALSE(platform::host::SetAnsiCodePage(437));
    EXPECT_FALSE(platform::host::SetAnsiCodePage(0));
    EXPECT_EQ(kUtf8CodePage, platform::host::AnsiCodePage());
}

}  // namespace

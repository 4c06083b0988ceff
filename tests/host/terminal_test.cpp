#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/host/terminal.h"
#include "platform/host/testing.h"
#include "tests/host/scm_host_support.h"

namespace {

using cvs_test::AnsiCodePageChosen;
using platform::TextCharset;
using platform::host::kUtf8CodePage;

struct TextCase {
    unsigned codePage;
    std::string text;
    std::size_t utf16Length;
    std::string shown;  // on a terminal, as UTF-8
};

const TextCase kTextCases[] = {
    {kUtf8CodePage, "C:\\corvane.exe", 14, "C:\\corvane.exe"},
    {kUtf8CodePage, "Программы", 9, "Программы"},
    {kUtf8CodePage, "Υπηρεσία 服務", 11, "Υπηρεσία 服務"},
    // Beyond U+FFFF: two UTF-16 units.
    {kUtf8CodePage, "\xF0\x9F\x98\x80", 2, "\xF0\x9F\x98\x80"},
    // A byte that starts no character is one U+FFFD.
    {kUtf8CodePage, "a\xFF" "b", 3, "a\uFFFD" "b"},
    // The same bytes in code page 1252 are one character each.
    {1252, "Программы", 18, "ÐŸÑ€Ð¾Ð³Ñ€Ð°Ð¼Ð¼Ñ‹"},
    {1252, "\xE9t\xE9 \x80", 5, "été €"},
    {932, "\x83\x54\x81\x5B\x83\x72\x83\x58 \x95\x5C", 6, "サービス 表"},
};

TEST(AnsiText, LengthInUtf16UnitsAndTerminalCharactersFollowTheCodePage) {
    for (const auto& row : kTextCases) {
        const AnsiCodePageChosen chosen(row.codePage);
        EXPECT_EQ(row.utf16Length, platform::Utf16Length(row.text)) << row.codePage << ": " << row.text;
        EXPECT_EQ(row.shown, platform::host::TerminalText(row.text, TextCharset::Ansi))
            << row.codePage << ": " << row.text;
    }
}

// The banner's bytes are code page 437 whatever the ANSI code page is.
TEST(AnsiText, BannerBytesShowAsCodePage437Glyphs) {
    for (const unsigned codePage : {kUtf8CodePage, 1252u, 932u}) {
        const AnsiCodePageChosen chosen(codePage);
        EXPECT_EQ("┌─■■■╖ │║ ╘═╝", platform::host::TerminalText("\xDA\xC4\xFE\xFE\xFE\xB7 \xB3\xBA \xD4\xCD\xBC",
                                                                   TextCharset::CodePage437));
    }
}

// The path limit counts characters: 259, NUL excluded, fit however many bytes they take.
TEST(AnsiText, ThePathLimitCountsCharactersNotBytes) {
    std::string fits = "/";
    for (int i = 0; i < 258; ++i) fits += "ж";
    const std::string tooLong = fits + "ж";
    const auto expanded = platform::GetFullPathNameA(fits);
    EXPECT_EQ(platform::PathExpansion::Expanded, expanded.outcome);
    EXPECT_EQ(fits, expanded.path);
    EXPECT_EQ(platform::PathExpansion::TooLong, platform::GetFullPathNameA(tooLong).outcome);

    // In a single-byte code page each of those bytes is a character of its own.
    const AnsiCodePageChosen westernEurope(1252);
    EXPECT_EQ(platform::PathExpansion::TooLong, platform::GetFullPathNameA(fits).outcome);
    EXPECT_EQ(platform::PathExpansion::Expanded, platform::GetFullPathNameA("/" + std::string(258, '\xE9')).outcome);
}

}  // namespace

#include "platform/cmdline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct SplitCase {
    std::string commandLine;
    std::vector<std::string> expected;  // the program's name included
};

using Args = std::vector<std::string>;

// Rows that hold in a single-byte code page; the double-byte rows are in the host's own tests.
const SplitCase kSingleByteCases[] = {
    {"", {}},
    {"   prog   ", {"prog"}},
    {"prog a b", {"prog", "a", "b"}},
    // A quoted stretch joins the characters around it and loses its quotes.
    {R"(prog "C:\Program Files"\x.exe)", {"prog", R"(C:\Program Files\x.exe)"}},
    {R"(prog a"b c"d e)", {"prog", "ab cd", "e"}},
    {R"(prog "C:\Program Files\Corvane8\corvane.exe" snmp)",
     {"prog", R"(C:\Program Files\Corvane8\corvane.exe)", "snmp"}},
    // "" where an argument would begin is skipped; inside an argument it is an empty stretch.
    {R"(prog "" a)", {"prog", "a"}},
    {R"(prog """" a)", {"prog", "a"}},
    {R"(prog ""a)", {"prog", "a"}},
    {R"(prog a"" b)", {"prog", "a", "b"}},
    {R"(prog """a b")", {"prog", "a b"}},
    // An unclosed quote runs to the end; a lone quote at the end gives no argument.
    {R"(prog "unclosed stretch)", {"prog", "unclosed stretch"}},
    {R"(prog a ")", {"prog", "a"}},
    // No escape character: backslashes are ordinary.
    {R"(prog a\"b c\" d)", {"prog", R"(a\b c\)", "d"}},
    // Every code from 1 to 32 separates outside quotes; inside quotes none does.
    {"prog a\tb\x01" "c\x1f" "d\ne\rf", {"prog", "a", "b", "c", "d", "e", "f"}},
    {"prog \"a\tb\x01 c\"", {"prog", "a\tb\x01 c"}},
    // Codes above 32, 128 to 255 among them, belong to an argument.
    {"prog \x7f\x80\xa0\xff x\xe9y", {"prog", "\x7f\x80\xa0\xff", "x\xe9y"}},
    // In a single-byte code page 0x81 is an ordinary character and the quote after it counts.
    {"prog \x81\" x", {"prog", "\x81 x"}},
    // The command line ends at its first NUL.
    {std::string("prog a\0b", 8), {"prog", "a"}},
};

TEST(SplitCommandLine, SingleByteTable) {
    for (const auto& row : kSingleByteCases) {
        EXPECT_EQ(row.expected, platform::SplitCommandLine(row.commandLine)) << "command line: " << row.commandLine;
    }
}

// Text after the program's name that yields no argument is still text: a caller gave something.
TEST(HasTextAfterProgramName, CountsWhatGivesNoArgument) {
    const struct {
        std::string commandLine;
        bool expected;
    } cases[] = {
        {"prog", false},
        {"prog \t ", false},
        {R"("C:\Program Files\prog.exe")", false},
        {R"(prog "")", true},
        {R"("C:\Program Files\prog.exe" """")", true},
        {R"(prog ")", true},
        {"prog a", true},
        {std::string("prog \0a", 7), false},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(row.expected, platform::HasTextAfterProgramName(row.commandLine)) << "command line: " << row.commandLine;
    }
}

}  // namespace

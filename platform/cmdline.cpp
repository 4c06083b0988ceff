#include "platform/cmdline.h"

#include "platform/codepage.h"

namespace platform {
namespace {

// Every code from 1 to 32 separates arguments outside quotes; NUL ends the command line.
bool IsSeparator(unsigned char c) { return c >= 1 && c <= 32; }

// The length in bytes of the character at `pos`: two for a lead byte with a byte after it, else one.
// A lead byte at the very end stands alone, so stepping never passes the end.
std::size_t CharLength(std::string_view text, std::size_t pos) {
    const auto c = static_cast<unsigned char>(text[pos]);
    return IsAnsiLeadByte(c) && pos + 1 < text.size() && text[pos + 1] != '\0' ? 2 : 1;
}

// Skips separators, and "" where an argument would begin.
void SkipToArgument(std::string_view commandLine, std::size_t& pos) {
    for (;;) {
        while (pos < commandLine.size() && IsSeparator(static_cast<unsigned char>(commandLine[pos]))) ++pos;
        if (pos + 1 < commandLine.size() && commandLine[pos] == '"' && commandLine[pos + 1] == '"') {
            pos += 2;
        } else {
            return;
        }
    }
}

// The argument that begins at `pos`, its quotes removed; `pos` ends after it.
std::string TakeArgument(std::string_view commandLine, std::size_t& pos) {
    std::string argument;
    while (pos < commandLine.size() && !IsSeparator(static_cast<unsigned char>(commandLine[pos]))) {
        if (commandLine[pos] == '"') {
            ++pos;  // the opening quote is dropped
            while (pos < commandLine.size() && commandLine[pos] != '"') {
                const std::size_t length = CharLength(commandLine, pos);
                argument.append(commandLine.substr(pos, length));
                pos += length;
            }
            if (pos < commandLine.size()) ++pos;  // and so is the closing one
        } else {
            const std::size_t length = CharLength(commandLine, pos);
            argument.append(commandLine.substr(pos, length));
            pos += length;
        }
    }
    return argument;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    // The command line ends at its first NUL, as the platform's string does.
    commandLine = commandLine.substr(0, commandLine.find('\0'));

    std::vector<std::string> arguments;
    std::size_t pos = 0;
    for (;;) {
        SkipToArgument(commandLine, pos);
        if (pos == commandLine.size()) break;
        std::string argument = TakeArgument(commandLine, pos);
        // The runtime counts arguments up to the first empty one; only a lone quote at the very end
        // can give one, and it ends the list.
        if (argument.empty()) break;
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

bool HasTextAfterProgramName(std::string_view commandLine) {
    commandLine = commandLine.substr(0, commandLine.find('\0'));
    std::size_t pos = 0;
    SkipToArgument(commandLine, pos);
    TakeArgument(commandLine, pos);  // the program's name
    while (pos < commandLine.size() && IsSeparator(static_cast<unsigned char>(commandLine[pos]))) ++pos;
    return pos < commandLine.size();
}

}  // namespace platform

#include "platform/dialog.h"

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/host/fd_write.h"
#include "platform/host/terminal.h"

namespace platform {
namespace {

// The text's lines, split at "\r\n" or "\n"; a line end at the very end adds no empty line.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    if (lines.empty()) lines.emplace_back();
    return lines;
}

// Draws the box, for example:
//   +- Error ----------------------------+
//   | (x) /tmp/corvane.exe does not exist |
//   |               [ OK ]               |
//   +-------------------------------------+
std::string DrawBox(MessageKind kind, std::string_view text) {
    const std::string_view title = kind == MessageKind::Error ? "Error" : "Confirm";
    const std::string_view icon = kind == MessageKind::Error ? "(x) " : "(?) ";
    const std::string_view button = "[ OK ]";
    const auto lines = Lines(text);

    // Widths in characters, so that the frame lines up on a terminal.
    std::size_t width = title.size() + 4;
    for (const auto line : lines) width = std::max(width, icon.size() + Utf16Length(line));
    width = std::max(width, button.size());

    const auto row = [&](std::string_view content) {
        std::string r = "| ";
        r.append(content);
        r.append(width - Utf16Length(content), ' ');
        r.append(" |\n");
        return r;
    };

    std::string box = "+- ";
    box.append(title);
    box.push_back(' ');
    box.append(width - title.size() - 1, '-');
    box.append("+\n");
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string content(i == 0 ? icon : std::string_view("    "));
        content.append(lines[i]);
        box.append(row(content));
    }
    std::string centred((width - button.size()) / 2, ' ');
    centred.append(button);
    box.append(row(centred));
    box.push_back('+');
    box.append(width + 2, '-');
    box.append("+\n");
    return box;
}

}  // namespace

void ShowMessage(MessageKind kind, std::string_view text) {
    host::WriteText(STDERR_FILENO, DrawBox(kind, text), TextCharset::Ansi);
    // Modal only where a person can answer: a terminal on standard input.
    if (::isatty(STDIN_FILENO) != 1) return;
    host::WriteAll(STDERR_FILENO, "Press Enter to close.\n");
    char c = 0;
    while (::read(STDIN_FILENO, &c, 1) == 1 && c != '\n') {
    }
}

}  // namespace platform

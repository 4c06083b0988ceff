#include "cvservinst/run.h"

#include "cvservinst/reinstall.h"
#include "platform/console.h"
#include "platform/files.h"

namespace cvservinst {

std::string ProgramPath;
servises::DependencyList Dependencies;

namespace {

constexpr std::string_view kPurpose = " Purpose: installs CorvaneService with specific additional dependence";
constexpr std::string_view kUsage =
    " Usage: cvservinst path_to_corvane.exe [MasterService1 [MasterService2 [...]]]";
constexpr std::string_view kExample =
    " Example: cvservinst.exe \"C:\\Program Files\\Corvane8\\corvane.exe\" snmp";

constexpr std::string_view kMaker = "Corvane Software";
constexpr std::string_view kEmail = "help@corvane.test";
constexpr std::string_view kWeb = "www.corvane.test";
// The version, from project(VERSION) in CMakeLists.txt, as the resources have it.
constexpr std::string_view kVersion = CVSERVINST_VERSION;

// Code page 437 box characters.
constexpr char kSingleVertical = '\xB3';
constexpr char kDoubleVertical = '\xBA';
constexpr char kSingleHorizontal = '\xC4';
constexpr char kDoubleHorizontal = '\xCD';
constexpr char kSmallSquare = '\xFE';
constexpr char kTopLeft = '\xDA';
constexpr char kTopRightSingleToDouble = '\xB7';
constexpr char kBottomLeftSingleToDouble = '\xD4';
constexpr char kBottomRightDouble = '\xBC';

constexpr std::size_t kFirstCell = 31;
constexpr std::size_t kSecondCell = 16;
constexpr std::size_t kThirdCell = 28;
// A row is its three cells between four borders: the console's 80 columns less one, so that no line
// wraps.
static_assert(1 + kFirstCell + 1 + kSecondCell + 1 + kThirdCell + 1 == 79);

// The maker's texts must fit their cells after the blanks and labels in front of them.
static_assert(kMaker.size() <= kFirstCell - 1);
static_assert(kEmail.size() <= kThirdCell - 9);
static_assert(kWeb.size() <= kThirdCell - 9);
static_assert(kVersion.size() <= kSecondCell - 10);

// `text` followed by blanks to the end of a cell of `width` characters.
std::string Cell(std::string_view text, std::size_t width) {
    std::string cell(text);
    cell.resize(width, ' ');
    return cell;
}

std::string Row(std::string_view first, std::string_view second, std::string_view third) {
    std::string row(1, kSingleVertical);
    row += Cell(first, kFirstCell);
    row += kSingleVertical;
    row += Cell(second, kSecondCell);
    row += kSingleVertical;
    row += Cell(third, kThirdCell);
    row += kDoubleVertical;
    return row;
}

void PrintMissing(const std::string& what) { Report(platform::MessageKind::Error, what + " does not exist"); }

// A name with a wildcard would be taken as a pattern by the directory search, which could then
// find some other file: `<` and `>` match like `*` and `?` there.
bool HasWildcard(std::string_view path) { return path.find_first_of("*?<>") != std::string_view::npos; }

void PrintUsage() {
    platform::WriteLine(kUsage);
    platform::WriteLine(kExample);
}

}  // namespace

std::array<std::string, 4> BannerLines() {
    std::string top(1, kTopLeft);
    top += kSingleHorizontal;
    top.append(3, kSmallSquare);
    top.append(73, kSingleHorizontal);
    top += kTopRightSingleToDouble;

    const std::string rowTwo =
        Row(" CVServiceInstaller", std::string("  Version ").append(kVersion),
            std::string("  EMail: ").append(kEmail));
    const std::string rowThree =
        Row(std::string(" ").append(kMaker), "   Sept, 2009   ", std::string("  Web:   ").append(kWeb));

    std::string bottom(1, kBottomLeftSingleToDouble);
    bottom.append(77, kDoubleHorizontal);
    bottom += kBottomRightDouble;
    return {top, rowTwo, rowThree, bottom};
}

void Report(platform::MessageKind kind, std::string_view text) {
    platform::ShowMessage(kind, text);
    std::string line(kind == platform::MessageKind::Error ? " Error: " : " Done: ");
    line.append(text);
    platform::WriteLine(line);
}

int Run(const std::vector<std::string>& arguments, bool textAfterProgramName) {
    platform::WriteLine("");
    for (const std::string& line : BannerLines()) platform::WriteLine(line, platform::TextCharset::CodePage437);
    platform::WriteLine(kPurpose);
    platform::WriteLine("");

    if (arguments.empty()) {
        PrintUsage();
        // Something was given that names nothing (an installer's empty path variable, ""): the
        // caller must not read success.
        return textAfterProgramName ? 1 : 0;
    }
    if (arguments.front() == "/?") {
        PrintUsage();
        return 0;
    }

    const std::string& given = arguments.front();
    const platform::ExpandedPath expanded = platform::GetFullPathNameA(given);
    switch (expanded.outcome) {
        case platform::PathExpansion::TooLong:
            Report(platform::MessageKind::Error, given + " is too long");
            return 1;
        case platform::PathExpansion::Failed:
            // A name that cannot be expanded is reported as given; one that is empty or only blanks
            // in quotes, so that the report shows what it speaks of.
            PrintMissing(given.find_first_not_of(" \t") == std::string::npos ? "\"" + given + "\"" : given);
            return 1;
        case platform::PathExpansion::Expanded:
            break;
    }
    ProgramPath = expanded.path;
    if (HasWildcard(ProgramPath) || !platform::FileExists(ProgramPath)) {
        PrintMissing(ProgramPath);
        return 1;
    }
    return ReinstallService(arguments);
}

}  // namespace cvservinst

// Inputs shared by the benchmarks: N distinct service names.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

// The sample product path; it holds a blank, so on a command line it is quoted.
inline const std::string kProgramPath = "C:\\Program Files\\Corvane8\\corvane.exe";

// "Master1", "Master2", ... "MasterN": names of the length an administrator would type.
inline std::vector<std::string> ServiceNames(std::size_t count) {
    std::vector<std::string> names;
    names.reserve(count);
    for (std::size_t i = 1; i <= count; ++i) names.push_back("Master" + std::to_string(i));
    return names;
}

}  // namespace bench

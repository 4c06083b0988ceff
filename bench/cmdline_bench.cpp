// The command-line splitter on the program path in quotes followed by N service names.
#include <benchmark/benchmark.h>

#include "bench/names.h"
#include "platform/cmdline.h"

namespace {

void SplitCommandLineBench(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    std::string commandLine = "\"" + bench::kProgramPath + "\"";
    for (const std::string& name : bench::ServiceNames(count)) commandLine.append(" ").append(name);

    // Measure only a splitter that gives the path and every name.
    if (platform::SplitCommandLine(commandLine).size() != count + 1) {
        state.SkipWithError("the splitter did not give N + 1 arguments");
        return;
    }
    for (auto _ : state) {
        std::vector<std::string> arguments = platform::SplitCommandLine(commandLine);
        benchmark::DoNotOptimize(arguments.data());
    }
    state.SetComplexityN(state.range(0));
    // The time per name: flat across the sizes when the cost is linear.
    state.counters["per_name"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}
BENCHMARK(SplitCommandLineBench)->RangeMultiplier(10)->Range(10, 10000)->Complexity();

}  // namespace

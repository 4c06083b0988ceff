// The dependency list built from the arguments: the program path, then N service names.
#include <benchmark/benchmark.h>

#include "bench/names.h"
#include "cvservinst/reinstall.h"

namespace {

void BuildDependencyListBench(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<std::string> arguments{bench::kProgramPath};
    for (std::string& name : bench::ServiceNames(count)) arguments.push_back(std::move(name));

    // The fixed names (23 bytes), each further name and its NUL, the closing NUL.
    std::size_t expected = 23 + 1;
    for (std::size_t i = 1; i < arguments.size(); ++i) expected += arguments[i].size() + 1;
    if (cvservinst::BuildDependencyList(arguments).size() != expected) {
        state.SkipWithError("the list does not have the expected length");
        return;
    }
    for (auto _ : state) {
        servises::DependencyList list = cvservinst::BuildDependencyList(arguments);
        benchmark::DoNotOptimize(list.data());
    }
    state.SetComplexityN(state.range(0));
    // The time per name: flat across the sizes when the cost is linear.
    state.counters["per_name"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}
BENCHMARK(BuildDependencyListBench)->RangeMultiplier(10)->Range(10, 10000)->Complexity();

}  // namespace

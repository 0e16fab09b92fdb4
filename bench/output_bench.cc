// Cost of turning floats into list-directed records, as the electron files
// are written: ns per float.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "output/record.h"

namespace {

void FormatElectronRecords(benchmark::State& state) {
  std::mt19937 gen(1);
  std::uniform_real_distribution<float> u(-2.0f, 2.0f);
  std::vector<float> values(8192);
  for (float& v : values) v = u(gen);
  std::string out;
  out.reserve(1 << 20);
  std::size_t i = 0;
  for (auto _ : state) {
    vmc::append_record(out, values[i & 8191], values[(i + 1) & 8191]);
    i += 2;
    if (out.size() > (1 << 19)) out.clear();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 2);
  state.counters["ns_per_float"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 2,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(FormatElectronRecords);

}  // namespace

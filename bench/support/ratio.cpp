#include "bench/support/ratio.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace bench_support {
namespace {

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

std::vector<double> MeasureInTurn(benchmark::State& state, const std::vector<std::function<void()>>& contenders) {
  const size_t n = contenders.size();
  std::vector<std::vector<double>> times(n);
  size_t first = 0;
  for (auto _ : state) {
    for (size_t k = 0; k < n; ++k) {
      const size_t i = (first + k) % n;
      times[i].push_back(Seconds(contenders[i]));
    }
    first = (first + 1) % n;
    if (n > 0) state.SetIterationTime(times[0].back());
  }
  std::vector<double> medians;
  for (const std::vector<double>& t : times) medians.push_back(Median(t));
  return medians;
}

void MeasureRatio(benchmark::State& state, const std::function<void()>& subject,
                  const std::function<void()>& reference) {
  const std::vector<double> medians = MeasureInTurn(state, {subject, reference});
  const double s = medians[0], r = medians[1];
  state.counters["subject_ms"] = s * 1e3;
  state.counters["reference_ms"] = r * 1e3;
  state.counters["ratio"] = r > 0 ? s / r : 0;
}

}  // namespace bench_support

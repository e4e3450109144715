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

void MeasureRatio(benchmark::State& state, const std::function<void()>& subject,
                  const std::function<void()>& reference) {
  std::vector<double> subjectTimes, referenceTimes;
  for (auto _ : state) {
    const double s = Seconds(subject);
    referenceTimes.push_back(Seconds(reference));
    subjectTimes.push_back(s);
    state.SetIterationTime(s);
  }
  const double s = Median(subjectTimes), r = Median(referenceTimes);
  state.counters["subject_ms"] = s * 1e3;
  state.counters["reference_ms"] = r * 1e3;
  state.counters["ratio"] = r > 0 ? s / r : 0;
}

}  // namespace bench_support

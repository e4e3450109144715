#pragma once
// Benchmarks report their figure as a ratio against a reference measured in
// the same run, so that the machine's speed cancels out.
#include <benchmark/benchmark.h>

#include <functional>

namespace bench_support {

// Each iteration runs the subject once and the reference once.  The
// benchmark's time is the subject's; the counters give the medians of
// both in milliseconds and "ratio" = subject / reference.  Register with
// ->UseManualTime().
void MeasureRatio(benchmark::State& state, const std::function<void()>& subject,
                  const std::function<void()>& reference);

}  // namespace bench_support

#pragma once
// Benchmarks report their figure as a ratio against a reference measured in
// the same run, so that the machine's speed cancels out.
#include <benchmark/benchmark.h>

#include <functional>
#include <vector>

namespace bench_support {

// Each iteration runs the subject once and the reference once.  The
// benchmark's time is the subject's; the counters give the medians of
// both in milliseconds and "ratio" = subject / reference.  Register with
// ->UseManualTime().
void MeasureRatio(benchmark::State& state, const std::function<void()>& subject,
                  const std::function<void()>& reference);

// Each iteration runs every contender once, each iteration starting one
// contender further on, so that every contender follows every other as
// often and none gains from the state of the caches the one before it
// leaves.  The benchmark's time is the first contender's; returns every
// contender's median in seconds.  Register with ->UseManualTime().
std::vector<double> MeasureInTurn(benchmark::State& state, const std::vector<std::function<void()>>& contenders);

}  // namespace bench_support

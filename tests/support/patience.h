#pragma once
// How long a test waits for what should happen soon: far longer than it
// takes on the busiest machine (sanitizers, every core taken), since such a
// wait ends as soon as its condition holds and only a fault uses it up.
#include <chrono>

namespace testing_support {

inline constexpr std::chrono::seconds kPatience{30};
// The same, for QTest::qWaitFor.
inline constexpr int kPatienceMs = 30000;

}  // namespace testing_support

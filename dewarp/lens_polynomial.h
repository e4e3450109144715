#pragma once
// The lens model: a ray at angle theta (radians) from the lens axis lands
// at a0 + s(a1 x + a2 x^2 + a3 x^3 + a4 x^4 + a5 x^5) half source widths
// from the lens centre, with x = |theta| and s its sign.
#include <array>

using LensCoefficients = std::array<double, 6>;

// The equidistant lens: the horizon (pi/2) lands on the circle's edge.
inline constexpr LensCoefficients kEquidistantLens = {0.0, 0.6366197723675814, 0.0, 0.0, 0.0, 0.0};

double EvalLensPolynomial(const LensCoefficients& a, double theta);

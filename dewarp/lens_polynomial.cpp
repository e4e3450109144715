#include "dewarp/lens_polynomial.h"

#include <cmath>

double EvalLensPolynomial(const LensCoefficients& a, double theta) {
  const double x = std::fabs(theta);
  const double s = theta < 0 ? -1.0 : 1.0;
  return a[0] + s * x * ((((a[5] * x + a[4]) * x + a[3]) * x + a[2]) * x + a[1]);
}

// Fits an ellipse to points and reads its geometry back.
#include "QAVMathPoint2D.h"
#include "QAVMathTransformation2D.h"
#include "QAVTasCovarianceEllipse.h"
#include "QAVTasEllipseSolver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

int main()
{
  // README: ellipse
  // Twelve points on the ellipse x²/9 + y²/2.25 = 1 (semi-axes 3 and 1.5), interleaved x, y.
  std::vector<double> points;
  for (int k = 0; k < 12; ++k)
  {
    points.push_back(3.0 * std::cos(k * 0.5236));
    points.push_back(1.5 * std::sin(k * 0.5236));
  }
  const double level = 1.0;
  QAVTasEllipseSolver solver(level, 12, points.data()); // copies the points
  solver.SetWithoutUParameters(1);                      // centred at the origin
  double coefficients[6];                               // C0, Cy, Cyy, Cx, Cxy, Cxx
  if (solver.ComputeEllipseParameters(coefficients) != S_OK)
    return 1;

  QAVTasCovarianceEllipse ellipse(level, coefficients);
  double a = 0, b = 0;
  QAVMathTransformation2D frame; // the principal axes
  QAVMathPoint2D focal1(0, 0), focal2(0, 0);
  ellipse.GetReducedForm(a, b, frame);
  ellipse.GetEllipseFocals(focal1, focal2);
  std::printf("semi-axes %.3f and %.3f, focal points (%.3f, %.3f) and (%.3f, %.3f)\n", a, b, focal1.GetX(),
              focal1.GetY(), focal2.GetX(), focal2.GetY());
  // README end
  const bool axesRight = std::fabs(std::max(a, b) - 3.0) < 0.05 && std::fabs(std::min(a, b) - 1.5) < 0.05;
  return ellipse.IsAnEllipse() && axesRight ? 0 : 1;
}

// Fits an ellipse to a measured arc by orthogonal distances and reads its uncertainty.
#include "QAVTasEllipseFitter.h"

#include <cmath>
#include <cstdio>
#include <vector>

int main()
{
  // README: ellipsefit
  // Half of the ellipse with semi-axes 3 and 1.5 about (10, 5), turned by 0.5 rad, as a probe
  // would measure it: a few micrometres off here and there.
  std::vector<double> points;
  for (int k = 0; k < 20; ++k)
  {
    const double t = k * 0.1653, wobble = 0.002 * std::sin(7.0 * k);
    const double u = (3.0 + wobble) * std::cos(t), v = (1.5 + wobble) * std::sin(t);
    points.push_back(10.0 + u * std::cos(0.5) - v * std::sin(0.5));
    points.push_back(5.0 + u * std::sin(0.5) + v * std::cos(0.5));
  }
  QAVTasEllipseFitter::Options options;                  // geometric, no robust loss
  options.Loss = QAVTasEllipseFitter::RobustLoss::Huber; // if some points may be outliers
  const QAVTasEllipseFitter::Result fit = QAVTasEllipseFitter(options).Fit(points.data(), 20);
  if (fit.State != QAVTasEllipseFitter::Status::Fitted) // Refused, or NotDetermined: see fit.Message
    return 1;
  std::printf("centre (%.4f, %.4f) ± (%.4f, %.4f), semi-axes %.4f and %.4f, angle %.4f rad, rms %.4f\n", fit.Centre[0],
              fit.Centre[1], fit.StandardErrors.Centre[0], fit.StandardErrors.Centre[1], fit.SemiAxes[0],
              fit.SemiAxes[1], fit.Angle, fit.Rms);
  QAVTasCovarianceEllipse same = QAVTasEllipseFitter::ToCovarianceEllipse(fit); // Q(x, y) = 1
  // README end
  return std::fabs(fit.Centre[0] - 10.0) < 0.01 && same.IsAnEllipse() ? 0 : 1;
}

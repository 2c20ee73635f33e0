#include "QAVToolEllipseSvg.h"

#include "QAVToolSvgPlot.h"

#include <algorithm>
#include <cmath>

namespace
{
const double kPi = 3.14159265358979323846;

struct Box
{
  double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
  void Add(double x, double y)
  {
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  }
};

// Ranges around the box with one scale on both axes, so the ellipse keeps its shape.
void EqualScaleAxes(Box b, QAVToolSvgPlot::Axis& oX, QAVToolSvgPlot::Axis& oY)
{
  const double span = std::max({b.maxX - b.minX, b.maxY - b.minY, 1e-12});
  const double pad = 0.06 * span;
  const double plotW = QAVToolSvgPlot::kWidth - QAVToolSvgPlot::kLeft - QAVToolSvgPlot::kRight;
  const double plotH = QAVToolSvgPlot::kHeight - QAVToolSvgPlot::kTop - QAVToolSvgPlot::kBottom;
  const double scale = std::min(plotW / (b.maxX - b.minX + 2 * pad), plotH / (b.maxY - b.minY + 2 * pad));
  const double cx = 0.5 * (b.minX + b.maxX), cy = 0.5 * (b.minY + b.maxY);
  oX = {cx - 0.5 * plotW / scale, cx + 0.5 * plotW / scale, "x"};
  oY = {cy - 0.5 * plotH / scale, cy + 0.5 * plotH / scale, "y"};
}

// A round factor (1, 2 or 5 times a power of ten, at least 1) that shows the largest residual at
// about a twentieth of the major semi-axis.
double Magnification(double iLargest, double iSemiAxis)
{
  const double wanted = 0.05 * iSemiAxis / iLargest;
  if (!(wanted > 1) || !std::isfinite(wanted))
    return 1.0;
  const double decade = std::pow(10.0, std::floor(std::log10(wanted)));
  return wanted >= 5 * decade ? 5 * decade : wanted >= 2 * decade ? 2 * decade : decade;
}

// Each residual from its foot towards its point, magnified; returns the factor.
double DrawResiduals(QAVToolSvgPlot& ioPlot, const std::vector<double>& iPoints, const std::vector<double>& iFeet,
                     double iSemiAxis)
{
  double largest = 0.0;
  for (std::size_t i = 0; i + 1 < iPoints.size(); i += 2)
    largest = std::max(largest, std::hypot(iPoints[i] - iFeet[i], iPoints[i + 1] - iFeet[i + 1]));
  const double k = Magnification(largest, iSemiAxis);
  for (std::size_t i = 0; i + 1 < iPoints.size(); i += 2)
    ioPlot.Line({iFeet[i], iFeet[i + 1], iFeet[i] + k * (iPoints[i] - iFeet[i]),
                 iFeet[i + 1] + k * (iPoints[i + 1] - iFeet[i + 1])},
                "#ff7f0e");
  return k;
}
} // namespace

std::string QAVToolEllipseSvg(const std::vector<double>& iPoints, const QAVToolEllipseFigure& iE,
                              const std::vector<double>& iFeet)
{
  const double c = std::cos(iE.angle), s = std::sin(iE.angle);
  std::vector<double> curve;
  for (int k = 0; k <= 360; ++k)
  {
    const double t = 2 * kPi * k / 360;
    const double u = iE.semiAxis1 * std::cos(t), v = iE.semiAxis2 * std::sin(t);
    curve.push_back(iE.centreX + u * c - v * s);
    curve.push_back(iE.centreY + u * s + v * c);
  }
  Box box;
  for (const std::vector<double>* set : {&iPoints, static_cast<const std::vector<double>*>(&curve)})
    for (std::size_t i = 0; i + 1 < set->size(); i += 2)
      box.Add((*set)[i], (*set)[i + 1]);
  box.Add(iE.focal1X, iE.focal1Y);
  box.Add(iE.focal2X, iE.focal2Y);
  QAVToolSvgPlot::Axis x, y;
  EqualScaleAxes(box, x, y);

  using P = QAVToolSvgPlot;
  QAVToolSvgPlot plot("Fitted ellipse: centre (" + P::Num(iE.centreX) + ", " + P::Num(iE.centreY) + "), semi-axes " +
                        P::Num(iE.semiAxis1) + " and " + P::Num(iE.semiAxis2) + ", angle " +
                        P::Num(iE.angle * 180 / kPi) + "\xC2\xB0",
                      x, y);
  plot.Line(curve, "#d62728");
  const double magnification = iFeet.empty() ? 1.0 : DrawResiduals(plot, iPoints, iFeet, iE.semiAxis1);
  plot.Dots(iPoints, "#1f77b4");
  plot.Cross(iE.focal1X, iE.focal1Y, 5, "#2ca02c");
  plot.Cross(iE.focal2X, iE.focal2Y, 5, "#2ca02c");
  plot.Cross(iE.centreX, iE.centreY, 3.5, "#555");
  plot.LegendDot("points (" + std::to_string(iPoints.size() / 2) + ")", "#1f77b4");
  plot.LegendLine("fitted ellipse", "#d62728");
  if (!iFeet.empty())
    plot.LegendLine("residuals" + (magnification > 1 ? " \xC3\x97" + P::Num(magnification) : std::string()), "#ff7f0e");
  plot.LegendCross("focal points", 4, "#2ca02c");
  plot.LegendCross("centre", 3, "#555");
  return plot.Text();
}

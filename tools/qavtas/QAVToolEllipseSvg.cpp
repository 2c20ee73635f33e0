#include "QAVToolEllipseSvg.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace
{
const double kPi = 3.14159265358979323846;
const double kWidth = 820, kHeight = 640;
const double kLeft = 80, kRight = 190, kTop = 50, kBottom = 60; // margins around the plot area

// World coordinates to the picture, one scale for both axes so the ellipse keeps its shape.
struct Frame
{
  double minX, minY, scale, offsetX, offsetY;
  double X(double x) const { return offsetX + (x - minX) * scale; }
  double Y(double y) const { return offsetY - (y - minY) * scale; }
};

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

Frame FitFrame(Box b)
{
  const double span = std::max({b.maxX - b.minX, b.maxY - b.minY, 1e-12});
  const double pad = 0.06 * span;
  b.minX -= pad, b.maxX += pad, b.minY -= pad, b.maxY += pad;
  const double plotW = kWidth - kLeft - kRight, plotH = kHeight - kTop - kBottom;
  const double scale = std::min(plotW / (b.maxX - b.minX), plotH / (b.maxY - b.minY));
  Frame f{b.minX, b.minY, scale, 0, 0};
  f.offsetX = kLeft + 0.5 * (plotW - (b.maxX - b.minX) * scale);
  f.offsetY = kHeight - kBottom - 0.5 * (plotH - (b.maxY - b.minY) * scale);
  return f;
}

// 1, 2 or 5 times a power of ten, about an eighth of the span.
double TickStep(double iSpan)
{
  const double raw = iSpan / 8.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0})
    if (m * power >= raw)
      return m * power;
  return 10.0 * power;
}

std::string Num(double v)
{
  std::ostringstream s;
  s.precision(6);
  s << (std::fabs(v) < 1e-12 ? 0.0 : v);
  return s.str();
}

void WriteAxes(std::ostream& out, const Frame& f)
{
  const double x0 = kLeft, x1 = kWidth - kRight, y0 = kTop, y1 = kHeight - kBottom;
  const double wx0 = f.minX + (x0 - f.offsetX) / f.scale, wx1 = f.minX + (x1 - f.offsetX) / f.scale;
  const double wy0 = f.minY + (f.offsetY - y1) / f.scale, wy1 = f.minY + (f.offsetY - y0) / f.scale;
  const double step = TickStep(std::max(wx1 - wx0, wy1 - wy0));
  out << "<g font-family=\"sans-serif\" font-size=\"11\" fill=\"#333\">\n";
  for (double x = std::ceil(wx0 / step) * step; x <= wx1; x += step)
    out << "<line x1=\"" << f.X(x) << "\" y1=\"" << y0 << "\" x2=\"" << f.X(x) << "\" y2=\"" << y1
        << "\" stroke=\"#e4e4e4\"/>\n<text x=\"" << f.X(x) << "\" y=\"" << y1 + 16
        << "\" text-anchor=\"middle\">" << Num(x) << "</text>\n";
  for (double y = std::ceil(wy0 / step) * step; y <= wy1; y += step)
    out << "<line x1=\"" << x0 << "\" y1=\"" << f.Y(y) << "\" x2=\"" << x1 << "\" y2=\"" << f.Y(y)
        << "\" stroke=\"#e4e4e4\"/>\n<text x=\"" << x0 - 6 << "\" y=\"" << f.Y(y) + 4
        << "\" text-anchor=\"end\">" << Num(y) << "</text>\n";
  if (wx0 <= 0 && 0 <= wx1)
    out << "<line x1=\"" << f.X(0) << "\" y1=\"" << y0 << "\" x2=\"" << f.X(0) << "\" y2=\"" << y1
        << "\" stroke=\"#888\"/>\n";
  if (wy0 <= 0 && 0 <= wy1)
    out << "<line x1=\"" << x0 << "\" y1=\"" << f.Y(0) << "\" x2=\"" << x1 << "\" y2=\"" << f.Y(0)
        << "\" stroke=\"#888\"/>\n";
  out << "<rect x=\"" << x0 << "\" y=\"" << y0 << "\" width=\"" << x1 - x0 << "\" height=\"" << y1 - y0
      << "\" fill=\"none\" stroke=\"#444\"/>\n"
      << "<text x=\"" << 0.5 * (x0 + x1) << "\" y=\"" << y1 + 40 << "\" text-anchor=\"middle\">x (grid step "
      << Num(step) << ")</text>\n<text x=\"" << 20 << "\" y=\"" << 0.5 * (y0 + y1)
      << "\" text-anchor=\"middle\" transform=\"rotate(-90 20 " << 0.5 * (y0 + y1) << ")\">y</text>\n</g>\n";
}

void WriteCross(std::ostream& out, double x, double y, double size, const char* colour)
{
  out << "<path d=\"M" << x - size << ' ' << y - size << " L" << x + size << ' ' << y + size << " M" << x - size
      << ' ' << y + size << " L" << x + size << ' ' << y - size << "\" stroke=\"" << colour
      << "\" stroke-width=\"2.5\"/>\n";
}

void WriteLegend(std::ostream& out, std::size_t iCount)
{
  const double x = kWidth - kRight + 18, y = kTop + 10;
  out << "<g font-family=\"sans-serif\" font-size=\"12\" fill=\"#222\">\n"
      << "<rect x=\"" << x - 8 << "\" y=\"" << y - 8 << "\" width=\"170\" height=\"96\" fill=\"white\" "
      << "stroke=\"#999\"/>\n"
      << "<circle cx=\"" << x + 8 << "\" cy=\"" << y + 8 << "\" r=\"3\" fill=\"#1f77b4\"/>\n"
      << "<text x=\"" << x + 24 << "\" y=\"" << y + 12 << "\">points (" << iCount << ")</text>\n"
      << "<line x1=\"" << x << "\" y1=\"" << y + 30 << "\" x2=\"" << x + 16 << "\" y2=\"" << y + 30
      << "\" stroke=\"#d62728\" stroke-width=\"2\"/>\n"
      << "<text x=\"" << x + 24 << "\" y=\"" << y + 34 << "\">fitted ellipse</text>\n";
  WriteCross(out, x + 8, y + 52, 4, "#2ca02c");
  out << "<text x=\"" << x + 24 << "\" y=\"" << y + 56 << "\">focal points</text>\n";
  WriteCross(out, x + 8, y + 74, 3, "#555");
  out << "<text x=\"" << x + 24 << "\" y=\"" << y + 78 << "\">centre</text>\n</g>\n";
}
} // namespace

bool QAVToolWriteEllipseSvg(const std::string& iPath, const std::vector<double>& iPoints,
                            const QAVToolEllipseFigure& iE)
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
  const std::vector<double>* sets[] = {&iPoints, &curve};
  for (const std::vector<double>* set : sets)
    for (std::size_t i = 0; i + 1 < set->size(); i += 2)
      box.Add((*set)[i], (*set)[i + 1]);
  box.Add(iE.focal1X, iE.focal1Y);
  box.Add(iE.focal2X, iE.focal2Y);
  const Frame f = FitFrame(box);

  std::ofstream out(iPath);
  if (!out)
    return false;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth
      << "\" height=\"" << kHeight << "\" viewBox=\"0 0 " << kWidth << ' ' << kHeight << "\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text x=\"" << kLeft << "\" y=\"30\" font-family=\"sans-serif\" font-size=\"15\" fill=\"#111\">"
      << "Fitted ellipse: centre (" << Num(iE.centreX) << ", " << Num(iE.centreY) << "), semi-axes "
      << Num(iE.semiAxis1) << " and " << Num(iE.semiAxis2) << ", angle " << Num(iE.angle * 180 / kPi)
      << "\xC2\xB0</text>\n";
  WriteAxes(out, f);
  out << "<polyline fill=\"none\" stroke=\"#d62728\" stroke-width=\"2\" points=\"";
  for (std::size_t i = 0; i < curve.size(); i += 2)
    out << f.X(curve[i]) << ',' << f.Y(curve[i + 1]) << ' ';
  out << "\"/>\n<g fill=\"#1f77b4\">\n";
  for (std::size_t i = 0; i + 1 < iPoints.size(); i += 2)
    out << "<circle cx=\"" << f.X(iPoints[i]) << "\" cy=\"" << f.Y(iPoints[i + 1]) << "\" r=\"3\"/>\n";
  out << "</g>\n";
  WriteCross(out, f.X(iE.focal1X), f.Y(iE.focal1Y), 5, "#2ca02c");
  WriteCross(out, f.X(iE.focal2X), f.Y(iE.focal2Y), 5, "#2ca02c");
  WriteCross(out, f.X(iE.centreX), f.Y(iE.centreY), 3.5, "#555");
  WriteLegend(out, iPoints.size() / 2);
  out << "</svg>\n";
  return static_cast<bool>(out);
}

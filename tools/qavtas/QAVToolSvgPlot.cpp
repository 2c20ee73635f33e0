#include "QAVToolSvgPlot.h"

#include <algorithm>
#include <cmath>

namespace
{
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

// Tick values inside [lo, hi]: equal steps, or powers of ten (with 2 and 5 when few decades show).
std::vector<double> Ticks(const QAVToolSvgPlot::Axis& iAxis)
{
  std::vector<double> ticks;
  if (!iAxis.log)
  {
    const double step = TickStep(iAxis.hi - iAxis.lo);
    for (double k = std::ceil(iAxis.lo / step); k * step <= iAxis.hi + 1e-9 * step; ++k)
      ticks.push_back(k * step);
    return ticks;
  }
  const double first = std::floor(std::log10(iAxis.lo)), last = std::ceil(std::log10(iAxis.hi));
  const int every = static_cast<int>(std::ceil((last - first) / 10.0)); // at most about 10 labels
  for (double e = first; e <= last; ++e)
    for (double m : {1.0, 2.0, 5.0})
    {
      const double v = m * std::pow(10.0, e);
      const bool shown = m == 1.0 ? static_cast<int>(e - first) % every == 0 : last - first <= 2;
      if (shown && v >= iAxis.lo * (1 - 1e-9) && v <= iAxis.hi * (1 + 1e-9))
        ticks.push_back(v);
    }
  return ticks;
}

} // namespace

QAVToolSvgPlot::QAVToolSvgPlot(const std::string& iTitle, const Axis& iX, const Axis& iY)
  : _Title(iTitle), _X(iX), _Y(iY)
{
  for (Axis* axis : {&_X, &_Y})
    if (!(axis->hi > axis->lo)) // one value: widen so it sits inside the frame
    {
      const double half = axis->log ? 0.0 : std::max(1e-12, 0.5 * std::fabs(axis->lo));
      axis->lo = axis->log ? axis->lo / 2 : axis->lo - half;
      axis->hi = axis->log ? axis->hi * 2 : axis->hi + half;
    }
}

std::string QAVToolSvgPlot::Escape(const std::string& iText)
{
  std::string out;
  for (char c : iText)
    out += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : c == '"' ? "&quot;" : std::string(1, c);
  return out;
}

std::string QAVToolSvgPlot::Num(double iValue)
{
  std::ostringstream s;
  s.precision(6);
  s << (std::fabs(iValue) < 1e-12 ? 0.0 : iValue);
  return s.str();
}

double QAVToolSvgPlot::Map(const Axis& iAxis, double iValue, double iFrom, double iTo)
{
  double t;
  if (iAxis.log)
  {
    const double v = iValue > iAxis.lo ? iValue : iAxis.lo;
    t = (std::log10(v) - std::log10(iAxis.lo)) / (std::log10(iAxis.hi) - std::log10(iAxis.lo));
  }
  else
    t = (iValue - iAxis.lo) / (iAxis.hi - iAxis.lo);
  return iFrom + t * (iTo - iFrom);
}

void QAVToolSvgPlot::Line(const std::vector<double>& iPoints, const char* iColour)
{
  _Data << "<polyline fill=\"none\" stroke=\"" << iColour << "\" stroke-width=\"2\" points=\"";
  for (std::size_t i = 0; i + 1 < iPoints.size(); i += 2)
    _Data << X(iPoints[i]) << ',' << Y(iPoints[i + 1]) << ' ';
  _Data << "\"/>\n";
}

void QAVToolSvgPlot::Dots(const std::vector<double>& iPoints, const char* iColour)
{
  _Data << "<g fill=\"" << iColour << "\">\n";
  for (std::size_t i = 0; i + 1 < iPoints.size(); i += 2)
    _Data << "<circle cx=\"" << X(iPoints[i]) << "\" cy=\"" << Y(iPoints[i + 1]) << "\" r=\"3\"/>\n";
  _Data << "</g>\n";
}

void QAVToolSvgPlot::CrossAt(std::ostream& out, double x, double y, double size, const char* colour) const
{
  out << "<path d=\"M" << x - size << ' ' << y - size << " L" << x + size << ' ' << y + size << " M" << x - size << ' '
      << y + size << " L" << x + size << ' ' << y - size << "\" stroke=\"" << colour << "\" stroke-width=\"2.5\"/>\n";
}

void QAVToolSvgPlot::Cross(double iX, double iY, double iSize, const char* iColour)
{
  CrossAt(_Data, X(iX), Y(iY), iSize, iColour);
}

void QAVToolSvgPlot::Note(const std::string& iText)
{
  _Notes.push_back(iText);
}

double QAVToolSvgPlot::NextLegendY()
{
  return kTop + 18 + 22 * _LegendRows++;
}

void QAVToolSvgPlot::LegendLine(const std::string& iText, const char* iColour)
{
  const double x = kWidth - kRight + 18, y = NextLegendY();
  _Legend << "<line x1=\"" << x << "\" y1=\"" << y - 4 << "\" x2=\"" << x + 16 << "\" y2=\"" << y - 4 << "\" stroke=\""
          << iColour << "\" stroke-width=\"2\"/>\n<text x=\"" << x + 24 << "\" y=\"" << y << "\">" << Escape(iText)
          << "</text>\n";
}

void QAVToolSvgPlot::LegendDot(const std::string& iText, const char* iColour)
{
  const double x = kWidth - kRight + 18, y = NextLegendY();
  _Legend << "<circle cx=\"" << x + 8 << "\" cy=\"" << y - 4 << "\" r=\"3\" fill=\"" << iColour << "\"/>\n<text x=\""
          << x + 24 << "\" y=\"" << y << "\">" << Escape(iText) << "</text>\n";
}

void QAVToolSvgPlot::LegendCross(const std::string& iText, double iSize, const char* iColour)
{
  const double x = kWidth - kRight + 18, y = NextLegendY();
  CrossAt(_Legend, x + 8, y - 4, iSize, iColour);
  _Legend << "<text x=\"" << x + 24 << "\" y=\"" << y << "\">" << Escape(iText) << "</text>\n";
}

void QAVToolSvgPlot::WriteTicks(std::ostream& out, const Axis& iAxis, bool iHorizontal) const
{
  const double x0 = kLeft, x1 = kWidth - kRight, y0 = kTop, y1 = kHeight - kBottom;
  for (double v : Ticks(iAxis))
  {
    if (iHorizontal)
      out << "<line x1=\"" << X(v) << "\" y1=\"" << y0 << "\" x2=\"" << X(v) << "\" y2=\"" << y1
          << "\" stroke=\"#e4e4e4\"/>\n<text x=\"" << X(v) << "\" y=\"" << y1 + 16 << "\" text-anchor=\"middle\">"
          << Num(v) << "</text>\n";
    else
      out << "<line x1=\"" << x0 << "\" y1=\"" << Y(v) << "\" x2=\"" << x1 << "\" y2=\"" << Y(v)
          << "\" stroke=\"#e4e4e4\"/>\n<text x=\"" << x0 - 6 << "\" y=\"" << Y(v) + 4 << "\" text-anchor=\"end\">"
          << Num(v) << "</text>\n";
  }
}

void QAVToolSvgPlot::WriteGrid(std::ostream& out) const
{
  const double x0 = kLeft, x1 = kWidth - kRight, y0 = kTop, y1 = kHeight - kBottom;
  out << "<g font-family=\"sans-serif\" font-size=\"11\" fill=\"#333\">\n";
  WriteTicks(out, _X, true);
  WriteTicks(out, _Y, false);
  // The zero lines of linear axes, where they show.
  if (!_X.log && _X.lo <= 0 && 0 <= _X.hi)
    out << "<line x1=\"" << X(0) << "\" y1=\"" << y0 << "\" x2=\"" << X(0) << "\" y2=\"" << y1
        << "\" stroke=\"#888\"/>\n";
  if (!_Y.log && _Y.lo <= 0 && 0 <= _Y.hi)
    out << "<line x1=\"" << x0 << "\" y1=\"" << Y(0) << "\" x2=\"" << x1 << "\" y2=\"" << Y(0)
        << "\" stroke=\"#888\"/>\n";
  const double midY = 0.5 * (y0 + y1);
  out << "<rect x=\"" << x0 << "\" y=\"" << y0 << "\" width=\"" << x1 - x0 << "\" height=\"" << y1 - y0
      << "\" fill=\"none\" stroke=\"#444\"/>\n"
      << "<text x=\"" << 0.5 * (x0 + x1) << "\" y=\"" << y1 + 42 << "\" text-anchor=\"middle\" font-size=\"13\">"
      << Escape(_X.name) << "</text>\n<text x=\"22\" y=\"" << midY
      << "\" text-anchor=\"middle\" font-size=\"13\" transform=\"rotate(-90 22 " << midY << ")\">" << Escape(_Y.name)
      << "</text>\n</g>\n";
}

std::string QAVToolSvgPlot::Text() const
{
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth
      << "\" height=\"" << kHeight << "\" viewBox=\"0 0 " << kWidth << ' ' << kHeight << "\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text x=\"" << kLeft << "\" y=\"26\" font-family=\"sans-serif\" font-size=\"15\" fill=\"#111\">"
      << Escape(_Title) << "</text>\n";
  for (std::size_t k = 0; k < _Notes.size(); ++k)
    out << "<text x=\"" << kLeft << "\" y=\"" << 42 + 12 * k
        << "\" font-family=\"sans-serif\" font-size=\"11\" fill=\"#555\">" << Escape(_Notes[k]) << "</text>\n";
  WriteGrid(out);
  out << "<svg x=\"" << kLeft << "\" y=\"" << kTop << "\" width=\"" << kWidth - kLeft - kRight << "\" height=\""
      << kHeight - kTop - kBottom << "\" viewBox=\"" << kLeft << ' ' << kTop << ' ' << kWidth - kLeft - kRight << ' '
      << kHeight - kTop - kBottom << "\" overflow=\"hidden\">\n"
      << _Data.str() << "</svg>\n";
  if (_LegendRows > 0)
    out << "<g font-family=\"sans-serif\" font-size=\"12\" fill=\"#222\">\n<rect x=\"" << kWidth - kRight + 10
        << "\" y=\"" << kTop << "\" width=\"172\" height=\"" << 12 + 22 * _LegendRows
        << "\" fill=\"white\" stroke=\"#999\"/>\n"
        << _Legend.str() << "</g>\n";
  out << "</svg>\n";
  return out.str();
}

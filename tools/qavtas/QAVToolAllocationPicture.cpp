#include "QAVToolAllocationPicture.h"

#include "QAVToolSvgPlot.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace
{
const char kUsed[] = "#1f77b4";
const char kOver[] = "#d62728";
const char kShare[] = "#2ca02c";
const char kTrack[] = "#e4e4e4";
const double kWidth = 820, kLeft = 150, kBarWidth = 520, kRow = 18;

std::string Percent(double iValue)
{
  std::ostringstream s;
  s.setf(std::ios::fixed);
  s.precision(1);
  s << iValue << " %";
  return s.str();
}

// Shares are ranked as they are printed, to a tenth of a percent: shares equal to that precision
// keep the stack-up's own order, so the picture does not hang on the last bits of a solution.
double Shown(double iPercent)
{
  return std::round(iPercent * 10.0);
}

// A label left of the bar area, a bar of iFraction of the area (clipped to it), a text after it.
void Bar(std::ostream& out, double iY, const std::string& iLabel, double iFraction, double iHeight, const char* iColour,
         const std::string& iText, bool iBold)
{
  const double w = kBarWidth * std::clamp(std::isfinite(iFraction) ? iFraction : 0.0, 0.0, 1.0);
  out << "<text x=\"" << kLeft - 8 << "\" y=\"" << iY + iHeight - 3 << "\" text-anchor=\"end\""
      << (iBold ? " font-weight=\"bold\"" : "") << ">" << QAVToolSvgPlot::Escape(iLabel) << "</text>\n"
      << "<rect x=\"" << kLeft << "\" y=\"" << iY << "\" width=\"" << kBarWidth << "\" height=\"" << iHeight
      << "\" fill=\"" << kTrack << "\"/>\n<rect x=\"" << kLeft << "\" y=\"" << iY << "\" width=\"" << w
      << "\" height=\"" << iHeight << "\" fill=\"" << iColour << "\"/>\n<text x=\"" << kLeft + kBarWidth + 8
      << "\" y=\"" << iY + iHeight - 3 << "\">" << QAVToolSvgPlot::Escape(iText) << "</text>\n";
}

double Heading(std::ostream& out, double iY, const std::string& iText)
{
  out << "<text x=\"20\" y=\"" << iY + 14 << "\" font-size=\"13\" font-weight=\"bold\">"
      << QAVToolSvgPlot::Escape(iText) << "</text>\n";
  return iY + 26;
}

// Utilisation bars scale so that 100 % of the limit sits at 80 % of the bar area.
const double kLimitAt = 0.8;

double Stackups(std::ostream& out, double iY, const QAVToolAllocateAnswer& iAnswer)
{
  double y = Heading(out, iY, "Stack-ups: share of the limit used, and what uses it");
  for (const QAVToolAllocateAnswer::Stackup& stackup : iAnswer.Stackups)
  {
    const double u = stackup.Utilisation;
    Bar(out, y, stackup.Name, kLimitAt * u, kRow - 4, u > 1.0 + 1e-9 ? kOver : kUsed, Percent(100.0 * u) + " of limit",
        true);
    out << "<line x1=\"" << kLeft + kLimitAt * kBarWidth << "\" y1=\"" << y - 2 << "\" x2=\""
        << kLeft + kLimitAt * kBarWidth << "\" y2=\"" << y + kRow - 2 << "\" stroke=\"#444\" stroke-width=\"2\"/>\n";
    y += kRow;
    std::vector<QAVToolAllocateAnswer::Share> shares = stackup.Shares;
    std::stable_sort(shares.begin(), shares.end(),
                     [](const auto& a, const auto& b) { return Shown(a.Percent) > Shown(b.Percent); });
    for (const auto& s : shares)
    {
      Bar(out, y, iAnswer.Dimensions[s.Dimension].Name, s.Percent / 100.0, kRow - 8, kShare, Percent(s.Percent), false);
      y += kRow - 4;
    }
    y += 10;
  }
  return y;
}

double Tolerances(std::ostream& out, double iY, const QAVToolAllocateAnswer& iAnswer)
{
  double y = Heading(out, iY, "Tolerances between their bounds");
  for (const QAVToolAllocateAnswer::Dimension& d : iAnswer.Dimensions)
  {
    const double t = d.Tolerance, lo = d.Low, hi = d.High;
    const bool free = !d.Fixed && hi > lo;
    const double f = free ? (t - lo) / (hi - lo) : 0.5;
    out << "<text x=\"" << kLeft - 8 << "\" y=\"" << y + 10 << "\" text-anchor=\"end\">"
        << QAVToolSvgPlot::Escape(d.Name) << "</text>\n<line x1=\"" << kLeft << "\" y1=\"" << y + 6 << "\" x2=\""
        << kLeft + kBarWidth << "\" y2=\"" << y + 6 << "\" stroke=\"#bbb\" stroke-width=\"4\"/>\n<circle cx=\""
        << kLeft + kBarWidth * std::clamp(f, 0.0, 1.0) << "\" cy=\"" << y + 6 << "\" r=\"5\" fill=\"" << kUsed
        << "\"/>\n<text x=\"" << kLeft + kBarWidth + 8 << "\" y=\"" << y + 10 << "\">"
        << (free ? QAVToolSvgPlot::Num(t) + " in [" + QAVToolSvgPlot::Num(lo) + ", " + QAVToolSvgPlot::Num(hi) + "]"
                 : QAVToolSvgPlot::Num(t) + " (fixed)")
        << "</text>\n";
    y += kRow;
  }
  return y;
}
} // namespace

std::string QAVToolAllocationPicture::Svg(const QAVToolAllocateAnswer& iAnswer)
{
  std::ostringstream body;
  double y = Stackups(body, 44, iAnswer);
  y = Tolerances(body, y + 8, iAnswer);
  const double height = y + 16;
  std::ostringstream out;
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << height
      << "\" viewBox=\"0 0 " << kWidth << ' ' << height
      << "\">\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text x=\"20\" y=\"26\" font-family=\"sans-serif\" font-size=\"15\" fill=\"#111\">"
      << QAVToolSvgPlot::Escape(iAnswer.Title)
      << "</text>\n<g font-family=\"sans-serif\" font-size=\"11\" fill=\"#333\">\n"
      << body.str() << "</g>\n</svg>\n";
  return out.str();
}

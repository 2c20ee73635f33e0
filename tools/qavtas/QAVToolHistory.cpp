#include "QAVToolHistory.h"

#include "QAVToolSvgPlot.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace
{
// The shortest text that reads back as the same double.
std::string Exact(double iValue)
{
  char text[32];
  const std::to_chars_result r = std::to_chars(text, text + sizeof text, iValue);
  return std::string(text, r.ptr);
}

// Decades when every value is positive or 0 and the positive ones span a factor of 100 or more.
QAVToolSvgPlot::Axis FitnessAxis(const std::vector<QAVGAProgress>& iRecords)
{
  double lo = HUGE_VAL, hi = -HUGE_VAL, lowestPositive = HUGE_VAL;
  for (const QAVGAProgress& p : iRecords)
  {
    if (!std::isfinite(p._OptimumFitness))
      continue;
    lo = std::min(lo, p._OptimumFitness);
    hi = std::max(hi, p._OptimumFitness);
    if (p._OptimumFitness > 0)
      lowestPositive = std::min(lowestPositive, p._OptimumFitness);
  }
  if (!(lo <= hi))
    return {0.0, 1.0, "best fitness"};
  // Zeros go one decade below the lowest positive value, on the lower edge.
  if (lo >= 0 && lowestPositive < HUGE_VAL && hi >= 100 * lowestPositive)
    return {std::pow(10.0, std::floor(std::log10(lowestPositive)) - (lo == 0 ? 1 : 0)),
            std::pow(10.0, std::ceil(std::log10(hi))), "best fitness (log scale)", true};
  const double pad = 0.05 * (hi - lo);
  return {lo - pad, hi + pad, "best fitness"};
}
} // namespace

void QAVToolHistory::Declare(QAVToolCli& ioCli)
{
  ioCli.OutFile("--history", _CsvPath,
                "write one line per generation to the CSV file OUT: generation,best_fitness,evaluations "
                "(generation 0 is the initial population)");
  ioCli.OutFile("--plot", _PlotPath, "draw the convergence curve into the SVG file OUT");
}

int QAVToolHistory::Write(const QAVToolSession& iSession, const std::string& iTitle) const
{
  if (!_CsvPath.empty())
    if (const int status = iSession.Write(_CsvPath, CsvText()))
      return status;
  return _PlotPath.empty() ? QAVToolExit::Answered : iSession.Write(_PlotPath, PlotText(iTitle));
}

std::string QAVToolHistory::CsvText() const
{
  std::ostringstream out;
  out << "generation,best_fitness,evaluations\n";
  for (const QAVGAProgress& p : _Records)
    out << p._Generation << ',' << Exact(p._OptimumFitness) << ',' << p._Evaluations << '\n';
  return out.str();
}

std::string QAVToolHistory::PlotText(const std::string& iTitle) const
{
  const double last = _Records.empty() ? 0.0 : _Records.back()._Generation;
  const QAVToolSvgPlot::Axis fitness = FitnessAxis(_Records);
  bool zeros = false;
  for (const QAVGAProgress& p : _Records)
    zeros = zeros || p._OptimumFitness <= 0;
  QAVToolSvgPlot plot(iTitle, {0.0, std::max(last, 1.0), "generation"}, fitness);
  if (!_Records.empty())
    plot.Note(std::to_string(_Records.back()._Generation) + " generations, " +
              std::to_string(_Records.back()._Evaluations) + " evaluations, best fitness " +
              QAVToolSvgPlot::Num(_Records.back()._OptimumFitness) +
              (fitness.log && zeros ? " (0 is drawn on the lower edge)" : ""));
  std::vector<double> curve;
  for (const QAVGAProgress& p : _Records)
    if (!std::isnan(p._OptimumFitness))
    {
      curve.push_back(p._Generation);
      curve.push_back(p._OptimumFitness);
    }
  plot.Line(curve, "#d62728");
  plot.LegendLine("best fitness", "#d62728");
  return plot.Text();
}

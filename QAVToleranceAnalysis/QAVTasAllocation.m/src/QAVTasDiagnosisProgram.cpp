#include "QAVTasDiagnosisProgram.h"

#include "QAVTasStackupLaw.h"

#include "QAVTasAllocationDiagnosis.h"
#include "QAVTasAllocationNewton.h"
#include "QAVTasAllocationPath.h"
#include "QAVTasAllocationRows.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
using Problem = QAVTasAllocationProblem;
using Answer = QAVTasDiagnosisProgram::Answer;
const double kPolish = 1e-4; // the polished gap, relative to the target
const std::int32_t kPolishIterations = 4;

bool IsFree(const Problem::Dimension& iDimension)
{
  return !iDimension.Fixed && iDimension.Min < iDimension.Max;
}

// Fixed tolerances as they are, free ones inside their box (all of them at Min with iAtMin).
std::vector<double> StartTolerances(const Problem& iProblem, bool iAtMin)
{
  std::vector<double> t(iProblem.Dimensions.size());
  for (std::size_t i = 0; i < t.size(); ++i)
  {
    const Problem::Dimension& d = iProblem.Dimensions[i];
    t[i] = d.Fixed           ? d.Tolerance
      : iAtMin || !IsFree(d) ? d.Min
      : std::isfinite(d.Max) ? 0.5 * (d.Min + d.Max)
                             : 2.0 * d.Min;
  }
  return t;
}

std::vector<double> Needs(const Problem& iProblem, const std::vector<double>& iScale, const std::vector<double>& iT)
{
  std::vector<double> need(iProblem.Stackups.size());
  for (std::size_t j = 0; j < need.size(); ++j)
    need[j] = QAVTasAllocationDiagnosis::Needed(iProblem.Stackups[j], iProblem.StackupValue(j, iT.data()), iScale[j]);
  return need;
}

double Sum(const std::vector<double>& iValues)
{
  double sum = 0.0;
  for (double v : iValues)
    sum += v;
  return sum;
}

// The program's problem: no costs on the tolerances, and w_j in every row of stack-up j with the
// weight S_j, its limit raised by S_j (1 + R). A linear row becomes its two sides, each a row with
// w_j pulling its own way. In a cone row w_j enters the root (S_j / factor, as the law has it) until
// MoveOutOfRoots takes it out.
Problem Program(const Problem& iProblem, const std::vector<double>& iScale, double iR)
{
  Problem program = iProblem;
  program.Stackups.clear();
  for (Problem::Dimension& d : program.Dimensions)
    d.CostOf = Problem::Cost{};
  const double inf = std::numeric_limits<double>::infinity();
  for (std::size_t j = 0; j < iProblem.Stackups.size(); ++j)
  {
    const Problem::Stackup& s = iProblem.Stackups[j];
    const std::int32_t w = static_cast<std::int32_t>(program.Dimensions.size());
    const double lift = iScale[j] * (1.0 + iR);
    if (s.LawOf().Band())
    {
      Problem::Stackup upper = s, lower = s;
      upper.Lower = -inf, upper.Upper = s.Upper + lift, upper.Sensitivity.emplace_back(w, iScale[j]);
      lower.Upper = inf, lower.Lower = s.Lower - lift, lower.Sensitivity.emplace_back(w, -iScale[j]);
      program.Stackups.push_back(upper), program.Stackups.push_back(lower);
    }
    else
    {
      Problem::Stackup row = s;
      row.Limit += lift;
      row.Sensitivity.emplace_back(w, iScale[j] / s.LawOf().Reach(s));
      program.Stackups.push_back(row);
    }
    Problem::Dimension loosening;
    loosening.Name = "loosening of " + s.Name;
    loosening.Min = 1.0, loosening.Max = 1.0 + iR;
    loosening.CostOf.Model = Problem::CostModel::Table;
    loosening.CostOf.Points = {{1.0, iR}, {1.0 + iR, 0.0}};
    program.Dimensions.push_back(loosening);
  }
  return program;
}

// A cone row's w entry goes from the root to the linear part: its lone root term f |b| u becomes
// the linear a u, whatever scaling the rows applied.
void MoveOutOfRoots(QAVTasAllocationRows& ioRows, std::size_t iDimensions)
{
  for (std::int32_t r = 0; r < ioRows.Rows(); ++r)
    for (std::int32_t k = ioRows.Start[r]; k < ioRows.Start[r + 1]; ++k)
      if (static_cast<std::size_t>(ioRows.Dimension[ioRows.Var[k]]) >= iDimensions && ioRows.B[k] != 0.0)
      {
        ioRows.A[k] += ioRows.F[r] * std::fabs(ioRows.B[k]);
        ioRows.B[k] = 0.0;
      }
}

// The problem with every length times k: the loosenings are relative, so they stay; the
// interior-point method then meets tolerances of order one, whatever the units.
Problem InUnits(Problem iProblem, double k)
{
  for (Problem::Dimension& d : iProblem.Dimensions)
    d.Min *= k, d.Max *= k, d.Tolerance *= k;
  for (Problem::Stackup& s : iProblem.Stackups)
    s.Limit *= k, s.Lower *= k, s.Upper *= k;
  return iProblem;
}

// The largest start tolerance of a free dimension.
double Length(const Problem& iProblem)
{
  const std::vector<double> t = StartTolerances(iProblem, false);
  double length = 0.0;
  for (std::size_t i = 0; i < t.size(); ++i)
    if (IsFree(iProblem.Dimensions[i]))
      length = std::max(length, t[i]);
  return length;
}

Answer AtSmallest(const Problem& iProblem, const std::vector<double>& iScale)
{
  Answer answer;
  answer.T = StartTolerances(iProblem, true);
  answer.Upper = answer.Lower = Sum(Needs(iProblem, iScale, answer.T));
  answer.Certified = true;
  return answer;
}
} // namespace

QAVTasDiagnosisProgram::Answer QAVTasDiagnosisProgram::Solve(const QAVTasAllocationProblem& iProblem,
                                                             const std::vector<double>& iScale, double iGap,
                                                             std::int32_t iMaxIterations)
{
  if (std::none_of(iProblem.Dimensions.begin(), iProblem.Dimensions.end(), IsFree))
    return AtSmallest(iProblem, iScale);
  const double k = 1.0 / Length(iProblem);
  const Problem unit = InUnits(iProblem, k);
  std::vector<double> scale = iScale;
  for (std::size_t j = 0; j < scale.size(); ++j)
    scale[j] *= k;
  Answer answer = SolveInUnits(unit, scale, iGap, iMaxIterations);
  for (double& t : answer.T)
    t /= k;
  return answer;
}

QAVTasDiagnosisProgram::Answer QAVTasDiagnosisProgram::SolveInUnits(const QAVTasAllocationProblem& iProblem,
                                                                    const std::vector<double>& iScale, double iGap,
                                                                    std::int32_t iMaxIterations)
{
  Answer answer;
  answer.T = StartTolerances(iProblem, false);
  const std::vector<double> need = Needs(iProblem, iScale, answer.T);
  const double r = 2.0 * Sum(need) + 1.0;
  const Problem program = Program(iProblem, iScale, r);
  QAVTasAllocationRows rows;
  answer.Reason = rows.Build(program);
  if (!answer.Reason.empty())
    return answer;
  const std::size_t n = iProblem.Dimensions.size();
  MoveOutOfRoots(rows, n);
  // The rows may measure a variable in units of their own: its start is placed by its share of
  // the box (or, in an open box, by its ratio to the lower bound), and read back by that ratio.
  std::vector<double> start(static_cast<std::size_t>(rows.Variables())), unit(start.size());
  for (std::size_t v = 0; v < start.size(); ++v)
  {
    const std::size_t i = static_cast<std::size_t>(rows.Dimension[v]);
    const Problem::Dimension& d = program.Dimensions[i];
    const double t = i < n ? answer.T[i] : 1.0 + r - (need[i - n] + 0.5);
    unit[v] = d.Min / rows.Lo[v];
    start[v] =
      std::isfinite(d.Max) ? rows.Lo[v] + (rows.Hi[v] - rows.Lo[v]) * (t - d.Min) / (d.Max - d.Min) : t / unit[v];
  }
  QAVTasAllocationNewton newton;
  newton.Analyse(rows);
  QAVTasAllocationPath path(rows, newton, false);
  path.Start(start);
  const QAVTasAllocationPath::Outcome outcome = path.Run(iGap, iMaxIterations);
  if (outcome == QAVTasAllocationPath::Outcome::Certified)
    path.Polish(iGap * kPolish, kPolishIterations);
  for (std::size_t v = 0; v < start.size(); ++v)
    if (static_cast<std::size_t>(rows.Dimension[v]) < n)
      answer.T[rows.Dimension[v]] = path.T[v] * unit[v];
  answer.Upper = Sum(Needs(iProblem, iScale, answer.T));
  answer.Lower = std::min(answer.Upper, path.LowerBound);
  answer.Certified = outcome == QAVTasAllocationPath::Outcome::Certified &&
    answer.Upper - answer.Lower <= iGap * std::max(1.0, answer.Upper);
  if (!answer.Certified)
    answer.Reason = outcome == QAVTasAllocationPath::Outcome::Failed
      ? "the Newton matrix could not be factored"
      : "the least loosening was not certified within " + std::to_string(iMaxIterations) + " iterations";
  return answer;
}

#include "QAVTasDiagnosisProgram.h"

#include "QAVTasAllocationDiagnosis.h"
#include "QAVTasAllocationNewton.h"
#include "QAVTasAllocationPath.h"
#include "QAVTasAllocationRows.h"

#include <algorithm>
#include <cmath>

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

// The program's problem: no costs on the tolerances, linear bands widened by S, one w_j a stack-up.
Problem Program(const Problem& iProblem, const std::vector<double>& iScale, double iR)
{
  Problem program = iProblem;
  for (Problem::Dimension& d : program.Dimensions)
    d.CostOf = Problem::Cost{};
  for (std::size_t j = 0; j < program.Stackups.size(); ++j)
  {
    Problem::Stackup& s = program.Stackups[j];
    if (s.Rule == Problem::Law::Linear)
      s.Lower -= iScale[j], s.Upper += iScale[j];
    Problem::Dimension w;
    w.Name = "loosening of " + s.Name;
    w.Min = 1.0, w.Max = 1.0 + iR;
    w.CostOf.Model = Problem::CostModel::Table;
    w.CostOf.Points = {{1.0, iR}, {1.0 + iR, 0.0}};
    program.Dimensions.push_back(w);
  }
  return program;
}

// Adds S_j w_j to every row of stack-up j, and -S_j (1 + R) (plus S_j for a widened band) to its constant.
void AddLoosenings(QAVTasAllocationRows& ioRows, std::size_t iDimensions, const std::vector<double>& iScale, double iR)
{
  std::vector<std::int32_t> varOf(iScale.size(), -1);
  for (std::int32_t v = 0; v < ioRows.Variables(); ++v)
    if (static_cast<std::size_t>(ioRows.Dimension[v]) >= iDimensions)
      varOf[ioRows.Dimension[v] - iDimensions] = v;
  std::vector<std::int32_t> start{0}, var;
  std::vector<double> a, b;
  for (std::int32_t r = 0; r < ioRows.Rows(); ++r)
  {
    const std::int32_t j = ioRows.Stackup[r];
    var.insert(var.end(), ioRows.Var.begin() + ioRows.Start[r], ioRows.Var.begin() + ioRows.Start[r + 1]);
    a.insert(a.end(), ioRows.A.begin() + ioRows.Start[r], ioRows.A.begin() + ioRows.Start[r + 1]);
    b.insert(b.end(), ioRows.B.begin() + ioRows.Start[r], ioRows.B.begin() + ioRows.Start[r + 1]);
    var.push_back(varOf[j]), a.push_back(iScale[j]), b.push_back(0.0);
    start.push_back(static_cast<std::int32_t>(var.size()));
    const bool linear = ioRows.Problem->Stackups[j].Rule == Problem::Law::Linear;
    ioRows.C[r] += -iScale[j] * (1.0 + iR) + (linear ? iScale[j] : 0.0);
  }
  ioRows.Start.swap(start), ioRows.Var.swap(var), ioRows.A.swap(a), ioRows.B.swap(b);
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
  AddLoosenings(rows, n, iScale, r);
  std::vector<double> start(static_cast<std::size_t>(rows.Variables()));
  for (std::size_t v = 0; v < start.size(); ++v)
  {
    const std::size_t i = static_cast<std::size_t>(rows.Dimension[v]);
    start[v] = i < n ? answer.T[i] : 1.0 + r - (need[i - n] + 0.5);
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
      answer.T[rows.Dimension[v]] = path.T[v];
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

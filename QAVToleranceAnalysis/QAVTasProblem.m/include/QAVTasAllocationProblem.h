#ifndef QAVTasAllocationProblem_H
#define QAVTasAllocationProblem_H

#include "QAVTasOptimizerExport.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class QAVTasStackupLaw;

// A tolerance-allocation problem: choose a tolerance t_i for every dimension so that every stack-up
// meets its requirement and the total cost sum_i c_i(t_i) is smallest.
//
// Stack-up laws (each a QAVTasStackupLaw), for sensitivities s_ij (j the stack-up):
//   worst-case   V_j = sum_i |s_ij| t_i                                  V_j <= T_j
//   rss          V_j = f_j sqrt(sum_i (s_ij t_i)^2)                      V_j <= T_j
//   mean-shift   V_j = sum_i m_i |s_ij| t_i + sqrt(sum_i ((1 - m_i) s_ij t_i)^2)    V_j <= T_j
//   linear       V_j = sum_i s_ij t_i                                    lower_j <= V_j <= upper_j
// Each V_j of the first three laws is a norm of t (convex, positively homogeneous), so the feasible
// set is convex; every cost model below is convex and non-increasing, so the problem is convex.
//
// Cost models: reciprocal a + b/t, power a + b/t^k (k > 0), exponential a + b exp(-m t) (m > 0),
// table: piecewise-linear through (t, cost) points, convex and non-increasing.
//
// A dimension either has bounds 0 < Min <= t <= Max, or a fixed tolerance (Fixed), or a list of
// process options (discrete choices, each a tolerance with its cost).
class QAV_TASOPT_API QAVTasAllocationProblem
{
public:
  enum class CostModel
  {
    None, // a fixed dimension without a cost
    Reciprocal,
    Power,
    Exponential,
    Table
  };

  struct Cost
  {
    CostModel Model = CostModel::None;
    double A = 0.0, B = 0.0, K = 1.0, M = 0.0;
    std::vector<std::pair<double, double>> Points; // table: (t, cost), t increasing

    double Value(double iT) const;
    double Slope(double iT) const;     // dc/dt (a table: the right slope, the left one at its end)
    double Curvature(double iT) const; // d2c/dt2 (0 for a table)
  };

  struct Option
  {
    double Tolerance = 0.0;
    double CostValue = 0.0;
    std::string Process;
  };

  enum class Distribution
  {
    Normal,    // sigma = t / (3 cp), or a sigma given
    Uniform,   // on [mean - t, mean + t]
    Triangular // on [mean - t, mean + t], peak at the mean
  };

  struct Dimension
  {
    std::string Name;
    double Min = 0.0, Max = 0.0; // bounds of a free dimension (for a table: within its points)
    bool Fixed = false;
    double Tolerance = 0.0; // the fixed tolerance
    Cost CostOf;
    double MeanShift = 0.0; // in [0, 1)
    Distribution Spread = Distribution::Normal;
    std::vector<Option> Options; // non-empty: made by one of these processes
    // The drawing: the dimension lies in [Nominal - Minus, Nominal + Plus] when Plus + Minus > 0
    // (then Fixed, with Tolerance the half-width), else in [Nominal - t, Nominal + t].
    double Nominal = 0.0, Plus = 0.0, Minus = 0.0;
    double Cp = 1.0;    // process capability of a normal dimension
    double Sigma = 0.0; // > 0: the spread of a normal dimension, given directly (fixed only)
    bool HasProcessMean = false;
    double ProcessMean = 0.0; // the absolute mean of the process

    double Centre() const { return Nominal + 0.5 * (Plus - Minus); }
    // Mean and standard deviation of the dimension made at tolerance t (half-width).
    double MeanAt(double iT) const;
    double SigmaAt(double iT) const;
  };

  // The keys of the registered laws (QAVTasStackupLaws); a program may register more.
  enum class Law
  {
    WorstCase,
    Rss,
    MeanShift,
    Linear
  };

  struct Stackup
  {
    std::string Name;
    Law Rule = Law::WorstCase;
    double Limit = 0.0;                                       // T_j of the first three laws
    double Factor = 1.0;                                      // rss inflation factor, >= 1
    double Lower = 0.0, Upper = 0.0;                          // linear rows
    std::vector<std::pair<std::int32_t, double>> Sensitivity; // (dimension index, s_ij)
    // The drawing's requirement on y = Constant + sum_i s_ij x_i: Lsl <= y <= Usl (either or both).
    // A stack-up may have no law (analysis and targets only); a limit may come from the window.
    bool HasLaw = true, LimitFromWindow = false;
    double Constant = 0.0;
    bool HasLsl = false, HasUsl = false;
    double Lsl = 0.0, Usl = 0.0;
    double Cpk = 0.0; // > 0: the least Cpk under the normal model
    // Not empty: y is this function of the dimensions' names (QAVTasExpression), and Constant and
    // Sensitivity are its linear model at the nominals: f(x0) - sum s_i x0_i and the gradient there.
    std::string Function;

    // The law of Rule; throws std::out_of_range when none is registered under it.
    const QAVTasStackupLaw& LawOf() const;
  };

  std::vector<Dimension> Dimensions;
  std::vector<Stackup> Stackups;
  double Yield = 0.0; // > 0: the least joint yield under the normal model

  // V_j at the tolerances t (one per dimension), by the stack-up's law.
  double StackupValue(std::size_t iStackup, const double* ipT) const;
  // Total cost at t; fixed dimensions without a cost add nothing.
  double TotalCost(const double* ipT) const;
  // Largest violation of a requirement or bound by t, relative to the scale of what it breaks, so
  // that it reads alike in any unit: a bound or a limit relative to itself, a linear row's side
  // relative to the larger of |side| and the sum of the row's terms |s_ij t_i| (which scales a side
  // at 0). 0 when feasible, infinite when t holds a NaN.
  double MaxViolation(const double* ipT) const;
  std::int32_t IndexOf(const std::string& iName) const; // -1 when no dimension has that name

  // Every defect that makes the problem unsolvable, in the order of the problem, each one line
  // "where: what", where in the problem file's terms (dimensions[2].mean_shift,
  // stackups[0].sensitivities[1], dimensions[0].cost.points[3][0]); empty when the problem is valid.
  // Defects: a number that is NaN or infinite anywhere; a free dimension without a cost model, with
  // Min <= 0 or Min > Max, or a table cost's bounds outside its points; a fixed tolerance <= 0 (or
  // outside its table); an option's tolerance <= 0; fixed and options at once; b < 0, k <= 0 or
  // m <= 0; a table of fewer than two points, t <= 0, t not increasing, or costs that rise or are
  // not convex (slopes compared with a relative allowance of 1e-12); a cost that is not finite at
  // the largest tolerance (Max, or the fixed one), and so nowhere; a mean shift outside [0, 1);
  // an unknown enumerator; a limit <= 0, an rss factor < 1, or a linear row's Lower > Upper (none
  // of them for a stack-up without a law); a sensitivity whose dimension index is out of range or
  // names a dimension its stack-up already names; the drawing's Plus, Minus or Sigma < 0, Cp <= 0,
  // Lsl >= Usl when both are given, Cpk < 0, or a Yield target outside (0, 1). Names are labels
  // here (the file reader checks them). Linear in the problem's size. The solver, the process
  // selector and the yield estimator refuse a problem that has any defect.
  std::vector<std::string> Validate() const;
  // The defects of Validate joined by "; ", empty when there are none.
  std::string Defects() const;
};

#endif

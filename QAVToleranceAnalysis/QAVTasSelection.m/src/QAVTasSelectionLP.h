#ifndef QAVTasSelectionLP_H
#define QAVTasSelectionLP_H

#include "QAVTasOptimizerExport.h"
#include "QAVTasProcessRelaxation.h"

#include <cstdint>
#include <vector>

// The linear relaxation of a pure selection, for QAVTasProcessSelector.
//
// With x_ck = 1 when choice c takes its option k and sum_k x_ck = 1, a selection's worst-case, rss
// and linear rows are linear in x: a worst-case row is sum |s| t_ck x_ck <= T, an rss row
// sum (s t_ck)^2 x_ck <= (T/f)^2 and a linear row L <= sum s t_ck x_ck <= U (fixed dimensions move
// to the sides). A mean-shift row is not, but its tangents are (V is convex and positively
// homogeneous, so V(t) >= g . t for its gradient g anywhere): it enters by its tangent at the
// middle options, and AddTangents adds one wherever a solution breaks the row. Relaxing x to
// [0, 1] convexifies every choice in (t, t^2, cost) at once, which is tighter than the envelope of
// (t, cost) alone wherever an rss row binds.
//
// Solve runs a bounded dual simplex over every option, keeping B^-1 dense, the node fixing the
// options outside its runs at 0. A cold start needs no first phase: each choice's cheapest option
// is basic in its convexity row and every other row's slack in its own, which is dual feasible; a
// warm one starts from the last node's basis, dual feasible whatever the bounds. Rows added later
// (cover cuts) enter with their slack basic, so the basis survives them.
//
// Nothing here is trusted: the row prices it returns are Lagrange multipliers, and the caller's
// bound is QAVTasProcessRelaxation::Lagrangian at them, valid for any prices; infeasibility is
// reported only with a Farkas row, rebuilt from the data, that separates.
// Exported for the tests only; not installed.
class QAV_TASOPT_API QAVTasSelectionLP
{
public:
  enum class Outcome
  {
    Optimal,
    Infeasible,
    Unknown
  };

  // True when every free dimension has options, none has more than 64 (after equal tolerances
  // and dominated options are dropped), and choices plus five times the stack-ups (their cuts
  // included) come to at most 600 rows.
  static bool Applies(const QAVTasProcessRelaxation& iChoices);

  explicit QAVTasSelectionLP(const QAVTasProcessRelaxation& iChoices);
  // False when a coefficient or cost overflowed (tolerances near the ends of double's range).
  bool Usable() const { return _Usable; }

  // oT: each choice's tolerance averaged by x (others untouched, sized to the dimensions);
  // oPrices: the prices of the optimal basis, in QAVTasProcessRelaxation's form.
  Outcome Solve(const QAVTasProcessRelaxation::Runs& iRuns, std::vector<double>& oT,
                QAVTasProcessRelaxation::Prices& oPrices);

  // The rows beyond the convexity rows: the stack-ups' (scaled, after fixed dimensions; the first
  // LawRows()) and the added ones, each with a coefficient per option.
  std::int32_t Rows() const { return _R; }
  std::int32_t LawRows() const { return _S; }
  const double* Row(std::int32_t iRow) const { return &_A[static_cast<std::size_t>(iRow) * _N]; }
  double RowLo(std::int32_t iRow) const { return _Lo[iRow]; }
  double RowHi(std::int32_t iRow) const { return _Hi[iRow]; }
  // Options of choice c are the columns First()[c] to First()[c + 1] - 1.
  const std::vector<std::int32_t>& First() const { return _First; }
  // The last optimal solution's x, per option.
  const std::vector<double>& Primal() const { return _X; }
  // A row valid for every selection (a cut): lo <= sum_j a_j x_j <= hi. Its price enters the
  // bound per option (Prices::Extra).
  void AddRow(const std::vector<double>& iCoefficients, double iLo, double iHi);
  // Adds the tangent at t of every mean-shift row that t breaks; returns how many.
  std::int32_t AddTangents(const std::vector<double>& iT);
  // Removes the added rows that do not bind at the last solution (slack basic); returns how many.
  std::int32_t DropSlackRows();

private:
  void LawRow(const QAVTasAllocationProblem::Stackup& iS, const double* ipT, std::vector<double>& oRow, double& oLo,
              double& oHi, double& oScale) const;
  void Columns();
  double RowTimesColumn(const double* ipRho, std::int32_t iV) const;
  void InverseTimesColumn(std::int32_t iV, double* opU) const;
  void Duals();
  void Build(const QAVTasProcessRelaxation::Runs& iRuns);
  bool Refactor();
  void Restrict(const QAVTasProcessRelaxation::Runs& iRuns);
  Outcome Iterate();
  void Report(std::vector<double>& oT, QAVTasProcessRelaxation::Prices& oPrices);
  std::int32_t Leaving() const;
  std::int32_t Entering(std::int32_t iRow);
  void Pivot(std::int32_t iRow, std::int32_t iCol);
  void Values();
  bool Separates(std::int32_t iRow) const;
  void PricesFrom(const std::vector<double>& iMu, QAVTasProcessRelaxation::Prices& oPrices) const;

  const QAVTasProcessRelaxation& _Choices;
  std::int32_t _C = 0, _S = 0, _R = 0;    // convexity rows, stack-up rows, stack-up and added rows
  std::vector<std::int32_t> _First;       // first column of each choice among all options
  std::vector<std::int32_t> _ChoiceOfDim; // -1 for a dimension without options
  std::vector<double> _Cost, _A;          // per option; _A is _R x options, rows scaled
  std::vector<double> _Lo, _Hi;           // rows' scaled sides, after fixed dimensions
  std::vector<double> _Scale;             // a stack-up row's scale

  // Variables: a column per option, then a slack per row (convexity rows first); _M rows.
  std::int32_t _N = 0, _Width = 0, _M = 0;
  std::vector<std::int32_t> _ChoiceOfColumn;
  std::vector<std::int32_t> _ColStart, _ColRow; // each option's nonzeros, with _ColVal
  std::vector<double> _ColVal;
  std::vector<double> _Binv; // _M x _M, row by row
  bool _Usable = true;
  bool _Ready = false;      // _Binv, _Head and _D hold a basis
  std::int32_t _Pivots = 0; // since _Binv was computed afresh
  std::vector<double> _D, _Value, _VarLo, _VarHi, _X;
  std::vector<std::int32_t> _Head;   // basic variable of each row
  std::vector<std::int8_t> _AtUpper; // nonbasic variable at its upper side
  std::vector<bool> _Basic;
  std::vector<double> _Side;           // -1 at its lower side, +1 at its upper, 0 basic or fixed
  std::vector<double> _Alpha, _U, _Z;  // scratch: pivot row, pivot column, a row-sized vector
  std::vector<std::int32_t> _Eligible; // scratch
};

#endif

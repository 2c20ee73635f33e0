#ifndef QAVTasCoverCuts_H
#define QAVTasCoverCuts_H

#include "QAVTasOptimizerExport.h"
#include "QAVTasSelectionLP.h"

#include <cstdint>

// Cover inequalities of a selection's 0-1 rows, for QAVTasProcessSelector.
//
// Take one side of a row, sum_j a_j x_j <= b, where each choice c takes exactly one of its options.
// With m_c the least a_j of choice c and weights w_j = a_j - m_c >= 0, it says that the chosen
// options' weights sum to at most B = b - sum_c m_c. Give some choices c in C a threshold
// theta_c > 0 with sum_C theta_c > B: they cannot all take an option of weight >= theta_c, so
//   sum_{c in C} sum_{j in c, w_j >= theta_c} x_j <= |C| - 1
// holds for every selection, and an LP point may break it. (The lower side of a linear row is the
// row -a x <= -l.)
//
// Separation at the LP's last point x*: each choice starts at the threshold its whole support
// reaches (y_c = sum of x* over its cut options = 1, so it costs nothing), and thresholds rise
// where they buy the most weight per unit of lost y until the sum passes B; the cover is kept when
// sum_C (1 - y_c) < 1. Choices are then dropped while the rest still cover (each drop makes the
// cut more violated) and thresholds lowered as far as the cover allows (more options in the cut).
// B carries a relative margin of 1e-7, so that no selection accepted as feasible within the
// feasibility tolerance is ever cut off. Exported for the tests only; not installed.
class QAV_TASOPT_API QAVTasCoverCuts
{
public:
  // Adds to ioLp the cover inequalities its last solution breaks, at most iMax; returns how many.
  static std::int32_t Separate(QAVTasSelectionLP& ioLp, std::int32_t iMax);
};

#endif

#ifndef QAVTasNegligiblePrices_H
#define QAVTasNegligiblePrices_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasAllocationResult.h"

// Sets to 0 every price that is noise: one whose saving, were its limit or bound loosened by the
// limit's own size, would be below 1e-9 of the cost. An interior-point answer leaves such prices
// (of the order of its gap) on constraints that do not bind, and every report would show them.
// A stack-up's size is the larger of its bound(s) and its terms sum |s_i| t_i (an equality band
// [0, 0] has only its terms); a dimension's bound is its own size.
void QAVTasDropNegligiblePrices(const QAVTasAllocationProblem& iProblem, QAVTasAllocationResult& ioResult);

#endif

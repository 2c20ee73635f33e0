#ifndef QAVTasAllocationFile_H
#define QAVTasAllocationFile_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasOptimizerExport.h"

#include <string>

// The allocation problem file: one JSON object (format "qavtas-allocation/1", docs/allocation.schema.json)
//
//   {"format": "qavtas-allocation/1",                                 optional
//    "dimensions": [ {"name": N, "min": t, "max": t, "cost": C,          a free dimension
//                     "mean_shift": m, "distribution": "normal"|"uniform"}
//                  | {"name": N, "tolerance": t, "cost": C}              fixed; cost optional
//                  | {"name": N, "options": [{"tolerance": t, "cost": c, "process": P}]} ],
//    "stackups": [ {"name": S, "law": "worst-case"|"mean-shift", "limit": T, "sensitivities": {N: s}}
//                | {"name": S, "law": "rss", "factor": f, "limit": T, "sensitivities": {N: s}}
//                | {"name": S, "law": "linear", "lower": l, "upper": u, "sensitivities": {N: s}} ]}
//
// with C one of {"model": "reciprocal", "a", "b"}, {"model": "power", "a", "b", "k"},
// {"model": "exponential", "a", "b", "m"} ("a" defaults to 0) or {"model": "table", "points": [[t, c]...]}.
// A table's first and last t bound the dimension; "min" and "max" may only narrow them.
// Keys beginning with "x-" are ignored wherever they appear (other tools' notes).
//
// The drawing's keys, all optional: a dimension's "nominal" (0), a zone "plus"/"minus" (>= 0, sum
// > 0; fixed, instead of "tolerance", bounds or options), "distribution" "normal" | "uniform" |
// "triangular", a normal one's "cp" (1) or "sigma" (fixed only; ignored by the other spreads),
// "process_mean" (absolute; it places the process, a "mean_shift" still enters the mean-shift law);
// a stack-up's "constant", "lsl", "usl" (lsl < usl) on y = constant + sum s_i x_i and
// "cpk" (needs a limit of the window); the problem's "yield" in (0, 1). A stack-up with "lsl" or
// "usl" may go without a law; a law without "limit" takes min(usl - y_c, y_c - lsl), y_c the value at
// the tolerance centres, which must be > 0.
//
// Read accepts exactly this shape and only a problem the solver may be given: every number finite,
// 0 < min <= max, mean shift in [0, 1), limit > 0, factor >= 1, lower <= upper, b >= 0 and k, m > 0
// (so that every cost is convex and non-increasing), a table with at least two points, t strictly
// increasing from t > 0, its cost convex and non-increasing; names unique and non-empty, and every
// sensitivity naming a dimension. Anything else is refused with one line "<path>: <what>", the path
// naming the bad item as in "stackups[2].sensitivities.x9: unknown dimension" (text that is no JSON:
// "line L, column C: <what>"). Read never throws, whatever the text.
//
// Write gives the text of a problem that Read turns back into the same problem.
class QAV_TASOPT_API QAVTasAllocationFile
{
public:
  static constexpr const char* kFormat = "qavtas-allocation/1";

  // True and oProblem set, or false with oError; oProblem is left alone on failure.
  static bool Read(const std::string& iText, QAVTasAllocationProblem& oProblem, std::string& oError);
  static std::string Write(const QAVTasAllocationProblem& iProblem);

  // The file's name of a law: "worst-case", "rss", "mean-shift", "linear".
  static const char* LawName(QAVTasAllocationProblem::Law iLaw);
};

#endif

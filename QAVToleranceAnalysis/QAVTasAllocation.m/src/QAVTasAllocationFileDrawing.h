#ifndef QAVTasAllocationFileDrawing_H
#define QAVTasAllocationFileDrawing_H

// The drawing's keys of the problem file: nominals, plus/minus tolerances, process spreads,
// requirement windows and capability or yield targets. Each refusal names the item's path.
#include "QAVTasAllocationProblem.h"

#include <nlohmann/json.hpp>

#include <string>

namespace QAVTasAllocationFileDrawing
{
// "plus"/"minus": the dimension becomes fixed, its tolerance the half-width of the zone.
void ReadZone(const nlohmann::json& iNode, const std::string& iPath, QAVTasAllocationProblem::Dimension& ioDimension);
// "nominal", "distribution", "cp", "sigma", "process_mean" (after the tolerance is known).
void ReadProcess(const nlohmann::json& iNode, const std::string& iPath,
                 QAVTasAllocationProblem::Dimension& ioDimension);
// Whether a stack-up states a requirement of the drawing, so that it may go without a law.
bool HasWindow(const nlohmann::json& iNode);
// "constant", "lsl", "usl", "cpk"; the limit of a law given none (after the sensitivities).
void ReadRequirement(const nlohmann::json& iNode, const std::string& iPath, const QAVTasAllocationProblem& iProblem,
                     QAVTasAllocationProblem::Stackup& ioStackup);
// "yield" of the whole problem (after the stack-ups).
void ReadYield(const nlohmann::json& iRoot, QAVTasAllocationProblem& ioProblem);
} // namespace QAVTasAllocationFileDrawing

#endif

#ifndef QAVToolAllocateSelection_H
#define QAVToolAllocateSelection_H

// What each stack-up holds of a pure process selection (QAVTasSelectionPrices), in the answers of
// `qavtas allocate`: a table after "what binds" in the report and on the page, and per stack-up in
// the JSON "keeps_cheaper_out" (true, false or null when not known) and "saving_at_110pct" (the
// optimum's saving with the limit 10 % looser; null when not known).

#include "QAVTasAllocationProblem.h"
#include "QAVTasSelectionPrices.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

using QAVToolSelectionHeld = std::vector<QAVTasSelectionPrices::Stackup>;

// The report with the table added, and the JSON answer (its "stackups" in the problem's order) with
// the keys added; unchanged when iHeld is empty.
std::string QAVToolAddSelection(const std::string& iReport, const QAVTasAllocationProblem& iProblem,
                                const QAVToolSelectionHeld& iHeld);
void QAVToolAddSelectionJson(nlohmann::ordered_json& ioAnswer, const QAVTasAllocationProblem& iProblem,
                             const QAVToolSelectionHeld& iHeld);
// The page's section; empty when iHeld is empty.
std::string QAVToolSelectionHtml(const QAVTasAllocationProblem& iProblem, const QAVToolSelectionHeld& iHeld);

#endif

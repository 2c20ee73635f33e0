#ifndef QAVToolAnalysisReport_H
#define QAVToolAnalysisReport_H

#include "QAVTasStackupAnalysis.h"

#include <string>

// The answers of 'qavtas analyse': the text report, the JSON object and the CSV table (one row per
// stack-up and dimension). A figure that does not exist is null in JSON, "-" in the text and an
// empty cell in the CSV.
std::string QAVToolAnalysisText(const QAVTasAllocationProblem& iProblem, const QAVTasStackupAnalysis::Result& iResult);
std::string QAVToolAnalysisJson(const QAVTasAllocationProblem& iProblem, const QAVTasStackupAnalysis::Result& iResult);
std::string QAVToolAnalysisCsv(const QAVTasAllocationProblem& iProblem, const QAVTasStackupAnalysis::Result& iResult);

#endif

#include "QAVToolAllocateAnswer.h"

#include <utility>

QAVToolAllocateAnswer::QAVToolAllocateAnswer(QAVTasAllocationProblem iDrawing, QAVTasAllocationProblem iProblem,
                                             QAVTasFunctionAllocation::Result iSolved,
                                             const QAVToolAllocateYield& iProcesses, Labels iLabels)
  : Names(std::move(iLabels)), Drawing(std::move(iDrawing)), Problem(std::move(iProblem)), Solved(std::move(iSolved)),
    Result(Solved.Answer), Processes(iProcesses), Functions(Problem, Solved),
    Diagnosis(Problem, Result, iProcesses.TimeLimit()), Held(iProcesses.Held(Problem, Result)),
    Yield(iProcesses.Yield(Problem, Result)), Capability(Drawing, Problem, Result)
{
}

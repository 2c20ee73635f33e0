#ifndef QAVToolCommands_H
#define QAVToolCommands_H

// The qavtas commands, one line each: name, entry point, summary for 'qavtas --help'. A new command
// is one file defining its entry point plus one line here. An entry point takes the arguments
// after the command name and returns the exit status; usage errors are thrown as
// QAVToolUsageError (see QAVToolCli).
#define QAV_TOOL_COMMANDS(X)                                                                                           \
  X("de", QAVToolRunDe, "minimise or maximise a built-in test function by differential evolution")                     \
  X("parameters", QAVToolRunParameters, "place the construction points of a demonstration analysis")                   \
  X("ellipse", QAVToolRunEllipse, "fit an ellipse to a point file and draw it")                                        \
  X("tolerance", QAVToolRunTolerance, "allocate tolerances: solve a tolerancing data file and report")                 \
  X("allocate", QAVToolRunAllocate, "least-cost tolerances of an allocation problem file, certified")                  \
  X("analyse", QAVToolRunAnalyse, "stack-up analysis at fixed tolerances: worst case, Cpk, ppm, Monte Carlo")

#define QAV_TOOL_DECLARE_COMMAND(name, run, summary) int run(int argc, char** argv);
QAV_TOOL_COMMANDS(QAV_TOOL_DECLARE_COMMAND)
#undef QAV_TOOL_DECLARE_COMMAND

#include "QAVToolCli.h"

// The declared options of 'qavtas de', whose fuzz bounds the fuzz target keeps to.
std::vector<QAVToolCli::Declaration> QAVToolDeOptions();

#endif

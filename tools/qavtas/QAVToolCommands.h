#ifndef QAVToolCommands_H
#define QAVToolCommands_H

// One entry point per qavtas command; argv holds the arguments after the command name.
// Each returns the process exit status; usage errors are thrown as QAVToolUsageError.
int QAVToolRunDe(int argc, char** argv);
int QAVToolRunParameters(int argc, char** argv);
int QAVToolRunEllipse(int argc, char** argv);
int QAVToolRunTolerance(int argc, char** argv);
int QAVToolRunAllocate(int argc, char** argv);

#endif

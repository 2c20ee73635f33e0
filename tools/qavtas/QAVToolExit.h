#ifndef QAVToolExit_H
#define QAVToolExit_H

// The exit status of every command (and of qavtas itself), as its --help footer states it.
struct QAVToolExit
{
  enum Status : int
  {
    Answered = 0,    // an answer within every bound
    DataError = 1,   // the input, a file or memory failed
    Usage = 2,       // the command line is wrong
    BreaksBound = 3, // an answer that breaks a bound, or that could not be certified
    Infeasible = 4   // certified: nothing meets the bounds
  };
};

#endif

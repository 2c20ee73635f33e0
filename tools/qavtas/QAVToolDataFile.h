#ifndef QAVToolDataFile_H
#define QAVToolDataFile_H

#include "QAVTasOptimizerTolerancing.h"
#include "QAVTasToleranceDataFile.h"

#include <string>

// Reads the tolerancing data file at iPath ("-": standard input) into ioOptimizer and oFile, form 2
// or 3 only, through QAVToolLineReader (bounded lines, folders and byte-order marks named). Returns
// "" when it was read (oFile.State may still be Unsolvable), else one line naming the file, the line
// and what was expected there.
std::string QAVToolReadDataFile(const std::string& iPath, QAVTasOptimizerTolerancing& ioOptimizer,
                                QAVTasToleranceDataFile::Result& oFile);
std::string QAVToolReadDataFile(const std::string& iPath, QAVTasOptimizerTolerancing& ioOptimizer);

#endif

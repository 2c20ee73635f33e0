// Reading a tolerancing data file for the tool's commands, with errors that say where and what.
#include "QAVToolDataFile.h"

#include "QAVToolLineReader.h"

std::string QAVToolReadDataFile(const std::string& iPath, QAVTasOptimizerTolerancing& ioOptimizer,
                                QAVTasToleranceDataFile::Result& oFile)
{
  // Read whole, with bounded lines: standard input works too.
  QAVToolLineReader reader(iPath);
  std::string text;
  if (!reader.ReadAll(text))
    return reader.Error();
  const std::string& name = reader.Path();
  oFile = QAVTasToleranceDataFile::Read(text, ioOptimizer);
  if (oFile.State == QAVTasToleranceDataFile::Status::Malformed)
    return name + ":" + std::to_string(oFile.Line) + ": expected " + oFile.Expected;
  if (oFile.Form != 2 && oFile.Form != 3)
    return name + ":1: the form number must be 2 (direct) or 3 (multiplier), not " + std::to_string(oFile.Form);
  return "";
}

std::string QAVToolReadDataFile(const std::string& iPath, QAVTasOptimizerTolerancing& ioOptimizer)
{
  QAVTasToleranceDataFile::Result file;
  return QAVToolReadDataFile(iPath, ioOptimizer, file);
}

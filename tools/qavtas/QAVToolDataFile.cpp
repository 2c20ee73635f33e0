// Reading a tolerancing data file for the tool's commands, with errors that say where and what.
#include "QAVToolDataFile.h"

#include "ErrorDepthHandler.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace
{
// What the data file should hold at the step that failed, by the line of the reader's report.
const char* ExpectedItem(std::int32_t iLine)
{
  switch (iLine)
  {
    case 277:
      return "the form number (2 direct, 3 multiplier)";
    case 281:
      return "'Dimension du vecteur Nx : <count>' with a count of 0 or more";
    case 283:
      return "'Dimension du vecteur Ny : <count>' with a count of 0 or more";
    case 292:
      return "the line 'Coefficients de la matrice W :'";
    case 300:
      return "Ny rows of Nx coefficients of W";
    case 310:
      return "the line 'Tolerancement sur Y (Ymin puis Ymax) :'";
    case 314:
      return "the Ny lower bounds of Y (Ymin)";
    case 321:
      return "the Ny upper bounds of Y (Ymax)";
    case 329:
      return "the line 'Domaine de definition de X (bornes inf puis sup) :'";
    case 333:
      return "the Nx lower bounds of X (Xinf)";
    case 342:
      return "the Nx upper bounds of X (Xsup)";
    default:
      return "a line end";
  }
}

// Line of the last item the reader took in before it stopped (1 when it took none): the reader
// stops after the white space that follows an item.
long LineAt(FILE* ipFile)
{
  const long offset = std::ftell(ipFile);
  if (offset < 0 || std::fseek(ipFile, 0, SEEK_SET) != 0)
    return 0;
  long line = 1, lastItemLine = 1;
  for (long k = 0; k < offset; ++k)
  {
    const int c = std::fgetc(ipFile);
    if (c == EOF)
      break;
    if (c == '\n')
      ++line;
    else if (!std::isspace(c))
      lastItemLine = line;
  }
  return lastItemLine;
}

struct FileCloser
{
  void operator()(FILE* f) const { std::fclose(f); }
};
} // namespace

std::string QAVToolReadDataFile(const std::string& iPath, QAVTasOptimizerTolerancing& ioOptimizer)
{
  const bool standardInput = iPath == "-";
  std::unique_ptr<FILE, FileCloser> file(standardInput ? nullptr : std::fopen(iPath.c_str(), "r"));
  if (!standardInput && !file)
    return "cannot open '" + iPath + "': " + std::strerror(errno);
  FILE* in = standardInput ? stdin : file.get();
  if (ioOptimizer.ReadDataFile(in) != S_OK)
    return iPath + ":" + std::to_string(LineAt(in)) + ": expected " + ExpectedItem(ErrorDepthHandler::_i_errline_);
  if (ioOptimizer._Formulation != 2 && ioOptimizer._Formulation != 3)
    return iPath + ":1: the form number must be 2 (direct) or 3 (multiplier), not " +
      std::to_string(ioOptimizer._Formulation);
  return "";
}

// Reading a tolerancing data file for the tool's commands, with errors that say where and what.
#include "QAVToolDataFile.h"

#include "ErrorDepthHandler.h"
#include "QAVTasDataFileItems.h"
#include "QAVToolLineReader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace
{
// What the data file should hold at the step that failed, by the line of the reader's report.
const char* ExpectedAt(std::int32_t iLine)
{
  const char* expected = QAVTasDataFileItems::Expected(iLine);
  return expected != nullptr ? expected : "a line end";
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

} // namespace

std::string QAVToolReadDataFile(const std::string& iPath, QAVTasOptimizerTolerancing& ioOptimizer)
{
  // Read whole, with bounded lines, then parsed from memory: standard input works too, and the
  // failing line is found by seeking back.
  QAVToolLineReader reader(iPath);
  std::string text;
  if (!reader.ReadAll(text))
    return reader.Error();
  const std::string& name = reader.Path();
  text.push_back('\0'); // fmemopen of an empty buffer fails: read the NUL instead, which no reader accepts
  const std::size_t size = std::max<std::size_t>(text.size() - 1, 1);
  std::unique_ptr<FILE, int (*)(FILE*)> in(fmemopen(&text[0], size, "r"), std::fclose);
  if (!in)
    return name + ": " + std::strerror(errno);
  if (ioOptimizer.ReadDataFile(in.get()) != S_OK)
    return name + ":" + std::to_string(LineAt(in.get())) + ": expected " + ExpectedAt(ErrorDepthHandler::_i_errline_);
  if (ioOptimizer._Formulation != 2 && ioOptimizer._Formulation != 3)
    return name + ":1: the form number must be 2 (direct) or 3 (multiplier), not " +
      std::to_string(ioOptimizer._Formulation);
  return "";
}

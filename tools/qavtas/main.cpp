#include "QAVToolCommands.h"
#include "QAVToolOptions.h"

#include <cstring>
#include <iostream>
#include <new>

namespace
{
struct Command
{
  const char* name;
  int (*run)(int, char**);
  const char* summary;
};

const Command kCommands[] = {
  {"de", QAVToolRunDe, "minimise or maximise a built-in test function by differential evolution"},
  {"parameters", QAVToolRunParameters, "place the construction points of a demonstration analysis"},
  {"ellipse", QAVToolRunEllipse, "fit an ellipse to a point file and draw it"},
  {"tolerance", QAVToolRunTolerance, "allocate tolerances: solve a tolerancing data file and report"},
  {"allocate", QAVToolRunAllocate, "least-cost tolerances of an allocation problem file, certified"},
};

void PrintUsage(std::ostream& out)
{
  out << "usage: qavtas <command> [options]\n\ncommands:\n";
  for (const Command& c : kCommands)
    out << "  " << c.name << std::string(12 - std::strlen(c.name), ' ') << c.summary << '\n';
  out << "\n'qavtas <command> --help' describes a command's options.\n";
}
} // namespace

int main(int argc, char** argv)
{
  if (argc < 2)
  {
    PrintUsage(std::cerr);
    return 2;
  }
  const char* name = argv[1];
  if (std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0 || std::strcmp(name, "help") == 0)
  {
    PrintUsage(std::cout);
    return 0;
  }
  for (const Command& c : kCommands)
  {
    if (std::strcmp(name, c.name) != 0)
      continue;
    try
    {
      return c.run(argc - 2, argv + 2);
    }
    catch (const QAVToolUsageError& e)
    {
      std::cerr << "qavtas " << c.name << ": " << e.message << '\n';
      return 2;
    }
    catch (const std::bad_alloc&)
    {
      std::cerr << "qavtas " << c.name << ": not enough memory for this run\n";
      return 1;
    }
  }
  std::cerr << "qavtas: unknown command '" << name << "' (see qavtas --help)\n";
  return 2;
}

#include "QAVToolCli.h"
#include "QAVToolCommands.h"
#include "QAVToolExit.h"
#include "QAVToolOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <unistd.h>

namespace
{
struct Command
{
  const char* name;
  int (*run)(int, char**);
  const char* summary;
};

#define QAV_TOOL_COMMAND_ENTRY(name, run, summary) {name, run, summary},
const Command kCommands[] = {QAV_TOOL_COMMANDS(QAV_TOOL_COMMAND_ENTRY)};
#undef QAV_TOOL_COMMAND_ENTRY

void PrintUsage(std::ostream& out)
{
  out << "usage: qavtas <command> [options]\n\ncommands:\n";
  for (const Command& c : kCommands)
    out << "  " << c.name << std::string(12 - std::strlen(c.name), ' ') << c.summary << '\n';
  out << "\n'qavtas <command> --help' describes a command's options.\n";
}

// An answer that did not reach standard output is no answer: say why, exit 1.
int CheckedStandardOutput(const char* iCommand, int iStatus)
{
  std::cout.flush();
  if (std::fflush(stdout) == 0 && !std::ferror(stdout) && std::cout.good())
    return iStatus;
  if (QAVToolStandardOutputFailed()) // the command has said why
    return iStatus != QAVToolExit::Answered ? iStatus : QAVToolExit::DataError;
  // The failed write's errno is long gone; a one-byte write to the broken output tells it again.
  const int reason = ::write(STDOUT_FILENO, "\n", 1) < 0 ? errno : EIO;
  std::cerr << iCommand << ": cannot write standard output: " << std::strerror(reason) << '\n';
  return QAVToolExit::DataError;
}

int RunCommand(const Command& iCommand, int argc, char** argv)
{
  const std::string prefix = std::string("qavtas ") + iCommand.name;
  try
  {
    return CheckedStandardOutput(prefix.c_str(), iCommand.run(argc, argv));
  }
  catch (const QAVToolUsageError& e)
  {
    std::cerr << prefix << ": " << e.message << " (see " << prefix << " --help)\n";
    return QAVToolExit::Usage;
  }
  catch (const std::bad_alloc&)
  {
    std::cerr << prefix << ": not enough memory for this run\n";
    return QAVToolExit::DataError;
  }
}
} // namespace

int main(int argc, char** argv)
{
  if (argc < 2)
  {
    PrintUsage(std::cerr);
    return QAVToolExit::Usage;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help")
  {
    PrintUsage(std::cout);
    return CheckedStandardOutput("qavtas", QAVToolExit::Answered);
  }
  if (name == "--version")
  {
    std::cout << QAVToolCli::Version() << '\n';
    return CheckedStandardOutput("qavtas", QAVToolExit::Answered);
  }
  for (const Command& c : kCommands)
    if (name == c.name)
      return RunCommand(c, argc - 2, argv + 2);
  std::cerr << "qavtas: unknown command '" << name << "' (see qavtas --help)\n";
  return QAVToolExit::Usage;
}

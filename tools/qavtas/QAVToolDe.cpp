#include "QAVToolCommands.h"
#include "QAVToolOptions.h"

#include <iostream>

int QAVToolRunDe(int argc, char** argv)
{
  QAVToolOptions options(argc, argv);
  while (!options.Done())
  {
    const std::string name = options.NextName();
    if (options.IsHelp(name))
    {
      std::cout << "usage: qavtas de [options]\n";
      return 0;
    }
    QAVToolOptions::Fail("unknown option '" + name + "'");
  }
  return 0;
}

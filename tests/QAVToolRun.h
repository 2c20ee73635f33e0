#ifndef QAVToolRun_H
#define QAVToolRun_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// One run of the qavtas binary: exit status, standard output, standard error.
struct QAVToolRunResult
{
  int status;
  std::string out;
  std::string err;
};

inline std::string QAVToolSlurp(const std::string& iPath)
{
  std::ifstream in(iPath);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A scratch file name of this test process (ctest runs the cases of a file in parallel processes).
inline std::string QAVToolTempPath(const std::string& iName)
{
  return ::testing::TempDir() + "qavtas_" + std::to_string(getpid()) + "_" + iName;
}

// Runs "qavtas <iArgs>" through the shell.
inline QAVToolRunResult QAVToolRun(const std::string& iArgs)
{
  const std::string out = QAVToolTempPath("stdout"), err = QAVToolTempPath("stderr");
  const std::string command = std::string(QAVTAS_EXE) + " " + iArgs + " >" + out + " 2>" + err;
  const int raw = std::system(command.c_str());
  QAVToolRunResult result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, QAVToolSlurp(out), QAVToolSlurp(err)};
  std::remove(out.c_str());
  std::remove(err.c_str());
  return result;
}

#endif

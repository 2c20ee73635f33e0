// `qavtas allocate` end to end (read, parse, solve, report or JSON, write) on chained problems,
// against the solver's own time on the same problem. Prints both times, their ratio, the growth
// from the smaller problem to the larger one and the tool's peak resident memory.
#include "QAVAllocationChain.h"
#include "QAVTasAllocationFile.h"
#include "QAVTasAllocationSolver.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
struct Timing
{
  double Wall = 0.0, Cpu = 0.0; // seconds
  double PeakMB = 0.0;
  int Status = -1;
};

double Seconds(const timeval& iTime)
{
  return static_cast<double>(iTime.tv_sec) + 1e-6 * static_cast<double>(iTime.tv_usec);
}

double CpuOf(const rusage& iUsage)
{
  return Seconds(iUsage.ru_utime) + Seconds(iUsage.ru_stime);
}

double Since(std::chrono::steady_clock::time_point iStart)
{
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - iStart).count();
}

Timing Solver(const QAVTasAllocationProblem& iProblem)
{
  Timing timing;
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = std::chrono::steady_clock::now();
  const QAVTasAllocationResult result = QAVTasAllocationSolver().Solve(iProblem);
  timing.Wall = Since(start);
  getrusage(RUSAGE_SELF, &after);
  timing.Cpu = CpuOf(after) - CpuOf(before);
  timing.Status = result.State == QAVTasAllocationResult::Status::Optimal ? 0 : 3;
  return timing;
}

// One run of the tool, its answer thrown away; its own CPU time and peak memory from wait4.
Timing Tool(const std::string& iFile, bool iJson)
{
  std::vector<std::string> words = {QAVTAS_EXE, "allocate", iFile, "--report", "/dev/null"};
  if (iJson)
    words.push_back("--json");
  std::vector<char*> argv;
  for (std::string& word : words)
    argv.push_back(&word[0]);
  argv.push_back(nullptr);
  Timing timing;
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  if (posix_spawn(&child, QAVTAS_EXE, nullptr, nullptr, argv.data(), environ) != 0)
    return timing;
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  timing.Wall = Since(start);
  timing.Cpu = CpuOf(usage);
  timing.PeakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
  timing.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return timing;
}

struct Row
{
  std::int32_t Dimensions;
  Timing Solve, Text, Json;
};

Row Measure(std::int32_t iDimensions)
{
  const QAVTasAllocationProblem problem = QAVAllocationChain(iDimensions);
  char path[] = "/tmp/qavtas_allocate_benchXXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0)
    std::exit(1);
  close(fd);
  std::ofstream(path) << QAVTasAllocationFile::Write(problem);
  Row row{iDimensions, Solver(problem), Tool(path, false), Tool(path, true)};
  std::remove(path);
  return row;
}

void Print(const char* iWhat, const Timing& iTiming, const Timing& iSolve)
{
  std::printf("  %-8s %9.2f s wall %9.2f s cpu   x%5.2f cpu  x%5.2f wall   peak %7.0f MB   exit %d\n", iWhat,
              iTiming.Wall, iTiming.Cpu, iTiming.Cpu / iSolve.Cpu, iTiming.Wall / iSolve.Wall, iTiming.PeakMB,
              iTiming.Status);
}
} // namespace

int main()
{
  std::vector<Row> rows;
  for (const std::int32_t n : {20000, 200000})
  {
    rows.push_back(Measure(n));
    const Row& row = rows.back();
    std::printf("chain of %d dimensions, %d stack-ups (ratios to the solver's own time)\n", n, n / 2);
    std::printf("  %-8s %9.2f s wall %9.2f s cpu   exit %d\n", "solver", row.Solve.Wall, row.Solve.Cpu,
                row.Solve.Status);
    Print("allocate", row.Text, row.Solve);
    Print("--json", row.Json, row.Solve);
    std::fflush(stdout);
  }
  std::printf("growth from %d to %d dimensions (cpu): solver x%.2f, allocate x%.2f, --json x%.2f\n", rows[0].Dimensions,
              rows[1].Dimensions, rows[1].Solve.Cpu / rows[0].Solve.Cpu, rows[1].Text.Cpu / rows[0].Text.Cpu,
              rows[1].Json.Cpu / rows[0].Json.Cpu);
  bool ok = true;
  for (const Row& row : rows)
    ok = ok && row.Solve.Status == 0 && row.Text.Status == 0 && row.Json.Status == 0;
  return ok ? 0 : 1;
}

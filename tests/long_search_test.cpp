// Long process searches: the observer, a stop it asks for, the open list's budget, and an
// interrupted `qavtas allocate`.
#include "../bench/QAVProcessProblems.h"
#include "QAVTasAllocationFile.h"
#include "QAVTasProcessOpenList.h"
#include "QAVTasProcessSelector.h"
#include "QAVToolRun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <limits>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using Problem = QAVTasAllocationProblem;
using Result = QAVTasAllocationResult;
using Selector = QAVTasProcessSelector;

namespace
{
// The benchmark's seed 1: 30 dimensions of 5 options, a few hundred nodes.
const Problem& Benchmark()
{
  static const Problem p = QAVProcessProblem(30, 5, 15, 1);
  return p;
}

const Result& Optimum()
{
  static const Result r = Selector().Solve(Benchmark());
  return r;
}

// Every report's bound lies below the optimum and its cost above; stops after iStopAfter nodes.
void Watch(Selector::Options& ioOptions, std::int64_t iStopAfter)
{
  const double optimum = Optimum().Cost, slack = 1e-9 * optimum;
  ioOptions.ObserverPeriod = 0.0;
  ioOptions.OnProgress = [optimum, slack, iStopAfter](const Selector::Progress& p)
  {
    EXPECT_LE(p.LowerBound, optimum + slack);
    EXPECT_GE(p.Cost, optimum - slack);
    EXPECT_GE(p.RelativeGap, -1e-12);
    return p.Nodes < iStopAfter;
  };
}
} // namespace

TEST(LongSearch, ObserverStopsTheSearchWithItsBestSelectionAndBound)
{
  ASSERT_EQ(Optimum().State, Result::Status::Optimal);
  ASSERT_GT(Optimum().Nodes, 60);
  Selector::Options options;
  Watch(options, 40);
  const Result r = Selector(options).Solve(Benchmark());
  EXPECT_EQ(r.State, Result::Status::NotSolved);
  EXPECT_EQ(r.Reason, "interrupted");
  EXPECT_GE(r.Nodes, 40);
  EXPECT_LT(r.Nodes, Optimum().Nodes);
  EXPECT_LE(r.LowerBound, Optimum().Cost * (1.0 + 1e-9));
  EXPECT_GE(r.Cost, Optimum().Cost * (1.0 - 1e-9));
  EXPECT_TRUE(std::all_of(r.Processes.begin(), r.Processes.end(), [](std::int32_t k) { return k >= 0; }));
  EXPECT_LE(Benchmark().MaxViolation(r.Tolerances.data()), 1e-9);
}

// A budget of one node dives from the root on; the proof and the optimum are the same, the dive
// holds at most two nodes per option, and every bound on the way, or at a stop, counts the nodes
// waiting to be dived.
TEST(LongSearch, OpenListBudgetKeepsTheProof)
{
  for (const std::int64_t budget : {std::int64_t{1}, std::int64_t{40000}})
  {
    Selector::Options options;
    options.OpenNodeBytes = budget;
    Watch(options, std::numeric_limits<std::int64_t>::max());
    const auto watch = options.OnProgress;
    auto most = std::make_shared<std::int64_t>(0);
    options.OnProgress = [most, watch](const Selector::Progress& p)
    {
      *most = std::max(*most, p.OpenNodes);
      return watch(p);
    };
    const Result r = Selector(options).Solve(Benchmark());
    ASSERT_EQ(r.State, Result::Status::Optimal) << r.Reason;
    EXPECT_NEAR(r.Cost, Optimum().Cost, 1e-9 * Optimum().Cost);
    EXPECT_LE(*most, budget / 200 + 2 + 2 * 30 * 4);
    Watch(options, 40);
    EXPECT_LE(Selector(options).Solve(Benchmark()).LowerBound, Optimum().Cost * (1.0 + 1e-9));
  }
}

// Past its budget the list dives, last in first out; its bound is still the least of every node
// it holds, the diving ones too.
TEST(LongSearch, OpenListBoundCountsTheDive)
{
  struct Node
  {
    double Bound;
    std::int64_t Bytes() const { return 8; }
  };
  QAVTasProcessOpenList<Node> open(8);
  open.Push({5.0});
  open.Push({2.0});
  open.Push({3.0});
  EXPECT_EQ(open.Bound(), 2.0);
  EXPECT_EQ(open.HeapBound(), 5.0);
  EXPECT_EQ(open.Pop().Bound, 3.0);
  EXPECT_EQ(open.Pop().Bound, 2.0);
  EXPECT_EQ(open.Bound(), 5.0);
}

namespace
{
// `qavtas allocate` of a problem that takes minutes (60 dimensions of 5 options, 60 stack-ups),
// run with its output in files, so that a test can signal it mid-search.
class Allocation
{
public:
  explicit Allocation(const std::vector<std::string>& iFlags)
    : _Problem(QAVToolTempPath("hard.json")), _Out(QAVToolTempPath("out")), _Err(QAVToolTempPath("err"))
  {
    std::ofstream(_Problem) << QAVTasAllocationFile::Write(QAVProcessProblem(60, 5, 60, 1));
    std::vector<std::string> args = {QAVTAS_EXE, "allocate", _Problem, "--time-limit", "600"};
    args.insert(args.end(), iFlags.begin(), iFlags.end());
    _Pid = fork();
    if (_Pid == 0)
      Exec(args);
  }
  ~Allocation()
  {
    if (_Pid > 0 && waitpid(_Pid, nullptr, WNOHANG) == 0)
      kill(_Pid, SIGKILL), waitpid(_Pid, nullptr, 0);
    for (const std::string& path : {_Problem, _Out, _Err})
      std::remove(path.c_str());
  }

  // Waits until iReady holds (checked ten times a second, for at most five minutes).
  template <class Ready>
  bool Await(Ready iReady) const
  {
    for (int k = 0; k < 3000; ++k, std::this_thread::sleep_for(std::chrono::milliseconds(100)))
      if (iReady())
        return true;
    return false;
  }
  // Its handlers are in place: the signals' bits in the caught mask of /proc/PID/status.
  bool Catches() const
  {
    std::ifstream status("/proc/" + std::to_string(_Pid) + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("SigCgt:", 0) == 0)
      {
        const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
        return (mask >> (SIGINT - 1) & 1) && (mask >> (SIGTERM - 1) & 1);
      }
    return false;
  }
  std::string Err() const { return QAVToolSlurp(_Err); }
  std::string Out() const { return QAVToolSlurp(_Out); }

  // Sends iSignal and returns the exit status (-1 when it ended otherwise or not at all).
  int Stop(int iSignal)
  {
    kill(_Pid, iSignal);
    int raw = 0;
    const bool ended = Await([&] { return waitpid(_Pid, &raw, WNOHANG) == _Pid; });
    _Pid = ended ? -1 : _Pid;
    return ended && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

private:
  void Exec(const std::vector<std::string>& iArgs) const
  {
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    dup2(open(_Out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
    dup2(open(_Err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& a : iArgs)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }

  std::string _Problem, _Out, _Err;
  pid_t _Pid = -1;
};
} // namespace

// Interrupted once the progress line shows: the best selection and its bound, as not solved.
TEST(LongSearch, InterruptedAllocateReportsItsBestSelection)
{
  Allocation run({"--progress"});
  ASSERT_TRUE(run.Await([&] { return run.Err().find("nodes ") != std::string::npos; })) << run.Err();
  ASSERT_EQ(run.Stop(SIGINT), 3) << run.Err();
  const std::string out = run.Out();
  EXPECT_EQ(out.rfind("status: not solved: interrupted\n", 0), 0u) << out;
  double cost = 0.0, bound = 0.0;
  const std::size_t at = out.find("best selection found: cost ");
  ASSERT_NE(at, std::string::npos) << out;
  ASSERT_EQ(std::sscanf(out.c_str() + at, "best selection found: cost %lf, lower bound %lf", &cost, &bound), 2);
  EXPECT_LE(bound, cost);
  EXPECT_GT(bound, 0.0);
  EXPECT_NE(out.find("\nprocesses\n"), std::string::npos);
  EXPECT_NE(out.find("  d59 "), std::string::npos);
  EXPECT_NE(run.Err().find("not solved: interrupted\n"), std::string::npos) << run.Err();
}

// SIGTERM, with --json: the same answer as one JSON object, and nothing but it on standard output.
TEST(LongSearch, TerminatedAllocateAnswersInJson)
{
  Allocation run({"--json"});
  ASSERT_TRUE(run.Await([&] { return run.Catches(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_EQ(run.Stop(SIGTERM), 3) << run.Err();
  const nlohmann::json answer = nlohmann::json::parse(run.Out());
  EXPECT_EQ(answer["status"], "not solved");
  EXPECT_EQ(answer["reason"], "interrupted");
  EXPECT_LE(answer["lower_bound"].get<double>(), answer["cost"].get<double>());
  EXPECT_EQ(answer["processes"].size(), 60u);
  EXPECT_EQ(answer["tolerances"].size(), 60u);
}

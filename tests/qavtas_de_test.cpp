#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
struct ToolRun
{
  int status;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path)
{
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ToolRun RunDe(const std::string& args)
{
  // ctest runs the cases of this file in parallel processes: one pair of files per process.
  const std::string stem = ::testing::TempDir() + "qavtas_de_" + std::to_string(getpid());
  const std::string out = stem + ".out";
  const std::string err = stem + ".err";
  const std::string command = std::string(QAVTAS_EXE) + " de " + args + " >" + out + " 2>" + err;
  const int raw = std::system(command.c_str());
  ToolRun result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
  std::remove(out.c_str());
  std::remove(err.c_str());
  return result;
}
} // namespace

TEST(QavtasDe, HelpNamesEveryOption)
{
  const ToolRun r = RunDe("--help");
  EXPECT_EQ(r.status, 0);
  for (const char* option : {"--function", "--dim", "--lower", "--upper", "--pop", "--generations", "--process", "--f",
                             "--cr", "--seed", "--idem", "--refresh", "--maximize"})
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

TEST(QavtasDe, BadOptionsAndValuesGiveOneLineAndStatus2)
{
  for (const char* args : {"--bogus", "--dim 0", "--dim abc", "--dim", "--f 2", "--cr -0.5", "--function cube",
                           "--lower 5 --upper 5", "--process 11", "--pop 5", "--lower 0.5",
                           "--function rosenbrock --dim 1", "--generations=0"})
  {
    const ToolRun r = RunDe(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_TRUE(r.out.empty()) << args;
    ASSERT_FALSE(r.err.empty()) << args;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << args << ": " << r.err;
  }
}

TEST(QavtasDe, RunsReproduciblyAndEndsWithTheOptimum)
{
  const ToolRun first = RunDe("--function rastrigin --dim 3 --seed 7");
  const ToolRun again = RunDe("--function rastrigin --dim 3 --seed 7");
  EXPECT_EQ(first.status, 0);
  EXPECT_TRUE(first.err.empty());
  EXPECT_EQ(first.out, again.out);
  EXPECT_NE(first.out.find("Optimum"), std::string::npos);
  EXPECT_NE(first.out.find("_Code [ 2] = "), std::string::npos);

  const ToolRun sphere = RunDe("--generations 300");
  EXPECT_NE(sphere.out.find("_Code [ 0] = 1\n_Code [ 1] = 2\n\n_Fitness   = 0\n"), std::string::npos);

  const ToolRun max = RunDe("--maximize --generations 20 --lower 0 --upper 10");
  EXPECT_EQ(max.status, 0);
  EXPECT_NE(max.out.find("QAVMathIntGAOptimizer 20\n"), std::string::npos);
}

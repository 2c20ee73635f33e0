#include "QAVToolRun.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
typedef QAVToolRunResult ToolRun;

ToolRun RunDe(const std::string& args) { return QAVToolRun("de " + args); }
} // namespace

TEST(QavtasDe, HelpNamesEveryOption)
{
  const ToolRun r = RunDe("--help");
  EXPECT_EQ(r.status, 0);
  for (const char* option : {"--function", "--dim", "--lower", "--upper", "--pop", "--generations", "--process", "--f",
                             "--cr", "--seed", "--idem", "--refresh", "--maximize", "--real"})
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

TEST(QavtasDe, BadOptionsAndValuesGiveOneLineAndStatus2)
{
  for (const char* args : {"--bogus", "--dim 0", "--dim abc", "--dim", "--f 2", "--cr -0.5", "--function cube",
                           "--lower 5 --upper 5", "--process 11", "--pop 5", "--lower 0.5",
                           "--function rosenbrock --dim 1", "--generations=0", "--real --dim 501"})
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

  const ToolRun real = RunDe("--real --function rosenbrock --dim 3 --seed 5");
  EXPECT_EQ(real.status, 0);
  EXPECT_EQ(real.out, RunDe("--real --function rosenbrock --dim 3 --seed 5").out);
  EXPECT_NE(real.out.find("DEBUG TasOptimiser: QAVTasGAOptimiser::Minimize ending\n"), std::string::npos);
  EXPECT_NE(real.out.find(" QAVTasMathGAPopulation size       =   30\n"), std::string::npos);
  EXPECT_NE(real.out.find("_Code [ 2] = "), std::string::npos);
}

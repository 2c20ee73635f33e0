#include "QAVToolCli.h"
#include "QAVToolCommands.h"
#include "QAVToolGenomeLog.h"
#include "QAVToolSession.h"

#include "QAVTasMemAnalysis.h"
#include "QAVTasOptimizerParameters.h"
#include "QAVTasUIServices.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

namespace
{
using Kind = QAVTasMemFeature::Kind;

const char kDescription[] =
  "Places the construction points of a built-in demonstration analysis (three points driven by a\n"
  "parameter, one point on a meshed plane) so that the analysis result is smallest, shows the run and\n"
  "the best placement found, and where the genome log was written.";
const char kFooter[] = "Exit status: 0 a placement, 1 a failed run or an output that cannot be written, 2 a usage "
                       "error.";

struct Settings
{
  std::optional<std::int32_t> seed;
  std::string log;
};

void Declare(QAVToolCli& ioCli, Settings& ioS)
{
  ioCli.Int("--seed", ioS.seed, INT32_MIN, INT32_MAX, "seed of the search (default -3)");
  ioCli.OutFile("--log", ioS.log,
                "write the genome log to OUT (default: a new file qavtas-genomes-XXXXXX.txt in $TMPDIR, else /tmp)");
  ioCli.WithProgress();
  ioCli.WithJson();
}

struct DemoParameter
{
  const char* _Name;
  Kind _Kind;
  double _Lo, _Hi;
  double _Nominal, _Sensitivity; // requirement: nominal + sensitivity * value
};

// Best placement: Offset1 = 2.0, Offset2 = 1.4, Ratio = 6.0, plane point on node (200, 300, 0) mm.
const DemoParameter kParameters[] = {
  {"Offset1", Kind::Curve, 0.0, 5.0, -2.0, 1.0},
  {"Offset2", Kind::Curve, 0.0, 2.0, -1.4, 1.0},
  {"Ratio", Kind::Between, 0.0, 10.0, -3.0, 0.5},
};

struct DemoModel
{
  QAVTasMemAnalysis* _pAnalysis = new QAVTasMemAnalysis;
  std::vector<QAVTasMemParameter*> _Parameters;
  QAVTasMemPoint* _pPlanePoint = nullptr;
  QAVListValQAVBaseUnknown_var _Features;
  QAVRawColldouble _Bounds;

  DemoModel()
  {
    for (const DemoParameter& p : kParameters)
    {
      QAVTasMemParameter* pParameter = _pAnalysis->AddParameter(p._Name, p._Lo, p._Lo, p._Hi);
      _Parameters.push_back(pParameter);
      _Features.Append(_pAnalysis->AddFeature(p._Kind, pParameter));
      _Bounds.Append(p._Lo);
      _Bounds.Append(p._Hi);
      _pAnalysis->AddContribution(_pAnalysis->AddRequirement(p._Nominal), pParameter, p._Sensitivity);
    }
    std::vector<std::array<double, 3>> grid; // 5 x 5 nodes, 100 mm apart
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 5; ++j)
        grid.push_back({100.0 * i, 100.0 * j, 0.0});
    _pPlanePoint = _pAnalysis->AddPoint(0.0, 0.0, 0.0);
    _Features.Append(_pAnalysis->AddFeature(Kind::Plane, _pAnalysis->AddSupport(grid), _pPlanePoint));
    _Bounds.Append(0.0);
    _Bounds.Append(0.0);
    _pAnalysis->AddContribution(_pAnalysis->AddRequirement(-0.2), _pPlanePoint->Coordinate(0), 1.0);
    _pAnalysis->AddContribution(_pAnalysis->AddRequirement(-0.3), _pPlanePoint->Coordinate(1), 1.0);
  }
  ~DemoModel() { _pAnalysis->Release(); }
  DemoModel(const DemoModel&) = delete;
  DemoModel& operator=(const DemoModel&) = delete;
};

void PrintPlacement(DemoModel& ioModel)
{
  std::cout << "\nbest placement found:\n";
  for (std::size_t k = 0; k < ioModel._Parameters.size(); ++k)
    std::cout << "  " << std::left << std::setw(10) << kParameters[k]._Name << std::right << " = "
              << ioModel._Parameters[k]->Value() << "  (bounds " << kParameters[k]._Lo << " .. " << kParameters[k]._Hi
              << ")\n";
  std::cout << "  plane point X = " << ioModel._pPlanePoint->Coordinate(0)->Value()
            << "  Y = " << ioModel._pPlanePoint->Coordinate(1)->Value()
            << "  Z = " << ioModel._pPlanePoint->Coordinate(2)->Value() << '\n';
  if (ioModel._pAnalysis->Update(QAVIDomain_var()) != 0)
    return;
  double total = 0.0;
  std::cout << "requirement values:";
  for (double v : ioModel._pAnalysis->Values())
  {
    std::cout << ' ' << v;
    total += std::fabs(v);
  }
  std::cout << "\nanalysis result (sum of |values|) = " << total << '\n';
}
} // namespace

int QAVToolRunParameters(int argc, char** argv)
{
  Settings settings;
  QAVToolCli cli("parameters", kDescription, kFooter);
  Declare(cli, settings);
  if (!cli.Parse(argc, argv))
    return QAVToolExit::Answered;
  QAVToolSession session("parameters", cli.common);
  QAVToolGenomeLog log;
  if (!log.Open(settings.log))
    return session.Fail(QAVToolExit::DataError, log.Error());
  DemoModel model;
  HRESULT hr = E_FAIL;
  std::int64_t genomes = 0, evaluations = 0, hits = 0;
  double fitness = 0.0;
  {
    QAVTasOptimizerParameters optimizer(model._pAnalysis, model._pAnalysis, model._Features, model._Bounds);
    if (settings.seed)
      optimizer.SetSeed(*settings.seed);
    session.Watch(optimizer, [&](const QAVGAProgress& p) { evaluations = p._Evaluations; });
    hr = optimizer.Optimize();
    genomes = optimizer._CachedGenomes.Size();
    hits = evaluations - genomes;
    fitness = optimizer.GetOptimumFitness();
  }
  if (hr < 0)
    return session.Fail(QAVToolExit::DataError, "the optimisation failed" + session.Detail());
  if (!log.Close())
    return session.Fail(QAVToolExit::DataError, log.Error());
  session.Speak();
  if (!session.Options().json)
  {
    std::cout << "genomes evaluated: " << genomes << '\n';
    PrintPlacement(model);
    std::cout << "genome log: " << log.Path() << '\n';
    return QAVToolExit::Answered;
  }
  std::vector<double> params;
  for (QAVTasMemParameter* p : model._Parameters)
    params.push_back(p->Value());
  for (int k = 0; k < 3; ++k)
    params.push_back(model._pPlanePoint->Coordinate(k)->Value());
  const nlohmann::json answer = {{"status", "ok"},   {"seconds", session.Seconds()}, {"fitness", fitness},
                                 {"params", params}, {"evaluations", evaluations},   {"cache_hits", hits},
                                 {"log", log.Path()}};
  return session.Write("-", answer.dump() + "\n");
}

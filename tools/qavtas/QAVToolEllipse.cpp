#include "QAVToolCommands.h"
#include "QAVToolEllipseFit.h"
#include "QAVToolEllipseSvg.h"
#include "QAVToolOptions.h"
#include "QAVToolPointFile.h"

#include "QAVSamInstanciateError.h"
#include "QAVTasCovarianceEllipse.h"
#include "QAVTasEllipseSolver.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
const double kPi = 3.14159265358979323846;

const char kUsage[] =
  "usage: qavtas ellipse FILE [options]\n"
  "\n"
  "Fits an ellipse to the points of FILE (two numbers x y per line, apart by spaces, tabs, commas\n"
  "or semicolons; '#' starts a comment; a first line of words is a header) and prints it.\n"
  "The default fit minimises the orthogonal distances of the points to the ellipse, with centre,\n"
  "semi-axes and angle all free, and gives their standard errors; exit status 3 when the points\n"
  "(a short arc) do not determine the ellipse. --fit focal runs the focal-sum solver instead: it\n"
  "prints the six coefficients, the fitness (sum of squared deviations of the points' focal sums\n"
  "from the ellipse's constant) and the geometry, the ellipse centred at the points' barycentre.\n"
  "\n"
  "options:\n"
  "  --fit F      geometric (default), algebraic (the direct fit alone) or focal\n"
  "  --robust L   none (default), huber or cauchy: a loss that resists outliers (geometric fit)\n"
  "  --json       print the answer as one JSON object (geometric and algebraic fits)\n"
  "  --level X    level value of the ellipse Q(x, y) = X, a positive number (default 1; focal fit)\n"
  "  --centred    centre the ellipse at the origin instead (the points are fitted as given; focal fit)\n"
  "  --svg OUT    also draw the points, the ellipse, its focal points (and each point's orthogonal\n"
  "               residual) into the SVG file OUT\n"
  "  --help       this text\n";

struct Settings
{
  std::string file;
  std::string svg;
  double level = 1.0;
  bool centred = false;
  bool levelGiven = false;
  std::string fit = "geometric";
  std::string robust = "none";
  bool json = false;
};

// The value of option iName, which must be one of iChoices.
std::string Choice(QAVToolOptions& ioOptions, const std::string& iName, const std::vector<std::string>& iChoices)
{
  const std::string value = ioOptions.Value(iName);
  if (std::find(iChoices.begin(), iChoices.end(), value) == iChoices.end())
    QAVToolOptions::Fail("option " + iName + " takes one of: " + iChoices[0] + ", " + iChoices[1] + ", " + iChoices[2]);
  return value;
}

// Options that belong to another fit than the one asked for are usage errors.
void CheckFitOptions(const Settings& iS)
{
  if (iS.fit != "focal" && (iS.levelGiven || iS.centred))
    QAVToolOptions::Fail("--level and --centred belong to --fit focal");
  if (iS.fit != "geometric" && iS.robust != "none")
    QAVToolOptions::Fail("--robust belongs to the geometric fit");
  if (iS.fit == "focal" && iS.json)
    QAVToolOptions::Fail("--json belongs to the geometric and algebraic fits");
}

// Returns false when --help was asked.
bool Parse(int argc, char** argv, Settings& oSettings)
{
  QAVToolOptions options(argc, argv);
  while (!options.Done())
  {
    const std::string name = options.NextName();
    if (options.IsHelp(name))
      return false;
    if (name == "--level")
    {
      oSettings.level = options.DoubleValue(name);
      oSettings.levelGiven = true;
      if (oSettings.level <= 0)
        QAVToolOptions::Fail("option --level takes a positive number");
    }
    else if (name == "--fit")
      oSettings.fit = Choice(options, name, {"geometric", "algebraic", "focal"});
    else if (name == "--robust")
      oSettings.robust = Choice(options, name, {"none", "huber", "cauchy"});
    else if (name == "--json")
      oSettings.json = true;
    else if (name == "--centred")
      oSettings.centred = true;
    else if (name == "--svg")
      oSettings.svg = options.Value(name);
    else if (name.rfind("-", 0) == 0 && name.size() > 1)
      QAVToolOptions::Fail("unknown option '" + name + "'");
    else if (oSettings.file.empty())
      oSettings.file = name;
    else
      QAVToolOptions::Fail("one point file only, not also '" + name + "'");
  }
  if (oSettings.file.empty())
    QAVToolOptions::Fail("a point file is needed (see qavtas ellipse --help)");
  CheckFitOptions(oSettings);
  return true;
}

// The same conic after moving the plane by g: Q(p) = Q'(p − g).
void MoveConic(double* ioParams, double iGx, double iGy)
{
  const double c0 = ioParams[0], cy = ioParams[1], cyy = ioParams[2], cx = ioParams[3], cxy = ioParams[4],
               cxx = ioParams[5];
  ioParams[0] = cxx * iGx * iGx - 2 * cxy * iGx * iGy + cyy * iGy * iGy + 2 * cx * iGx - 2 * cy * iGy + c0;
  ioParams[1] = cy + cxy * iGx - cyy * iGy;
  ioParams[3] = cx + cxx * iGx - cxy * iGy;
}

// Centre, semi-axes (major first), major-axis angle and focal points, shifted by g.
QAVToolEllipseFigure Geometry(const QAVTasCovarianceEllipse& iEllipse, double iGx, double iGy)
{
  QAVToolEllipseFigure f{};
  iEllipse.GetEllipseCenter(f.centreX, f.centreY);
  f.centreX += iGx;
  f.centreY += iGy;
  double a = 0, b = 0, r11, r12, r21, r22;
  QAVMathTransformation2D frame;
  iEllipse.GetReducedForm(a, b, frame);
  frame.GetMatrix().GetCoef(r11, r12, r21, r22);
  // The frame's rows are its axes; the major axis is the first one when a ≥ b.
  f.angle = a >= b ? std::atan2(r12, r11) : std::atan2(r22, r21);
  if (f.angle > kPi / 2)
    f.angle -= kPi;
  if (f.angle <= -kPi / 2)
    f.angle += kPi;
  f.semiAxis1 = std::max(a, b);
  f.semiAxis2 = std::min(a, b);
  QAVMathPoint2D f1, f2;
  iEllipse.GetEllipseFocals(f1, f2);
  f.focal1X = f1.GetX() + iGx;
  f.focal1Y = f1.GetY() + iGy;
  f.focal2X = f2.GetX() + iGx;
  f.focal2Y = f2.GetY() + iGy;
  return f;
}

void PrintSummary(std::size_t iCount, const Settings& iS, const double* iParams, double iFitness,
                  const QAVToolEllipseFigure& iF)
{
  std::ostringstream out;
  out.precision(10);
  out << "\npoints        " << iCount << '\n'
      << "level         " << iS.level << '\n'
      << "centred at    " << (iS.centred ? "the origin" : "the barycentre") << '\n'
      << "parameters    C0 " << iParams[0] << "  Cy " << iParams[1] << "  Cyy " << iParams[2] << "  Cx " << iParams[3]
      << "  Cxy " << iParams[4] << "  Cxx " << iParams[5] << '\n'
      << "conic         Cxx*x^2 - 2*Cxy*x*y + Cyy*y^2 - 2*Cx*x + 2*Cy*y + C0 = level\n"
      << "fitness       " << iFitness << '\n'
      << "centre        " << iF.centreX << ' ' << iF.centreY << '\n'
      << "semi-axes     " << iF.semiAxis1 << " (major) " << iF.semiAxis2 << " (minor)\n"
      << "angle         " << iF.angle * 180 / kPi << " degrees (major axis from the x axis)\n"
      << "focal points  " << iF.focal1X << ' ' << iF.focal1Y << "  and  " << iF.focal2X << ' ' << iF.focal2Y << '\n';
  std::cout << out.str();
}
int FitEllipse(const Settings& iS, const std::vector<double>& iPoints)
{
  typedef QAVTasEllipseFitter F;
  QAVToolEllipseFitRequest request;
  request.name = iS.file;
  request.svg = iS.svg;
  request.json = iS.json;
  request.options.method = iS.fit == "algebraic" ? F::Method::kAlgebraic : F::Method::kGeometric;
  request.options.loss = iS.robust == "huber" ? F::Loss::kHuber
    : iS.robust == "cauchy"                   ? F::Loss::kCauchy
                                              : F::Loss::kNone;
  return QAVToolFitEllipse(request, iPoints);
}
} // namespace

int QAVToolRunEllipse(int argc, char** argv)
{
  Settings settings;
  if (!Parse(argc, argv, settings))
  {
    std::cout << kUsage;
    return 0;
  }
  std::vector<double> points;
  std::string error;
  if (!QAVToolReadPoints(settings.file, points, error))
  {
    std::cerr << "qavtas ellipse: " << error << '\n';
    return 1;
  }
  if (settings.fit != "focal")
    return FitEllipse(settings, points);
  const std::int32_t count = static_cast<std::int32_t>(points.size() / 2);
  double g[2] = {0.0, 0.0};
  if (!settings.centred)
    QAVTasGetBaryCenter2D(points.data(), count, g);
  std::vector<double> moved(points);
  for (std::size_t i = 0; i < moved.size(); ++i)
    moved[i] -= g[i % 2];

  QAVSamSetErrorSink(QAVSamPrintError);
  double params[6];
  QAVTasEllipseSolver solver(settings.level, count, moved.data());
  solver.SetWithoutUParameters(settings.centred ? 1 : 0);
  if (solver.ComputeEllipseParameters(params) != S_OK)
  {
    std::cerr << "qavtas ellipse: no ellipse can be fitted to " << count
              << " points (they must spread in both x and y)\n";
    return 1;
  }
  const QAVTasCovarianceEllipse ellipse(settings.level, params);
  if (!ellipse.IsAnEllipse())
  {
    std::cerr << "qavtas ellipse: the best candidate is no ellipse\n";
    return 1;
  }
  const QAVToolEllipseFigure figure = Geometry(ellipse, g[0], g[1]);
  MoveConic(params, g[0], g[1]);
  PrintSummary(points.size() / 2, settings, params, solver.GetOptimumFitness(), figure);
  if (!settings.svg.empty() && !QAVToolWriteEllipseSvg(settings.svg, points, figure))
  {
    std::cerr << "qavtas ellipse: cannot write " << settings.svg << '\n';
    return 1;
  }
  return 0;
}

#include "QAVToolCli.h"
#include "QAVToolCommands.h"
#include "QAVToolEllipseFit.h"
#include "QAVToolEllipseSvg.h"
#include "QAVToolPointFile.h"
#include "QAVToolSession.h"

#include "QAVTasCovarianceEllipse.h"
#include "QAVTasEllipseSolver.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace
{
const double kPi = 3.14159265358979323846;

const char kDescription[] =
  "Fits an ellipse to the points of FILE (two numbers x y per line, apart by spaces, tabs, commas or\n"
  "semicolons; '#' starts a comment; a first line of words is a header; - is standard input) and\n"
  "prints it. The default fit minimises the orthogonal distances of the points to the ellipse, with\n"
  "centre, semi-axes and angle all free, and gives their standard errors. --fit algebraic runs its\n"
  "direct start alone. --fit focal runs the focal solver: the ellipse centred at the points'\n"
  "barycentre, its constant sum of the focal distances, and the conic found when it describes that\n"
  "ellipse.";
const char kFooter[] =
  "Exit status: 0 an ellipse, 3 the points (a short arc) do not determine the ellipse, or the focal\n"
  "search ended on a conic that is not an ellipse, 1 a data or I/O error (fewer than 5 distinct\n"
  "points, points on one line, --centred with points not centred at the origin), 2 a usage error.";

struct Settings
{
  std::string file;
  std::string svg;
  std::optional<double> level; // focal fit only; 1 when not given
  bool centred = false;
  std::string fit = "geometric";
  std::string robust = "none";
};

// Options that belong to another fit than the one asked for are usage errors.
void CheckFitOptions(const Settings& iS)
{
  if (iS.fit != "focal" && (iS.level || iS.centred))
    throw QAVToolUsageError{"--level and --centred belong to --fit focal"};
  if (iS.fit != "geometric" && iS.robust != "none")
    throw QAVToolUsageError{"--robust belongs to the geometric fit"};
}

void Declare(QAVToolCli& ioCli, Settings& ioS)
{
  ioCli.InFile("FILE", ioS.file, "the point file (- for standard input)");
  ioCli.Choice("--fit", ioS.fit, {"geometric", "algebraic", "focal"},
               "geometric (default: orthogonal distances), algebraic (the direct fit alone) or focal");
  ioCli.Choice("--robust", ioS.robust, {"none", "huber", "cauchy"},
               "a loss that resists outliers (geometric fit; default none)");
  ioCli.Real("--level", ioS.level, std::numeric_limits<double>::min(), std::numeric_limits<double>::max(),
             "level value of the ellipse Q(x, y) = X, a positive number (default 1; focal fit)");
  ioCli.Flag("--centred", ioS.centred,
             "centre the ellipse at the origin instead (the points' barycentre must be there; focal fit)");
  ioCli.OutFile("--svg", ioS.svg,
                "also draw the points, the ellipse, its focal points (and each point's orthogonal residual) "
                "into the SVG file OUT");
  ioCli.WithProgress();
  ioCli.WithJson();
}

// The focal solver with the progress line: the platform's optimiser has no observer, so the
// evaluations report (a fit of many points runs for minutes); a generation is a population's
// worth of them.
class WatchedSolver : public QAVTasEllipseSolver
{
public:
  WatchedSolver(QAVToolSession& ioSession, double iLevel, std::int32_t iCount, double* ipPoints)
    : QAVTasEllipseSolver(iLevel, iCount, ipPoints), _Session(ioSession)
  {
  }
  double EvalFitness(std::int32_t iCount, double* ipX) override
  {
    const double fitness = QAVTasEllipseSolver::EvalFitness(iCount, ipX);
    if (++_Evaluations % 64 == 0)
      _Session.Progress(
        {static_cast<std::int32_t>(_Evaluations / std::max(_PopulationSize, 1)), _Optimum._Fitness, _Evaluations});
    return fitness;
  }

private:
  QAVToolSession& _Session;
  std::int64_t _Evaluations = 0;
};

// Why the points admit no ellipse (fewer than 5 distinct, all on one line), or empty.
std::string Unfit(const std::vector<double>& iPoints, const double* iG)
{
  std::vector<std::pair<double, double>> distinct;
  for (std::size_t i = 0; i + 1 < iPoints.size(); i += 2)
    distinct.emplace_back(iPoints[i], iPoints[i + 1]);
  std::sort(distinct.begin(), distinct.end());
  const std::size_t count = std::unique(distinct.begin(), distinct.end()) - distinct.begin();
  if (count < 5)
    return std::to_string(count) + " distinct points; an ellipse needs 5 or more";
  // Scatter matrix about the barycentre: singular (to rounding) when the points lie on one line.
  double sxx = 0, syy = 0, sxy = 0;
  for (std::size_t i = 0; i + 1 < iPoints.size(); i += 2)
  {
    const double dx = iPoints[i] - iG[0], dy = iPoints[i + 1] - iG[1];
    sxx += dx * dx;
    syy += dy * dy;
    sxy += dx * dy;
  }
  if (sxx * syy - sxy * sxy <= 1e-12 * (sxx + syy) * (sxx + syy))
    return "the points lie on one line; an ellipse needs them spread in two directions";
  return "";
}

// True when the conic's quadratic part is definite and the level lies on the side of the centre's
// value that closes the curve: then Q(x, y) = level is the ellipse the geometry describes. With
// A = [Cxx -Cxy; -Cxy Cyy], Q(p) = p'Ap - 2(Cx, -Cy).p + C0 is extreme at A c = (Cx, -Cy), where
// Q(c) = C0 - (Cx, -Cy).c; the curve closes when the level is beyond that extreme.
bool ConicIsTheEllipse(const double* iParams, double iLevel)
{
  const double c0 = iParams[0], cy = iParams[1], cyy = iParams[2], cx = iParams[3], cxy = iParams[4], cxx = iParams[5];
  const double det = cxx * cyy - cxy * cxy;
  if (!(det > 0))
    return false;
  const double px = (cyy * cx - cxy * cy) / det, py = (cxy * cx - cxx * cy) / det; // A^-1 (Cx, -Cy)
  const double extreme = c0 - (cx * px - cy * py);
  return cxx > 0 ? iLevel > extreme : iLevel < extreme;
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
                  const QAVToolEllipseFigure& iF, bool iConic)
{
  std::ostringstream out;
  out.precision(10);
  out << "\npoints        " << iCount << '\n'
      << "level         " << iS.level.value_or(1.0) << '\n'
      << "centred at    " << (iS.centred ? "the origin" : "the barycentre") << '\n'
      << "parameters    C0 " << iParams[0] << "  Cy " << iParams[1] << "  Cyy " << iParams[2] << "  Cx " << iParams[3]
      << "  Cxy " << iParams[4] << "  Cxx " << iParams[5] << '\n';
  if (iConic)
    out << "conic         Cxx*x^2 - 2*Cxy*x*y + Cyy*y^2 - 2*Cx*x + 2*Cy*y + C0 = level\n";
  else
    out << "conic         none: the search ended on a conic that is not an ellipse (Cxx*Cyy - Cxy^2 = "
        << iParams[5] * iParams[2] - iParams[4] * iParams[4] << ")\n";
  out << "fitness       " << iFitness << '\n'
      << "centre        " << iF.centreX << ' ' << iF.centreY << '\n'
      << "semi-axes     " << iF.semiAxis1 << " (major) " << iF.semiAxis2 << " (minor)\n"
      << "angle         " << iF.angle * 180 / kPi << " degrees (major axis from the x axis)\n"
      << "focal points  " << iF.focal1X << ' ' << iF.focal1Y << "  and  " << iF.focal2X << ' ' << iF.focal2Y << '\n'
      << "constant      " << 2 * iF.semiAxis1 << " (sum of the distances to the focal points)\n";
  std::cout << out.str();
}

nlohmann::json Json(const QAVToolEllipseFigure& iF, double iFitness, bool iConic, double iSeconds)
{
  return {{"status", iConic ? "ok" : "not solved"},
          {"seconds", iSeconds},
          {"fit", "focal"},
          {"centre", {iF.centreX, iF.centreY}},
          {"semi_axes", {iF.semiAxis1, iF.semiAxis2}},
          {"angle", iF.angle},
          {"foci", {{iF.focal1X, iF.focal1Y}, {iF.focal2X, iF.focal2Y}}},
          {"fitness", iFitness}};
}

int FitEllipse(const Settings& iS, const std::vector<double>& iPoints, QAVToolSession& ioSession)
{
  typedef QAVTasEllipseFitter F;
  QAVToolEllipseFitRequest request;
  request.name = QAVToolSession::InputName(iS.file);
  request.svg = iS.svg;
  request.json = ioSession.Options().json;
  request.options.Method = iS.fit == "algebraic" ? F::FitMethod::Algebraic : F::FitMethod::Geometric;
  request.options.Loss = iS.robust == "huber" ? F::RobustLoss::Huber
    : iS.robust == "cauchy"                   ? F::RobustLoss::Cauchy
                                              : F::RobustLoss::None;
  return QAVToolFitEllipse(request, iPoints, ioSession);
}

// The points, moved to their barycentre unless centred (then it must be the origin).
int Prepare(const Settings& iS, const QAVToolSession& iSession, std::vector<double>& oPoints, double* oG)
{
  std::string error;
  if (!QAVToolReadPoints(iS.file, oPoints, error))
    return iSession.Fail(QAVToolExit::DataError, error);
  const std::int32_t count = static_cast<std::int32_t>(oPoints.size() / 2);
  oG[0] = oG[1] = 0.0;
  if (count > 0)
    QAVTasGetBaryCenter2D(oPoints.data(), count, oG);
  const std::string unfit = Unfit(oPoints, oG);
  const std::string name = QAVToolSession::InputName(iS.file);
  if (!unfit.empty())
    return iSession.Fail(QAVToolExit::DataError, name + ": " + unfit);
  double spread = 0.0;
  for (double v : oPoints)
    spread = std::max(spread, std::fabs(v));
  if (iS.centred && std::hypot(oG[0], oG[1]) > 1e-9 * spread)
  {
    std::ostringstream text;
    text << name << ": --centred needs points centred at the origin, but their barycentre is (" << oG[0] << ", "
         << oG[1] << "); leave --centred out to fit about the barycentre";
    return iSession.Fail(QAVToolExit::DataError, text.str());
  }
  if (iS.centred)
    oG[0] = oG[1] = 0.0;
  return QAVToolExit::Answered;
}
} // namespace

int QAVToolRunEllipse(int argc, char** argv)
{
  Settings settings;
  QAVToolCli cli("ellipse", kDescription, kFooter);
  Declare(cli, settings);
  if (!cli.Parse(argc, argv))
    return QAVToolExit::Answered;
  CheckFitOptions(settings);
  QAVToolSession session("ellipse", cli.common);
  std::vector<double> points;
  double g[2];
  if (const int status = Prepare(settings, session, points, g))
    return status;
  if (settings.fit != "focal")
    return FitEllipse(settings, points, session);
  const double level = settings.level.value_or(1.0);
  const std::int32_t count = static_cast<std::int32_t>(points.size() / 2);
  std::vector<double> moved(points);
  for (std::size_t i = 0; i < moved.size(); ++i)
    moved[i] -= g[i % 2];

  double params[6];
  WatchedSolver solver(session, level, count, moved.data());
  solver.SetWithoutUParameters(settings.centred ? 1 : 0);
  if (solver.ComputeEllipseParameters(params) != S_OK)
    return session.Fail(QAVToolExit::DataError,
                        "no ellipse can be fitted to these " + std::to_string(count) + " points" + session.Detail());
  const QAVTasCovarianceEllipse ellipse(level, params);
  if (!ellipse.IsAnEllipse())
    return session.Fail(QAVToolExit::BreaksBound, "the search ended on a conic that is not an ellipse");
  const bool conic = ConicIsTheEllipse(params, level);
  const QAVToolEllipseFigure figure = Geometry(ellipse, g[0], g[1]);
  MoveConic(params, g[0], g[1]);
  session.Speak();
  if (session.Options().json)
  {
    const std::string text = Json(figure, solver.GetOptimumFitness(), conic, session.Seconds()).dump() + "\n";
    if (const int status = session.Write("-", text))
      return status;
  }
  else
    PrintSummary(points.size() / 2, settings, params, solver.GetOptimumFitness(), figure, conic);
  if (!settings.svg.empty())
    if (const int status = session.Write(settings.svg, QAVToolEllipseSvg(points, figure)))
      return status;
  if (!conic)
    return session.Fail(QAVToolExit::BreaksBound,
                        "the search ended on a conic that is not an ellipse (the geometry printed is derived "
                        "from its coefficients)");
  return QAVToolExit::Answered;
}

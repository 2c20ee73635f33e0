#include "QAVToolEllipseFit.h"

#include "QAVToolEllipseSvg.h"
#include "QAVToolSession.h"

#include <nlohmann/json.hpp>

#include <sstream>

namespace
{
typedef QAVTasEllipseFitter F;
const double kDegrees = 180 / 3.14159265358979323846;

QAVToolEllipseFigure Figure(const F::Result& iR)
{
  return {iR.centre[0],  iR.centre[1],  iR.semiAxes[0], iR.semiAxes[1], iR.angle,
          iR.foci[0][0], iR.foci[0][1], iR.foci[1][0],  iR.foci[1][1]};
}

const char* StatusName(const F::Result& iR)
{
  return iR.status == F::Status::kOk ? "ok" : "not determined";
}

// Non-finite standard errors (none worked out, or a circle's free angle) print as null, and so
// does a circle's angle.
nlohmann::json Json(const F::Result& iR, double iSeconds)
{
  const F::StandardErrors& e = iR.standardErrors;
  return {
    {"status", StatusName(iR)},
    {"seconds", iSeconds},
    {"fit", iR.method == F::Method::kGeometric ? "geometric" : "algebraic"},
    {"centre", {iR.centre[0], iR.centre[1]}},
    {"semi_axes", {iR.semiAxes[0], iR.semiAxes[1]}},
    {"angle", iR.angleFree ? nlohmann::json(nullptr) : nlohmann::json(iR.angle)},
    {"foci", {{iR.foci[0][0], iR.foci[0][1]}, {iR.foci[1][0], iR.foci[1][1]}}},
    {"rms", iR.rms},
    {"standard_errors",
     {{"centre", {e.centre[0], e.centre[1]}}, {"semi_axes", {e.semiAxes[0], e.semiAxes[1]}}, {"angle", e.angle}}}};
}

std::string FitName(const F::Options& iOptions)
{
  if (iOptions.method == F::Method::kAlgebraic)
    return "algebraic (direct least squares of the conic)";
  const char* loss = iOptions.loss == F::Loss::kHuber ? ", Huber loss"
    : iOptions.loss == F::Loss::kCauchy               ? ", Cauchy loss"
                                                      : "";
  return std::string("geometric (orthogonal distances") + loss + ")";
}

std::string AngleText(const F::Result& iR)
{
  if (iR.angleFree)
    return "none: the semi-axes are equal within the fit's precision (a circle)";
  std::ostringstream out;
  out.precision(10);
  out << iR.angle * kDegrees << " degrees (major axis from the x axis)";
  return out.str();
}

std::string Summary(const F::Result& iR, const F::Options& iOptions, std::size_t iCount)
{
  const F::StandardErrors& e = iR.standardErrors;
  std::ostringstream out;
  out.precision(10);
  out << "\nfit           " << FitName(iOptions) << '\n'
      << "points        " << iCount << '\n'
      << "centre        " << iR.centre[0] << ' ' << iR.centre[1] << '\n'
      << "semi-axes     " << iR.semiAxes[0] << " (major) " << iR.semiAxes[1] << " (minor)\n"
      << "angle         " << AngleText(iR) << '\n'
      << "focal points  " << iR.foci[0][0] << ' ' << iR.foci[0][1] << "  and  " << iR.foci[1][0] << ' ' << iR.foci[1][1]
      << '\n'
      << "rms distance  " << iR.rms << " (orthogonal)\n";
  if (iR.method == F::Method::kGeometric)
  {
    out.precision(3);
    out << "std. errors   centre " << e.centre[0] << ' ' << e.centre[1] << "  semi-axes " << e.semiAxes[0] << ' '
        << e.semiAxes[1];
    if (!iR.angleFree)
      out << "  angle " << e.angle * kDegrees << " degrees";
    out << '\n';
  }
  out << "status        " << StatusName(iR) << '\n';
  return out.str();
}

// Each point's foot on the fitted ellipse, interleaved like the points.
std::vector<double> Feet(const F::Result& iR, const std::vector<double>& iPoints)
{
  std::vector<double> feet(iPoints.size());
  for (std::size_t i = 0; i + 1 < iPoints.size(); i += 2)
    F::FootPoint(iR, &iPoints[i], &feet[i]);
  return feet;
}
} // namespace

int QAVToolFitEllipse(const QAVToolEllipseFitRequest& iRequest, const std::vector<double>& iPoints,
                      QAVToolSession& ioSession)
{
  const std::int32_t count = static_cast<std::int32_t>(iPoints.size() / 2);
  const F::Result r = F(iRequest.options).Fit(iPoints.data(), count);
  if (r.status == F::Status::kRefused)
    return ioSession.Fail(1, iRequest.name + ": " + r.message);
  ioSession.Speak();
  const std::string answer =
    iRequest.json ? Json(r, ioSession.Seconds()).dump() + "\n" : Summary(r, iRequest.options, count);
  if (const int status = ioSession.Write("-", answer))
    return status;
  if (!iRequest.svg.empty())
    if (const int status = ioSession.Write(iRequest.svg, QAVToolEllipseSvg(iPoints, Figure(r), Feet(r, iPoints))))
      return status;
  if (r.status == F::Status::kNotDetermined)
    return ioSession.Fail(3, "not determined: " + r.message);
  return 0;
}

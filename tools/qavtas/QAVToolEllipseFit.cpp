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
  return {iR.Centre[0],  iR.Centre[1],  iR.SemiAxes[0], iR.SemiAxes[1], iR.Angle,
          iR.Foci[0][0], iR.Foci[0][1], iR.Foci[1][0],  iR.Foci[1][1]};
}

const char* StatusName(const F::Result& iR)
{
  return iR.State == F::Status::Fitted ? "ok" : "not determined";
}

// Non-finite standard errors (none worked out, or a circle's free angle) print as null, and so
// does a circle's angle.
nlohmann::json Json(const F::Result& iR, double iSeconds)
{
  const F::Uncertainty& e = iR.StandardErrors;
  return {
    {"status", StatusName(iR)},
    {"seconds", iSeconds},
    {"fit", iR.Method == F::FitMethod::Geometric ? "geometric" : "algebraic"},
    {"centre", {iR.Centre[0], iR.Centre[1]}},
    {"semi_axes", {iR.SemiAxes[0], iR.SemiAxes[1]}},
    {"angle", iR.AngleFree ? nlohmann::json(nullptr) : nlohmann::json(iR.Angle)},
    {"foci", {{iR.Foci[0][0], iR.Foci[0][1]}, {iR.Foci[1][0], iR.Foci[1][1]}}},
    {"rms", iR.Rms},
    {"standard_errors",
     {{"centre", {e.Centre[0], e.Centre[1]}}, {"semi_axes", {e.SemiAxes[0], e.SemiAxes[1]}}, {"angle", e.Angle}}}};
}

std::string FitName(const F::Options& iOptions)
{
  if (iOptions.Method == F::FitMethod::Algebraic)
    return "algebraic (direct least squares of the conic)";
  const char* loss = iOptions.Loss == F::RobustLoss::Huber ? ", Huber loss"
    : iOptions.Loss == F::RobustLoss::Cauchy               ? ", Cauchy loss"
                                                           : "";
  return std::string("geometric (orthogonal distances") + loss + ")";
}

std::string AngleText(const F::Result& iR)
{
  if (iR.AngleFree)
    return "none: the semi-axes are equal within the fit's precision (a circle)";
  std::ostringstream out;
  out.precision(10);
  out << iR.Angle * kDegrees << " degrees (major axis from the x axis)";
  return out.str();
}

std::string Summary(const F::Result& iR, const F::Options& iOptions, std::size_t iCount)
{
  const F::Uncertainty& e = iR.StandardErrors;
  std::ostringstream out;
  out.precision(10);
  out << "\nfit           " << FitName(iOptions) << '\n'
      << "points        " << iCount << '\n'
      << "centre        " << iR.Centre[0] << ' ' << iR.Centre[1] << '\n'
      << "semi-axes     " << iR.SemiAxes[0] << " (major) " << iR.SemiAxes[1] << " (minor)\n"
      << "angle         " << AngleText(iR) << '\n'
      << "focal points  " << iR.Foci[0][0] << ' ' << iR.Foci[0][1] << "  and  " << iR.Foci[1][0] << ' ' << iR.Foci[1][1]
      << '\n'
      << "rms distance  " << iR.Rms << " (orthogonal)\n";
  if (iR.Method == F::FitMethod::Geometric)
  {
    out.precision(3);
    out << "std. errors   centre " << e.Centre[0] << ' ' << e.Centre[1] << "  semi-axes " << e.SemiAxes[0] << ' '
        << e.SemiAxes[1];
    if (!iR.AngleFree)
      out << "  angle " << e.Angle * kDegrees << " degrees";
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
  if (r.State == F::Status::Refused)
    return ioSession.Fail(QAVToolExit::DataError, iRequest.name + ": " + r.Message);
  ioSession.Speak();
  const std::string answer =
    iRequest.json ? Json(r, ioSession.Seconds()).dump() + "\n" : Summary(r, iRequest.options, count);
  if (const int status = ioSession.Write("-", answer))
    return status;
  if (!iRequest.svg.empty())
    if (const int status = ioSession.Write(iRequest.svg, QAVToolEllipseSvg(iPoints, Figure(r), Feet(r, iPoints))))
      return status;
  if (r.State == F::Status::NotDetermined)
    return ioSession.Fail(QAVToolExit::BreaksBound, "not determined: " + r.Message);
  return QAVToolExit::Answered;
}

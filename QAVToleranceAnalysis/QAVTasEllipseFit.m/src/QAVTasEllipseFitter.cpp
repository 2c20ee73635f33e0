#include "QAVTasEllipseFitter.h"

#include "QAVTasDirectEllipseFit.h"
#include "QAVTasOrthogonalDistanceCost.h"

#include <ceres/ceres.h>
#include <glog/logging.h>

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

namespace
{
typedef QAVTasEllipseFitter F;
const std::int32_t kRunLength = 1024; // points per residual block without a robust loss
const int kScalePasses = 6;           // robust fits at most, each with the scale of the last

// The points moved to their barycentre and divided by their RMS radius, so that every fit works
// on data of unit size wherever and however large they are.
struct Normalised
{
  std::vector<double> points;
  double centre[2] = {0, 0};
  double scale = 1.0;
};

// Empty when the points can be fitted; otherwise why not.
std::string Refusal(const double* iPoints, std::int32_t iCount)
{
  if (!iPoints || iCount < 0)
    return "no points given";
  for (std::int32_t i = 0; i < iCount; ++i)
    if (!std::isfinite(iPoints[2 * i]) || !std::isfinite(iPoints[2 * i + 1]))
      return "point " + std::to_string(i + 1) + " has a coordinate that is not a finite number";
  std::vector<std::pair<double, double>> distinct(static_cast<std::size_t>(iCount));
  for (std::int32_t i = 0; i < iCount; ++i)
    distinct[i] = {iPoints[2 * i], iPoints[2 * i + 1]};
  std::sort(distinct.begin(), distinct.end());
  const std::size_t count = std::unique(distinct.begin(), distinct.end()) - distinct.begin();
  if (count < 5)
    return "an ellipse needs at least 5 distinct points, not " + std::to_string(count);
  return std::string();
}

Normalised Normalise(const double* iPoints, std::int32_t iCount)
{
  Normalised n;
  for (std::int32_t i = 0; i < iCount; ++i)
    for (int k = 0; k < 2; ++k)
      n.centre[k] += iPoints[2 * i + k] / iCount;
  double sum = 0.0;
  n.points.resize(2 * static_cast<std::size_t>(iCount));
  for (std::size_t i = 0; i < n.points.size(); ++i)
  {
    n.points[i] = iPoints[i] - n.centre[i % 2];
    sum += n.points[i] * n.points[i];
  }
  n.scale = std::sqrt(sum / iCount);
  for (double& v : n.points)
    v /= n.scale;
  return n;
}

// Collinear points have a scatter matrix of rank one: its smaller eigenvalue vanishes.
bool Collinear(const Normalised& iData)
{
  Eigen::Matrix2d scatter = Eigen::Matrix2d::Zero();
  for (std::size_t i = 0; i < iData.points.size(); i += 2)
  {
    const Eigen::Vector2d p(iData.points[i], iData.points[i + 1]);
    scatter.noalias() += p * p.transpose();
  }
  const Eigen::Vector2d lambda = Eigen::SelfAdjointEigenSolver<Eigen::Matrix2d>(scatter).eigenvalues();
  return lambda(0) <= 1e-14 * lambda(1);
}

std::vector<double> Distances(const Normalised& iData, const double* iEllipse)
{
  std::vector<double> d(iData.points.size() / 2);
  for (std::size_t i = 0; i < d.size(); ++i)
    d[i] = QAVTasOrthogonalDistanceCost::Distance(iEllipse, iData.points.data() + 2 * i, nullptr);
  return d;
}

// Twice the robust spread of the distances: 1.4826 times their median absolute value.
double RobustScale(const Normalised& iData, const double* iEllipse)
{
  std::vector<double> d = Distances(iData, iEllipse);
  for (double& v : d)
    v = std::fabs(v);
  std::nth_element(d.begin(), d.begin() + d.size() / 2, d.end());
  return std::max(2 * 1.4826 * d[d.size() / 2], 1e-9);
}

ceres::LossFunction* NewLoss(F::RobustLoss iLoss, double iScale)
{
  if (iLoss == F::RobustLoss::Huber)
    return new ceres::HuberLoss(iScale);
  if (iLoss == F::RobustLoss::Cauchy)
    return new ceres::CauchyLoss(iScale);
  return nullptr;
}

void BuildProblem(const Normalised& iData, const F::Options& iOptions, double iLossScale, double* ioEllipse,
                  ceres::Problem& oProblem)
{
  const std::int32_t count = static_cast<std::int32_t>(iData.points.size() / 2);
  ceres::LossFunction* loss = NewLoss(iOptions.Loss, iLossScale); // owned by the problem
  const std::int32_t run = loss ? 1 : kRunLength;
  for (std::int32_t first = 0; first < count; first += run)
    oProblem.AddResidualBlock(
      new QAVTasOrthogonalDistanceCost(iData.points.data() + 2 * first, std::min(run, count - first)), loss, ioEllipse);
  for (int k = 2; k < 4; ++k)
  {
    oProblem.SetParameterLowerBound(ioEllipse, k, 1e-9);
    oProblem.SetParameterUpperBound(ioEllipse, k, iOptions.MaxSemiAxisToRadius);
  }
}

ceres::Solver::Summary Solve(const F::Options& iOptions, ceres::Problem& ioProblem)
{
  ceres::Solver::Options options;
  options.linear_solver_type = ceres::DENSE_QR;
  options.max_num_iterations = iOptions.MaxIterations;
  options.num_threads = std::max(1, iOptions.Threads);
  options.function_tolerance = 1e-15;
  options.parameter_tolerance = 1e-14;
  options.gradient_tolerance = 1e-16;
  options.logging_type = ceres::SILENT;
  ceres::Solver::Summary summary;
  ceres::Solve(options, &ioProblem, &summary);
  return summary;
}

// Ceres logs through glog, which writes to standard error before (and unless) the application
// sets it up; a library must not. Its messages are held back while any fit runs, and our own
// results say what went wrong.
class QuietCeres
{
public:
  QuietCeres()
  {
    const std::lock_guard<std::mutex> lock(_Mutex);
    if (_Depth++ == 0)
    {
      _Saved = FLAGS_minloglevel;
      FLAGS_minloglevel = google::GLOG_FATAL;
    }
  }
  ~QuietCeres()
  {
    const std::lock_guard<std::mutex> lock(_Mutex);
    if (--_Depth == 0)
      FLAGS_minloglevel = _Saved;
  }
  QuietCeres(const QuietCeres&) = delete;
  QuietCeres& operator=(const QuietCeres&) = delete;

private:
  static std::mutex _Mutex;
  static int _Depth, _Saved;
};
std::mutex QuietCeres::_Mutex;
int QuietCeres::_Depth = 0, QuietCeres::_Saved = 0;

// The covariance of (xc, yc, a, b, θ) up to the factor σ², C = (JᵀJ)⁻¹ from the Jacobian J of the
// robustified residuals at the optimum, in c (5 x 5, row-major); with the angle held, of the first
// four only (the angle's row and column 0). Written from the singular values s of J,
// C = V diag(1/s²) Vᵀ, so the test of rank is the one of JᵀJ: false when its reciprocal condition
// (s_min/s_max)² is below 1e-14, as a rank-deficient Jacobian is.
bool CovarianceOf(ceres::Problem& ioProblem, bool iAngleHeld, double* oC)
{
  ceres::CRSMatrix crs;
  if (!ioProblem.Evaluate(ceres::Problem::EvaluateOptions(), nullptr, nullptr, nullptr, &crs))
    return false;
  const int k = iAngleHeld ? 4 : 5;
  Eigen::MatrixXd jacobian = Eigen::MatrixXd::Zero(crs.num_rows, k);
  for (int r = 0; r < crs.num_rows; ++r)
    for (int e = crs.rows[r]; e < crs.rows[r + 1]; ++e)
      if (crs.cols[e] < k)
        jacobian(r, crs.cols[e]) = crs.values[e];
  const Eigen::JacobiSVD<Eigen::MatrixXd> svd(jacobian, Eigen::ComputeThinV);
  const Eigen::VectorXd& sv = svd.singularValues();
  if (sv.size() < k || !(sv(k - 1) > 0.0) || sv(k - 1) * sv(k - 1) < 1e-14 * sv(0) * sv(0))
    return false;
  const Eigen::MatrixXd v = svd.matrixV();
  const Eigen::MatrixXd covariance = v * sv.cwiseAbs2().cwiseInverse().asDiagonal() * v.transpose();
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j)
      oC[5 * i + j] = i < k && j < k ? covariance(i, j) : 0.0;
  return true;
}

// Variances of (xc, yc, a, b, θ) up to the factor σ². The angle is free when the semi-axes are equal
// within the fit's precision: a − b no larger than its standard error, or the angle's column of
// the Jacobian lost to rounding (a rank-deficient covariance). The others' then come from the
// covariance with θ held, and the angle's variance is infinite.
bool Covariance(double iSigma2, const double* iEllipse, ceres::Problem& ioProblem, double* oVariances, bool& oAngleFree)
{
  double c[25];
  const double spread = iEllipse[2] - iEllipse[3];
  oAngleFree = !CovarianceOf(ioProblem, false, c) || spread * spread <= iSigma2 * (c[12] + c[18] - 2 * c[13]);
  if (oAngleFree && !CovarianceOf(ioProblem, true, c))
    return false;
  for (int k = 0; k < 5; ++k)
    oVariances[k] = c[6 * k];
  if (oAngleFree)
    oVariances[4] = std::numeric_limits<double>::infinity();
  return true;
}

void SetStandardErrors(const double* iVariances, double iSigma2, double iScale, F::Uncertainty& oErrors)
{
  double e[5];
  for (int k = 0; k < 5; ++k)
    e[k] = std::sqrt(std::max(iVariances[k], 0.0) * iSigma2) * (k < 4 ? iScale : 1.0);
  oErrors.Centre[0] = e[0];
  oErrors.Centre[1] = e[1];
  oErrors.SemiAxes[0] = e[2];
  oErrors.SemiAxes[1] = e[3];
  oErrors.Angle = e[4];
}

// The ellipse of normalised data, in the data's own units.
void SetGeometry(const Normalised& iData, const double* iEllipse, F::Result& oResult)
{
  for (int k = 0; k < 2; ++k)
  {
    oResult.Centre[k] = iData.centre[k] + iData.scale * iEllipse[k];
    oResult.SemiAxes[k] = iData.scale * iEllipse[2 + k];
  }
  oResult.Angle = iEllipse[4];
  const double a = oResult.SemiAxes[0], b = oResult.SemiAxes[1], e = std::sqrt(std::max(a * a - b * b, 0.0));
  for (int k = 0; k < 2; ++k)
  {
    const double sign = k == 0 ? 1.0 : -1.0;
    oResult.Foci[k][0] = oResult.Centre[0] + sign * e * std::cos(oResult.Angle);
    oResult.Foci[k][1] = oResult.Centre[1] + sign * e * std::sin(oResult.Angle);
  }
  double sum = 0.0;
  for (double d : Distances(iData, iEllipse))
    sum += d * d;
  oResult.Rms = iData.scale * std::sqrt(sum / (iData.points.size() / 2));
}

// Why the solved fit cannot be trusted, or empty.
std::string Doubt(const F::Options& iOptions, const ceres::Solver::Summary& iSummary, const double* iEllipse)
{
  if (iSummary.termination_type != ceres::CONVERGENCE)
    return "the fit did not converge in " + std::to_string(iSummary.iterations.size()) + " iterations";
  if (iEllipse[2] >= 0.999 * iOptions.MaxSemiAxisToRadius)
    return "the fit ran away to a huge ellipse: the arc is too short or too straight";
  return std::string();
}

// Orthogonal distances from the start in ioEllipse; fills the result but for its status.
void FitGeometric(const Normalised& iData, const F::Options& iOptions, double* ioEllipse, F::Result& oResult)
{
  const QuietCeres quiet;
  const bool autoScale = iOptions.Loss != F::RobustLoss::None && iOptions.LossScale <= 0;
  double lossScale = autoScale ? RobustScale(iData, ioEllipse) : iOptions.LossScale / iData.scale;
  auto problem = std::make_unique<ceres::Problem>();
  BuildProblem(iData, iOptions, lossScale, ioEllipse, *problem);
  ceres::Solver::Summary summary = Solve(iOptions, *problem);
  // The first scale came from the start, which outliers pull: take it again from each fit until
  // it settles.
  for (int pass = 1; autoScale && pass < kScalePasses; ++pass)
  {
    const double next = RobustScale(iData, ioEllipse);
    if (next > 0.9 * lossScale)
      break;
    oResult.Iterations += static_cast<std::int32_t>(summary.iterations.size());
    lossScale = next;
    problem = std::make_unique<ceres::Problem>();
    BuildProblem(iData, iOptions, lossScale, ioEllipse, *problem);
    summary = Solve(iOptions, *problem);
  }
  oResult.Iterations += static_cast<std::int32_t>(summary.iterations.size());
  QAVTasNormaliseEllipse(ioEllipse);
  SetGeometry(iData, ioEllipse, oResult);
  oResult.Message = Doubt(iOptions, summary, ioEllipse);

  const std::int32_t redundancy = static_cast<std::int32_t>(iData.points.size() / 2) - 5;
  double variances[5];
  if (!iOptions.Covariance || redundancy <= 0 || !oResult.Message.empty())
    return;
  const double sigma2 = 2 * summary.final_cost / redundancy;
  if (!Covariance(sigma2, ioEllipse, *problem, variances, oResult.AngleFree))
  {
    oResult.Message = "the parameters are not determined by the points (singular covariance)";
    return;
  }
  SetStandardErrors(variances, sigma2, iData.scale, oResult.StandardErrors);
  if (oResult.AngleFree) // a circle: both foci at the centre
    for (int k = 0; k < 2; ++k)
      std::copy(oResult.Centre, oResult.Centre + 2, oResult.Foci[k]);
  const F::Uncertainty& e = oResult.StandardErrors;
  const double worst = std::max({e.Centre[0], e.Centre[1], e.SemiAxes[0], e.SemiAxes[1]});
  if (worst > iOptions.MaxRelativeStandardError * iData.scale)
    oResult.Message = "the arc is too short to determine the ellipse (standard error " + std::to_string(worst) + ")";
}
} // namespace

QAVTasEllipseFitter::QAVTasEllipseFitter() = default;

QAVTasEllipseFitter::QAVTasEllipseFitter(const Options& iOptions) : _Options(iOptions) {}

F::Result QAVTasEllipseFitter::Fit(const double* iPoints, std::int32_t iPointCount) const
{
  Result result;
  result.Method = _Options.Method;
  result.Message = Refusal(iPoints, iPointCount);
  if (!result.Message.empty())
    return result;
  const Normalised data = Normalise(iPoints, iPointCount);
  double ellipse[5];
  if (Collinear(data))
    result.Message = "the points lie on a line";
  else if (!QAVTasDirectEllipseFit(data.points.data(), iPointCount, ellipse))
    result.Message = "no ellipse fits the points";
  if (!result.Message.empty())
    return result;
  if (_Options.Method == FitMethod::Algebraic)
    SetGeometry(data, ellipse, result);
  else
    FitGeometric(data, _Options, ellipse, result);
  result.State = result.Message.empty() ? Status::Fitted : Status::NotDetermined;
  return result;
}

double QAVTasEllipseFitter::FootPoint(const Result& iFit, const double* iPoint, double* oFoot)
{
  const double ellipse[5] = {iFit.Centre[0], iFit.Centre[1], iFit.SemiAxes[0], iFit.SemiAxes[1], iFit.Angle};
  // The foot lies d back along the outward normal, the distance's gradient in p: −(∂d/∂xc, ∂d/∂yc).
  double gradient[5];
  const double distance = QAVTasOrthogonalDistanceCost::Distance(ellipse, iPoint, gradient);
  oFoot[0] = iPoint[0] + distance * gradient[0];
  oFoot[1] = iPoint[1] + distance * gradient[1];
  return distance;
}

QAVTasCovarianceEllipse QAVTasEllipseFitter::ToCovarianceEllipse(const Result& iFit)
{
  // (p − c)ᵀ·A·(p − c) = 1, A = R·diag(1/a², 1/b²)·Rᵀ, expanded into the conic's coefficients.
  const double c = std::cos(iFit.Angle), s = std::sin(iFit.Angle);
  const double ia = 1 / (iFit.SemiAxes[0] * iFit.SemiAxes[0]), ib = 1 / (iFit.SemiAxes[1] * iFit.SemiAxes[1]);
  const double a11 = c * c * ia + s * s * ib, a22 = s * s * ia + c * c * ib, a12 = c * s * (ia - ib);
  const double x = iFit.Centre[0], y = iFit.Centre[1];
  const double ax = a11 * x + a12 * y, ay = a12 * x + a22 * y;
  // Order of the parameter vector: (_C0, _Cy, _Cyy, _Cx, _Cxy, _Cxx).
  const double parameters[6] = {x * ax + y * ay, -ay, a22, ax, -a12, a11};
  return QAVTasCovarianceEllipse(1.0, parameters);
}

#ifndef QAVTasEllipseFitter_H
#define QAVTasEllipseFitter_H

#include "QAVTasCovarianceEllipse.h"
#include "QAVTasEllipseFitExport.h"

#include <cstdint>
#include <limits>
#include <string>

// Fits an ellipse to points in the plane by orthogonal distances: the centre (xc, yc), the
// semi-axes a, b and the angle θ of the a-axis are all free, and the fit minimises
//     Σ ρ(d_i²),   d_i = signed distance from p_i to the ellipse (positive outside),
// with ρ(s) = s, or Huber's or Cauchy's loss for data with outliers.
//
// Start. The direct algebraic fit (Fitzgibbon, Pilu and Fisher, in the numerically stable form of
// Halíř and Flusser) minimises Σ (zᵢᵀ·α)², zᵢ = (x², xy, y², x, y, 1), under 4·α0·α2 − α1² = 1,
// a constraint that makes the conic an ellipse. Splitting z into its quadratic part z1 and linear
// part z2, S1 = Σ z1·z1ᵀ, S2 = Σ z1·z2ᵀ, S3 = Σ z2·z2ᵀ, the linear coefficients are
// α2 = T·α1 with T = −S3⁻¹·S2ᵀ, and α1 is the eigenvector of C1⁻¹·(S1 + S2·T) with
// 4·α0·α2 − α1² > 0 (C1 the constraint's 3x3 matrix). It always yields an ellipse, biased on
// noisy arcs. The points are moved to their barycentre and scaled by their RMS radius first.
//
// Distance. In the ellipse's frame, q = R(−θ)·(p − c), the foot point x on u²/a² + v²/b² = 1
// satisfies q − x = t·(x_u/a², x_v/b²), so x_u = a²·q_u/(t + a²), x_v = b²·q_v/(t + b²), and t is
// the root of F(t) = (a·q_u/(t + a²))² + (b·q_v/(t + b²))² − 1. In the first quadrant F is convex and
// decreasing where the foot lies, so Newton's method started left of the root climbs to it
// without overshoot; the axes are handled apart (Eberly's "distance from a point to an ellipse").
//
// Jacobian. d is the distance function, whose gradient with respect to q is the unit normal n at
// the foot. Moving a shape parameter s moves the curve along n by −g_s/|∇g| (g = u²/a² + v²/b² − 1),
// so ∂d/∂a = −(x_u²/a³)/N and ∂d/∂b = −(x_v²/b³)/N with N = |(x_u/a², x_v/b²)|, and through q:
// ∂d/∂xc = −n_u·cos θ + n_v·sin θ, ∂d/∂yc = −n_u·sin θ − n_v·cos θ, ∂d/∂θ = n_u·q_v − n_v·q_u.
// Ceres minimises with these exact first derivatives (Ahn's orthogonal distance fitting).
//
// Uncertainty. The covariance is (JᵀJ)⁻¹ at the optimum, from the singular values of the robustified
// Jacobian J that Ceres evaluates; with σ² = Σ ρ(d_i²)/(n − 5) the
// standard errors are σ·√diag. When a − b is within its standard error, or the angle's column of J
// is lost to rounding, the angle is free (Result::AngleFree) and the covariance is taken with the
// angle held. The fit is "not determined" when it did not converge, when a
// semi-axis ran away to its bound (a near-straight arc), or when a standard error of the centre or
// the semi-axes exceeds MaxRelativeStandardError times the data's RMS radius: the values are then
// reported but not to be trusted.
//
// Fit() refuses (status Refused, with a Message) fewer than 5 distinct points, collinear points
// and non-finite coordinates. It is deterministic: one thread unless Options::Threads says more.
class QAV_TASFIT_API QAVTasEllipseFitter
{
public:
  static constexpr double kNotComputed = std::numeric_limits<double>::quiet_NaN();

  enum class FitMethod
  {
    Geometric, // orthogonal distances, started from the direct fit
    Algebraic  // the direct fit alone
  };
  enum class RobustLoss
  {
    None,
    Huber,
    Cauchy
  };
  enum class Status
  {
    Fitted,
    NotDetermined, // values given, but the data do not pin them down
    Refused        // no fit: see Message
  };

  struct Options
  {
    FitMethod Method = FitMethod::Geometric;
    RobustLoss Loss = RobustLoss::None;
    // Distance at which the robust loss starts to bend; 0 takes twice the robust spread (MAD) of
    // the distances, worked out again after each robust pass until it settles.
    double LossScale = 0.0;
    std::int32_t MaxIterations = 200;
    std::int32_t Threads = 1; // more is faster on large sets, but sums then run in varying order
    bool Covariance = true;
    double MaxRelativeStandardError = 0.5;
    double MaxSemiAxisToRadius = 1000.0; // bound on a and b, in units of the RMS radius
  };

  // NaN when not computed.
  struct Uncertainty
  {
    double Centre[2] = {kNotComputed, kNotComputed};
    double SemiAxes[2] = {kNotComputed, kNotComputed};
    double Angle = kNotComputed; // infinite when the angle is free (see Result::AngleFree)
  };

  struct Result
  {
    Status State = Status::Refused;
    std::string Message;
    FitMethod Method = FitMethod::Geometric;
    double Centre[2] = {0, 0};
    double SemiAxes[2] = {0, 0}; // a ≥ b
    double Angle = 0.0;          // of the a-axis from x, radians in (−π/2, π/2]
    double Foci[2][2] = {{0, 0}, {0, 0}};
    double Rms = 0.0; // root mean square orthogonal distance
    Uncertainty StandardErrors;
    std::int32_t Iterations = 0;
    // The semi-axes are equal within the fit's precision (a circle, or as good as one): the angle
    // is arbitrary and the foci sit at the centre; the centre and semi-axes stand.
    bool AngleFree = false;
  };

  QAVTasEllipseFitter();
  explicit QAVTasEllipseFitter(const Options& iOptions);

  // Points are iPointCount pairs (x, y), interleaved.
  Result Fit(const double* iPoints, std::int32_t iPointCount) const;

  // The point of the fitted ellipse nearest to iPoint, and the signed distance (positive outside).
  static double FootPoint(const Result& iFit, const double* iPoint, double* oFoot);

  // The same ellipse as Q(x, y) = 1, the level of the returned object.
  static QAVTasCovarianceEllipse ToCovarianceEllipse(const Result& iFit);

private:
  Options _Options;
};

#endif

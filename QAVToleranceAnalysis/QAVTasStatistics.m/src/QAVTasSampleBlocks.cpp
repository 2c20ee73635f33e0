#include "QAVTasSampleBlocks.h"

#include <algorithm>
#include <cmath>
#include <system_error>
#include <thread>
#include <vector>

namespace
{
// Horner's scheme, coefficients from the constant term up.
double Polynomial(const double (&iC)[8], double iX)
{
  double v = iC[7];
  for (int k = 6; k >= 0; --k)
    v = v * iX + iC[k];
  return v;
}

// Wichura's AS 241: a rational function of q^2 in the centre, of sqrt(-log(min(p, 1-p))) in the tails.
const double ka[8] = {3.3871328727963666080e0,  1.3314166789178437745e+2, 1.9715909503065514427e+3,
                      1.3731693765509461125e+4, 4.5921953931549871457e+4, 6.7265770927008700853e+4,
                      3.3430575583588128105e+4, 2.5090809287301226727e+3};
const double kb[8] = {1.0,
                      4.2313330701600911252e+1,
                      6.8718700749205790830e+2,
                      5.3941960214247511077e+3,
                      2.1213794301586595867e+4,
                      3.9307895800092710610e+4,
                      2.8729085735721942674e+4,
                      5.2264952788528545610e+3};
const double kc[8] = {1.42343711074968357734e0,  4.63033784615654529590e0, 5.76949722146069140550e0,
                      3.64784832476320460504e0,  1.27045825245236838258e0, 2.41780725177450611770e-1,
                      2.27238449892691845833e-2, 7.74545014278341407640e-4};
const double kd[8] = {1.0,
                      2.05319162663775882187e0,
                      1.67638483018380384940e0,
                      6.89767334985100004550e-1,
                      1.48103976427480074590e-1,
                      1.51986665636164571966e-2,
                      5.47593808499534494600e-4,
                      1.05075007164441684324e-9};
const double ke[8] = {6.65790464350110377720e0,  5.46378491116411436990e0,  1.78482653991729133580e0,
                      2.96560571828504891230e-1, 2.65321895265761230930e-2, 1.24266094738807843860e-3,
                      2.71155556874348757815e-5, 2.01033439929228813265e-7};
const double kf[8] = {1.0,
                      5.99832206555887937690e-1,
                      1.36929880922735805310e-1,
                      1.48753612908506148525e-2,
                      7.86869131145613259100e-4,
                      1.84631831751005468180e-5,
                      1.42151175831644588870e-7,
                      2.04426310338993978564e-15};

double CentralQuantile(double iQ)
{
  const double r = 0.180625 - iQ * iQ;
  return iQ * Polynomial(ka, r) / Polynomial(kb, r);
}

double TailQuantile(double iP)
{
  const double q = iP - 0.5, r = std::sqrt(-std::log(q < 0.0 ? iP : 1.0 - iP));
  const double x =
    r <= 5.0 ? Polynomial(kc, r - 1.6) / Polynomial(kd, r - 1.6) : Polynomial(ke, r - 5.0) / Polynomial(kf, r - 5.0);
  return q < 0.0 ? -x : x;
}

// Normal deviates mean + scale Phi^-1(u): the centre for all (a loop without branches, which the
// compiler vectorises), then the tails, about 15 % of the draws.
void NormalDeviates(const double* ipU, std::int64_t iCount, double iMean, double iScale, double* opDev)
{
  for (std::int64_t k = 0; k < iCount; ++k)
    opDev[k] = CentralQuantile(ipU[k] - 0.5);
  for (std::int64_t k = 0; k < iCount; ++k)
    if (std::fabs(ipU[k] - 0.5) > 0.425)
      opDev[k] = TailQuantile(ipU[k]);
  for (std::int64_t k = 0; k < iCount; ++k)
    opDev[k] = iMean + iScale * opDev[k];
}

} // namespace

double QAVTasSampleBlocks::NormalQuantile(double iP)
{
  const double q = iP - 0.5;
  return std::fabs(q) <= 0.425 ? CentralQuantile(q) : TailQuantile(iP);
}

void QAVTasSampleBlocks::Deviates(QAVTasAllocationProblem::Distribution iSpread, const double* ipU, std::int64_t iCount,
                                  double iMean, double iScale, double* opDev)
{
  switch (iSpread)
  {
    case QAVTasAllocationProblem::Distribution::Normal:
      NormalDeviates(ipU, iCount, iMean, iScale, opDev);
      return;
    case QAVTasAllocationProblem::Distribution::Uniform:
      for (std::int64_t k = 0; k < iCount; ++k)
        opDev[k] = iMean + iScale * (2.0 * ipU[k] - 1.0);
      return;
    case QAVTasAllocationProblem::Distribution::Triangular:
      // The inverse of the triangular distribution function on [-1, 1].
      for (std::int64_t k = 0; k < iCount; ++k)
      {
        const double u = ipU[k];
        opDev[k] = iMean + iScale * (u < 0.5 ? std::sqrt(2.0 * u) - 1.0 : 1.0 - std::sqrt(2.0 * (1.0 - u)));
      }
      return;
  }
}

void QAVTasSampleBlocks::Uniforms(QAVTasRandomStream& ioStream, std::int64_t iCount, double* opU)
{
  for (std::int64_t k = 0; k < iCount; ++k)
    opU[k] = ioStream.Uniform();
}

std::size_t QAVTasSampleBlocks::ThreadsFor(std::int64_t iJobs, std::int32_t iThreads)
{
  const std::int64_t asked = iThreads > 0 ? iThreads : static_cast<std::int64_t>(std::thread::hardware_concurrency());
  return static_cast<std::size_t>(std::max<std::int64_t>(1, std::min(iJobs, asked)));
}

void QAVTasSampleBlocks::OnThreads(std::size_t iThreads, const std::function<void(std::size_t)>& iWork)
{
  std::vector<std::thread> pool;
  try
  {
    for (std::size_t t = 1; t < iThreads; ++t)
      pool.emplace_back(iWork, t);
  }
  catch (const std::system_error&)
  {
    // Fewer threads than asked for: the figures do not depend on how many.
  }
  iWork(0);
  for (auto& t : pool)
    t.join();
}

QAVTasSampleBlocks::Interval QAVTasSampleBlocks::Wilson(std::int64_t iMet, std::int64_t iN)
{
  const double n = static_cast<double>(iN), p = static_cast<double>(iMet) / n, z2 = kZ975 * kZ975;
  const double centre = (p + z2 / (2.0 * n)) / (1.0 + z2 / n);
  const double half = kZ975 * std::sqrt(p * (1.0 - p) / n + z2 / (4.0 * n * n)) / (1.0 + z2 / n);
  return {p, std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

#include "QAVTasInterval.h"

#include <algorithm>
#include <cmath>
#include <limits>

using I = QAVTasInterval;

namespace
{
const double kInf = std::numeric_limits<double>::infinity();
const double kPi = M_PI; // below pi; Up(kPi) lies above it
// Steps of widening: the basic operations and sqrt are correctly rounded (half an ulp, so one
// step); the library's elementary functions are within an ulp or two of the truth.
const int kBasic = 1, kLibrary = 3;

double Down(double iX, int iSteps)
{
  for (int k = 0; k < iSteps; ++k)
    iX = std::nextafter(iX, -kInf);
  return iX;
}

double Up(double iX, int iSteps)
{
  for (int k = 0; k < iSteps; ++k)
    iX = std::nextafter(iX, kInf);
  return iX;
}

// [lo, hi] rounded outward by iSteps; the whole line when a bound is NaN (inf - inf and the like).
I Make(double iLo, double iHi, int iSteps, bool iPartial)
{
  if (std::isnan(iLo) || std::isnan(iHi))
    return I::Whole(iPartial);
  return {Down(iLo, iSteps), Up(iHi, iSteps), iPartial};
}

I Clamp(I iR, double iLo, double iHi)
{
  iR.Lo = std::max(iR.Lo, iLo);
  iR.Hi = std::min(iR.Hi, iHi);
  return iR;
}

// x * y where 0 * inf counts as 0: an interval bound at infinity stands for large finite points.
double Times(double iX, double iY)
{
  return iX == 0.0 || iY == 0.0 ? 0.0 : iX * iY;
}

// The hull of f at the ends of a monotone piece.
template <class F>
I Monotone(const I& iA, F iF, bool iIncreasing, int iSteps, bool iPartial)
{
  const double a = iF(iA.Lo), b = iF(iA.Hi);
  return iIncreasing ? Make(a, b, iSteps, iPartial) : Make(b, a, iSteps, iPartial);
}

// iA cut to [iLo, iHi], Partial when something was cut; empty when nothing is left.
I Domain(const I& iA, double iLo, double iHi)
{
  I r(std::max(iA.Lo, iLo), std::min(iA.Hi, iHi), iA.Partial || iA.Lo < iLo || iA.Hi > iHi);
  return r.Empty() ? I::Nothing() : r;
}

// Whether some phase + 2 pi k may lie in [lo, hi]: a point just outside counts, which only widens.
bool MeetsPhase(double iLo, double iHi, double iPhase)
{
  const double margin = 1e-12 * std::max({1.0, std::fabs(iLo), std::fabs(iHi)});
  const double k = std::floor((iLo - iPhase) / (2.0 * kPi));
  for (int j = -1; j <= 2; ++j)
  {
    const double p = iPhase + 2.0 * kPi * (k + j);
    if (p >= iLo - margin && p <= iHi + margin)
      return true;
  }
  return false;
}

// A periodic function over [lo, hi] with its maximum 1 at phase pMax and minimum -1 at pMin.
template <class F>
I Periodic(const I& iA, F iF, double iMax, double iMin)
{
  if (iA.Empty())
    return I::Nothing();
  if (!(iA.Hi - iA.Lo < 6.0) || std::max(std::fabs(iA.Lo), std::fabs(iA.Hi)) > 1e8)
    return {-1.0, 1.0, iA.Partial};
  const double a = iF(iA.Lo), b = iF(iA.Hi);
  I r = Make(std::min(a, b), std::max(a, b), kLibrary, iA.Partial);
  if (MeetsPhase(iA.Lo, iA.Hi, iMax))
    r.Hi = 1.0;
  if (MeetsPhase(iA.Lo, iA.Hi, iMin))
    r.Lo = -1.0;
  return Clamp(r, -1.0, 1.0);
}

bool Either(const I& iA, const I& iB)
{
  return iA.Partial || iB.Partial;
}
} // namespace

I QAVTasInterval::Whole(bool iPartial)
{
  return {-kInf, kInf, iPartial};
}

I QAVTasInterval::Nothing()
{
  return {kInf, -kInf, true};
}

I operator+(const I& iA, const I& iB)
{
  if (iA.Empty() || iB.Empty())
    return I::Nothing();
  return Make(iA.Lo + iB.Lo, iA.Hi + iB.Hi, kBasic, Either(iA, iB));
}

I operator-(const I& iA, const I& iB)
{
  if (iA.Empty() || iB.Empty())
    return I::Nothing();
  return Make(iA.Lo - iB.Hi, iA.Hi - iB.Lo, kBasic, Either(iA, iB));
}

I operator-(const I& iA)
{
  return {-iA.Hi, -iA.Lo, iA.Partial};
}

I operator*(const I& iA, const I& iB)
{
  if (iA.Empty() || iB.Empty())
    return I::Nothing();
  const double p[] = {Times(iA.Lo, iB.Lo), Times(iA.Lo, iB.Hi), Times(iA.Hi, iB.Lo), Times(iA.Hi, iB.Hi)};
  return Make(*std::min_element(p, p + 4), *std::max_element(p, p + 4), kBasic, Either(iA, iB));
}

I operator/(const I& iA, const I& iB)
{
  if (iA.Empty() || iB.Empty() || (iB.Lo == 0.0 && iB.Hi == 0.0))
    return I::Nothing();
  if (iB.Lo <= 0.0 && iB.Hi >= 0.0)
    return I::Whole(true);
  const double p[] = {iA.Lo / iB.Lo, iA.Lo / iB.Hi, iA.Hi / iB.Lo, iA.Hi / iB.Hi};
  return Make(*std::min_element(p, p + 4), *std::max_element(p, p + 4), kBasic, Either(iA, iB));
}

I& operator+=(I& ioA, const I& iB)
{
  return ioA = ioA + iB;
}

I Hull(const I& iA, const I& iB)
{
  if (iA.Empty())
    return iB;
  if (iB.Empty())
    return iA;
  return {std::min(iA.Lo, iB.Lo), std::max(iA.Hi, iB.Hi), Either(iA, iB)};
}

I Meet(const I& iA, const I& iB)
{
  I r(std::max(iA.Lo, iB.Lo), std::min(iA.Hi, iB.Hi), iA.Partial && iB.Partial);
  return r.Empty() ? I::Nothing() : r;
}

I sqrt(const I& iA)
{
  const I a = Domain(iA, 0.0, kInf);
  if (a.Empty())
    return a;
  return Clamp(Monotone(
                 a, [](double x) { return std::sqrt(x); }, true, kBasic, a.Partial),
               0.0, kInf);
}

I exp(const I& iA)
{
  if (iA.Empty())
    return iA;
  return Clamp(Monotone(
                 iA, [](double x) { return std::exp(x); }, true, kLibrary, iA.Partial),
               0.0, kInf);
}

I log(const I& iA)
{
  if (iA.Empty() || iA.Hi <= 0.0)
    return I::Nothing();
  const bool cut = iA.Lo <= 0.0;
  const I r = Monotone(
    I(cut ? 0.0 : iA.Lo, iA.Hi), [](double x) { return std::log(x); }, true, kLibrary, iA.Partial || cut);
  return cut ? I(-kInf, r.Hi, true) : r;
}

I sin(const I& iA)
{
  return Periodic(
    iA, [](double x) { return std::sin(x); }, 0.5 * kPi, -0.5 * kPi);
}

I cos(const I& iA)
{
  return Periodic(
    iA, [](double x) { return std::cos(x); }, 0.0, kPi);
}

I tan(const I& iA)
{
  if (iA.Empty())
    return iA;
  if (!(iA.Hi - iA.Lo < 3.0) || MeetsPhase(iA.Lo, iA.Hi, 0.5 * kPi) || MeetsPhase(iA.Lo, iA.Hi, -0.5 * kPi))
    return I::Whole(true);
  return Monotone(
    iA, [](double x) { return std::tan(x); }, true, kLibrary, iA.Partial);
}

I asin(const I& iA)
{
  const I a = Domain(iA, -1.0, 1.0);
  if (a.Empty())
    return a;
  const double h = Up(0.5 * kPi, 1);
  return Clamp(Monotone(
                 a, [](double x) { return std::asin(x); }, true, kLibrary, a.Partial),
               -h, h);
}

I acos(const I& iA)
{
  const I a = Domain(iA, -1.0, 1.0);
  if (a.Empty())
    return a;
  return Clamp(Monotone(
                 a, [](double x) { return std::acos(x); }, false, kLibrary, a.Partial),
               0.0, Up(kPi, 1));
}

I atan(const I& iA)
{
  if (iA.Empty())
    return iA;
  const double h = Up(0.5 * kPi, 1);
  return Clamp(Monotone(
                 iA, [](double x) { return std::atan(x); }, true, kLibrary, iA.Partial),
               -h, h);
}

// The angle of (x, y): over a box that keeps off the cut (x <= 0, y = 0) it is continuous and takes
// its extremes at the corners.
I atan2(const I& iY, const I& iX)
{
  if (iY.Empty() || iX.Empty())
    return I::Nothing();
  const double pi = Up(kPi, 1);
  if (iX.Lo > 0.0 || iY.Lo > 0.0 || iY.Hi < 0.0)
  {
    const double p[] = {std::atan2(iY.Lo, iX.Lo), std::atan2(iY.Lo, iX.Hi), std::atan2(iY.Hi, iX.Lo),
                        std::atan2(iY.Hi, iX.Hi)};
    return Clamp(Make(*std::min_element(p, p + 4), *std::max_element(p, p + 4), kLibrary, Either(iY, iX)), -pi, pi);
  }
  const bool origin = iX.Contains(0.0) && iY.Contains(0.0);
  return {-pi, pi, origin || Either(iY, iX)};
}

I abs(const I& iA)
{
  if (iA.Empty() || iA.Lo >= 0.0)
    return iA;
  if (iA.Hi <= 0.0)
    return -iA;
  return {0.0, std::max(-iA.Lo, iA.Hi), iA.Partial};
}

I min(const I& iA, const I& iB)
{
  if (iA.Empty() || iB.Empty())
    return I::Nothing();
  return {std::min(iA.Lo, iB.Lo), std::min(iA.Hi, iB.Hi), Either(iA, iB)};
}

I max(const I& iA, const I& iB)
{
  if (iA.Empty() || iB.Empty())
    return I::Nothing();
  return {std::max(iA.Lo, iB.Lo), std::max(iA.Hi, iB.Hi), Either(iA, iB)};
}

I hypot(const I& iA, const I& iB)
{
  const I a = abs(iA), b = abs(iB);
  if (a.Empty() || b.Empty())
    return I::Nothing();
  return Clamp(Make(std::hypot(a.Lo, b.Lo), std::hypot(a.Hi, b.Hi), kLibrary, Either(a, b)), 0.0, kInf);
}

I pow(const I& iA, int iN)
{
  if (iA.Empty())
    return iA;
  if (iN == 0)
    return {1.0, 1.0, iA.Partial};
  if (iN < 0)
    return I(1.0) / pow(iA, -iN);
  const auto f = [iN](double x) { return std::pow(x, iN); };
  if (iN % 2 == 1 || iA.Lo >= 0.0)
    return Monotone(iA, f, true, kLibrary, iA.Partial);
  if (iA.Hi <= 0.0)
    return Monotone(iA, f, false, kLibrary, iA.Partial);
  return {0.0, Up(std::max(f(iA.Lo), f(iA.Hi)), kLibrary), iA.Partial};
}

I pow(const I& iA, double iP)
{
  if (iP == std::floor(iP) && std::fabs(iP) <= 1024.0)
    return pow(iA, static_cast<int>(iP));
  const I a = Domain(iA, iP > 0.0 ? 0.0 : std::numeric_limits<double>::denorm_min(), kInf);
  if (a.Empty())
    return a;
  const auto f = [iP](double x) { return std::pow(x, iP); };
  return Clamp(Monotone(a, f, iP > 0.0, kLibrary, a.Partial), 0.0, kInf);
}

I pow(const I& iA, const I& iB)
{
  if (iB.Lo == iB.Hi)
    return pow(iA, iB.Lo);
  return exp(iB * log(iA));
}

I Sign(const I& iA)
{
  if (iA.Empty())
    return iA;
  return {iA.Lo > 0.0                      ? 1.0
            : iA.Lo == 0.0 && iA.Hi == 0.0 ? 0.0
                                           : -1.0,
          iA.Hi < 0.0     ? -1.0
            : iA.Hi > 0.0 ? 1.0
                          : 0.0,
          iA.Partial};
}

I Below(const I& iA, const I& iB)
{
  if (iA.Empty() || iB.Empty())
    return I::Nothing();
  return {iA.Lo >= iB.Hi    ? 0.0
            : iA.Hi < iB.Lo ? 1.0
                            : 0.0,
          iA.Hi < iB.Lo     ? 1.0
            : iA.Lo > iB.Hi ? 0.0
                            : 1.0,
          Either(iA, iB)};
}

#ifndef QAVTasInterval_H
#define QAVTasInterval_H

#include "QAVTasOptimizerExport.h"

// A closed interval [Lo, Hi] of reals with outward rounding: every operation widens its rounded
// result by one step (nextafter) for the correctly rounded + - * / and sqrt, and by a few steps for
// the library's elementary functions, so the enclosure holds whatever the rounding. An operation
// whose argument leaves its domain on part of the interval encloses f over the rest and sets
// Partial; on all of it the result is empty (Lo > Hi) and Partial.
struct QAV_TASOPT_API QAVTasInterval
{
  double Lo = 0.0, Hi = 0.0;
  bool Partial = false;

  QAVTasInterval() = default;
  explicit QAVTasInterval(double iX) : Lo(iX), Hi(iX) {}
  QAVTasInterval(double iLo, double iHi, bool iPartial = false) : Lo(iLo), Hi(iHi), Partial(iPartial) {}

  bool Empty() const { return !(Lo <= Hi); }
  double Width() const { return Hi - Lo; }
  double Mid() const { return 0.5 * Lo + 0.5 * Hi; }
  bool Contains(double iX) const { return Lo <= iX && iX <= Hi; }
  static QAVTasInterval Whole(bool iPartial = false);
  static QAVTasInterval Nothing();
};

QAV_TASOPT_API QAVTasInterval operator+(const QAVTasInterval& iA, const QAVTasInterval& iB);
QAV_TASOPT_API QAVTasInterval operator-(const QAVTasInterval& iA, const QAVTasInterval& iB);
QAV_TASOPT_API QAVTasInterval operator-(const QAVTasInterval& iA);
QAV_TASOPT_API QAVTasInterval operator*(const QAVTasInterval& iA, const QAVTasInterval& iB);
QAV_TASOPT_API QAVTasInterval operator/(const QAVTasInterval& iA, const QAVTasInterval& iB);
QAV_TASOPT_API QAVTasInterval& operator+=(QAVTasInterval& ioA, const QAVTasInterval& iB);
// The hull of both, and the meet (empty when they are disjoint).
QAV_TASOPT_API QAVTasInterval Hull(const QAVTasInterval& iA, const QAVTasInterval& iB);
QAV_TASOPT_API QAVTasInterval Meet(const QAVTasInterval& iA, const QAVTasInterval& iB);

QAV_TASOPT_API QAVTasInterval sqrt(const QAVTasInterval& iA);
QAV_TASOPT_API QAVTasInterval exp(const QAVTasInterval& iA);
QAV_TASOPT_API QAVTasInterval log(const QAVTasInterval& iA);
QAV_TASOPT_API QAVTasInterval sin(const QAVTasInterval& iA);
QAV_TASOPT_API QAVTasInterval cos(const QAVTasInterval& iA);
QAV_TASOPT_API QAVTasInterval tan(const QAVTasInterval& iA);
QAV_TASOPT_API QAVTasInterval asin(const QAVTasInterval& iA);
QAV_TASOPT_API QAVTasInterval acos(const QAVTasInterval& iA);
QAV_TASOPT_API QAVTasInterval atan(const QAVTasInterval& iA);
QAV_TASOPT_API QAVTasInterval atan2(const QAVTasInterval& iY, const QAVTasInterval& iX);
QAV_TASOPT_API QAVTasInterval abs(const QAVTasInterval& iA);
QAV_TASOPT_API QAVTasInterval min(const QAVTasInterval& iA, const QAVTasInterval& iB);
QAV_TASOPT_API QAVTasInterval max(const QAVTasInterval& iA, const QAVTasInterval& iB);
QAV_TASOPT_API QAVTasInterval hypot(const QAVTasInterval& iA, const QAVTasInterval& iB);
QAV_TASOPT_API QAVTasInterval pow(const QAVTasInterval& iA, int iN);
QAV_TASOPT_API QAVTasInterval pow(const QAVTasInterval& iA, double iP);
QAV_TASOPT_API QAVTasInterval pow(const QAVTasInterval& iA, const QAVTasInterval& iB);
// The sign of a (-1, 0 or 1 over its points), and 1 where a < b (0 elsewhere, both where they meet).
QAV_TASOPT_API QAVTasInterval Sign(const QAVTasInterval& iA);
QAV_TASOPT_API QAVTasInterval Below(const QAVTasInterval& iA, const QAVTasInterval& iB);

#endif

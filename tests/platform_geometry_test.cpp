#include "QAVFunctionEpsilon.h"
#include "QAVMath2x2Matrix.h"
#include "QAVMathPolynomXY.h"
#include "QAVMathTransformation2D.h"

#include <gtest/gtest.h>

namespace
{
void ExpectCoef(const QAVMath2x2Matrix& m, double a, double b, double c, double d)
{
  double o[4];
  m.GetCoef(o[0], o[1], o[2], o[3]);
  EXPECT_DOUBLE_EQ(o[0], a);
  EXPECT_DOUBLE_EQ(o[1], b);
  EXPECT_DOUBLE_EQ(o[2], c);
  EXPECT_DOUBLE_EQ(o[3], d);
}
} // namespace

TEST(Matrix2x2, ConstructorsKeepRowOrder)
{
  ExpectCoef(QAVMath2x2Matrix(), 1, 0, 0, 1);
  ExpectCoef(QAVMath2x2Matrix(1, 2, 3, 4), 1, 2, 3, 4);
  const QAVMathVector2D v1(1, 2), v2(3, 4);
  ExpectCoef(QAVMath2x2Matrix(v1, v2, 0), 1, 2, 3, 4);
  ExpectCoef(QAVMath2x2Matrix(v1, v2, 1), 1, 3, 2, 4);
}

TEST(Matrix2x2, TransposeDeterminantAndProducts)
{
  const QAVMath2x2Matrix a(1, 2, 3, 4), b(0, 1, -1, 5);
  ExpectCoef(a.Transpose(), 1, 3, 2, 4);
  EXPECT_DOUBLE_EQ(a.Determinant(), -2.0);
  ExpectCoef(a * b, -2, 11, -4, 23);
  ExpectCoef(b * a, 3, 4, 14, 18);
  const QAVMathVector2D v = a * QAVMathVector2D(1, -1);
  EXPECT_DOUBLE_EQ(v.GetX(), -1);
  EXPECT_DOUBLE_EQ(v.GetY(), -1);
}

TEST(Transformation2D, AppliesMatrixThenShiftAndInverts)
{
  QAVMathTransformation2D t;
  const QAVMathPoint2D p(2, -3);
  EXPECT_DOUBLE_EQ((t * p).GetX(), 2);
  EXPECT_DOUBLE_EQ((t * p).GetY(), -3);

  t.SetMatrix(QAVMath2x2Matrix(0, -2, 1, 0));
  t.SetVector(QAVMathVector2D(5, 7));
  const QAVMathPoint2D q = t * p;
  EXPECT_DOUBLE_EQ(q.GetX(), 11);
  EXPECT_DOUBLE_EQ(q.GetY(), 9);
  QAVMathTransformation2D inverse;
  ASSERT_TRUE(t.Inverse(inverse));
  const QAVMathPoint2D back = inverse * q;
  EXPECT_DOUBLE_EQ(back.GetX(), 2);
  EXPECT_DOUBLE_EQ(back.GetY(), -3);

  QAVMathTransformation2D singular;
  singular.SetMatrix(QAVMath2x2Matrix(1, 2, 2, 4));
  EXPECT_FALSE(singular.Inverse(inverse));
  EXPECT_DOUBLE_EQ((inverse * q).GetX(), 2); // untouched
}

TEST(PolynomXY, EvaluatesEveryCoefficientAtItsPower)
{
  QAVMathPolynomXY empty;
  EXPECT_EQ(empty.Eval(3, 4), 0.0);
  // 1 + 2y + 3y² + 4x + 5xy + 6x²  (and a cubic in y to check unequal degrees)
  const double r0[] = {1, 2, 3, 7}, r1[] = {4, 5, 0, 0}, r2[] = {6, 0, 0, 0};
  const double* rows[] = {r0, r1, r2};
  QAVMathPolynomXY p;
  p.SetCoefficients(2, 3, rows);
  const double x = 1.5, y = -2.0;
  EXPECT_DOUBLE_EQ(p.Eval(x, y), 1 + 2 * y + 3 * y * y + 7 * y * y * y + 4 * x + 5 * x * y + 6 * x * x);
  p.SetCoefficients(-1, 2, rows);
  EXPECT_EQ(p.Eval(x, y), 0.0);
}

TEST(FunctionEpsilon, IsSmallAndPositive)
{
  EXPECT_GT(QAVFunctionEpsilon(), 0.0);
  EXPECT_LT(QAVFunctionEpsilon(), 1.0e-6);
}

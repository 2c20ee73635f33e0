#ifndef QAVToolTestFunction_H
#define QAVToolTestFunction_H

#include <cmath>
#include <cstdint>
#include <string>

// The built-in test functions of 'qavtas de'. Each has its minimum 0 at x[i] = 1 + (i mod 3),
// away from the origin, so a run that drifts to zero genes is visibly wrong.
class QAVToolTestFunction
{
public:
  enum Kind
  {
    Sphere,
    Rosenbrock,
    Rastrigin
  };

  // False for an unknown name.
  static bool FromName(const std::string& iName, Kind& oKind);
  static const char* Names() { return "sphere, rosenbrock, rastrigin"; }
  static double Optimum(std::int32_t iGene) { return 1.0 + iGene % 3; }

  explicit QAVToolTestFunction(Kind iKind) : _Kind(iKind) {}

  template <class Gene>
  double operator()(std::int32_t iCount, const Gene* ipX) const
  {
    double sum = 0.0;
    for (std::int32_t i = 0; i < iCount; ++i)
    {
      const double z = ipX[i] - Optimum(i);
      if (_Kind == Sphere)
        sum += z * z;
      else if (_Kind == Rastrigin)
        sum += z * z - 10.0 * std::cos(2.0 * kPi * z) + 10.0;
      else if (i + 1 < iCount)
      {
        // Rosenbrock's valley, moved from (1, ..., 1) to the shifted optimum.
        const double a = z + 1.0;
        const double b = ipX[i + 1] - Optimum(i + 1) + 1.0;
        sum += 100.0 * (b - a * a) * (b - a * a) + z * z;
      }
    }
    return sum;
  }

private:
  static constexpr double kPi = 3.14159265358979323846;
  Kind _Kind;
};

#endif

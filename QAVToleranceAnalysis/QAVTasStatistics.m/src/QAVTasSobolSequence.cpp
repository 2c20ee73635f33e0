#include "QAVTasSobolSequence.h"

#include "QAVTasRandomStream.h"

namespace
{
// Joe and Kuo's dimensions 2 to 31: degree s, coefficients a, initial numbers m_1..m_s.
struct Primitive
{
  std::uint32_t S, A, M[7];
};
const Primitive kJoeKuo[] = {
  {1, 0, {1}},
  {2, 1, {1, 3}},
  {3, 1, {1, 3, 1}},
  {3, 2, {1, 1, 1}},
  {4, 1, {1, 1, 3, 3}},
  {4, 4, {1, 3, 5, 13}},
  {5, 2, {1, 1, 5, 5, 17}},
  {5, 4, {1, 1, 5, 5, 5}},
  {5, 7, {1, 1, 7, 11, 19}},
  {5, 11, {1, 1, 5, 1, 1}},
  {5, 13, {1, 1, 1, 3, 11}},
  {5, 14, {1, 3, 5, 5, 31}},
  {6, 1, {1, 3, 3, 9, 7, 49}},
  {6, 13, {1, 1, 1, 15, 21, 21}},
  {6, 16, {1, 3, 1, 13, 27, 49}},
  {6, 19, {1, 1, 1, 15, 7, 5}},
  {6, 22, {1, 3, 1, 15, 13, 25}},
  {6, 25, {1, 1, 5, 5, 19, 61}},
  {7, 1, {1, 3, 7, 11, 23, 15, 103}},
  {7, 4, {1, 3, 7, 13, 13, 15, 69}},
  {7, 7, {1, 1, 3, 13, 7, 35, 63}},
  {7, 8, {1, 3, 5, 9, 1, 25, 53}},
  {7, 14, {1, 3, 1, 13, 9, 35, 107}},
  {7, 19, {1, 3, 1, 5, 27, 61, 31}},
  {7, 21, {1, 1, 5, 11, 19, 41, 61}},
  {7, 28, {1, 3, 5, 3, 3, 13, 69}},
  {7, 31, {1, 1, 7, 13, 1, 19, 1}},
  {7, 32, {1, 3, 7, 5, 13, 19, 59}},
  {7, 37, {1, 1, 3, 9, 25, 29, 41}},
  {7, 41, {1, 3, 5, 13, 23, 1, 55}},
};

// Product of polynomials over GF(2) modulo p of degree s.
std::uint64_t MulMod(std::uint64_t iA, std::uint64_t iB, std::uint64_t iP, std::uint32_t iS)
{
  std::uint64_t r = 0;
  for (; iB; iB >>= 1)
  {
    if (iB & 1)
      r ^= iA;
    iA <<= 1;
    if ((iA >> iS) & 1)
      iA ^= iP;
  }
  return r;
}

bool XPowerIsOne(std::uint64_t iE, std::uint64_t iP, std::uint32_t iS)
{
  std::uint64_t r = 1, x = 2;
  for (; iE; iE >>= 1, x = MulMod(x, x, iP, iS))
    if (iE & 1)
      r = MulMod(r, x, iP, iS);
  return r == 1;
}

// p is primitive when x has order 2^s - 1 modulo p.
bool IsPrimitive(std::uint64_t iP, std::uint32_t iS)
{
  const std::uint64_t order = (1ull << iS) - 1;
  if (!XPowerIsOne(order, iP, iS))
    return false;
  std::uint64_t n = order;
  for (std::uint64_t q = 2; q * q <= n || n > 1; ++q)
  {
    if (q * q > n)
      q = n;
    if (n % q)
      continue;
    if (XPowerIsOne(order / q, iP, iS))
      return false;
    while (n % q == 0)
      n /= q;
  }
  return true;
}

void Directions(std::uint32_t iS, std::uint32_t iA, const std::uint32_t* ipM, std::uint32_t* opV)
{
  for (std::uint32_t k = 0; k < 32; ++k)
  {
    if (k < iS)
    {
      opV[k] = ipM[k] << (31 - k);
      continue;
    }
    std::uint32_t v = opV[k - iS] ^ (opV[k - iS] >> iS);
    for (std::uint32_t l = 1; l < iS; ++l)
      if ((iA >> (iS - 1 - l)) & 1)
        v ^= opV[k - l];
    opV[k] = v;
  }
}

std::uint32_t Parity(std::uint32_t iX)
{
  return static_cast<std::uint32_t>(__builtin_parity(iX));
}
} // namespace

QAVTasSobolSequence::QAVTasSobolSequence(std::size_t iDimensions)
  : _Dimensions(iDimensions), _Directions(32 * iDimensions)
{
  QAVTasRandomStream initial(0x5EED, 0);
  std::uint32_t s = 8, a = 0;
  for (std::size_t d = 0; d < iDimensions; ++d)
  {
    std::uint32_t* v = &_Directions[32 * d];
    if (d == 0)
    {
      for (std::uint32_t k = 0; k < 32; ++k)
        v[k] = 1u << (31 - k);
      continue;
    }
    if (d <= sizeof(kJoeKuo) / sizeof(kJoeKuo[0]))
    {
      const Primitive& p = kJoeKuo[d - 1];
      Directions(p.S, p.A, p.M, v);
      continue;
    }
    for (;; ++a)
    {
      if (a == (1u << (s - 1)))
        ++s, a = 0;
      if (IsPrimitive((1ull << s) | (static_cast<std::uint64_t>(a) << 1) | 1, s))
        break;
    }
    std::uint32_t m[32];
    for (std::uint32_t k = 0; k < s; ++k)
      m[k] = static_cast<std::uint32_t>(initial.Next() & ((1ull << (k + 1)) - 1)) | 1u;
    Directions(s, a++, m, v);
  }
}

QAVTasSobolSequence::Scrambling QAVTasSobolSequence::Scramble(std::uint64_t iSeed, std::uint64_t iStream) const
{
  QAVTasRandomStream random(iSeed, iStream);
  Scrambling result;
  result.Directions.resize(_Directions.size());
  std::uint32_t rows[32];
  for (std::size_t d = 0; d < _Dimensions; ++d)
  {
    // Row of output digit p (bit p, 31 the most significant): the digit itself and a random
    // subset of the more significant ones.
    for (std::uint32_t p = 0; p < 32; ++p)
      rows[p] = (1u << p) | (p == 31 ? 0u : static_cast<std::uint32_t>(random.Next()) & (~0u << (p + 1)));
    for (std::uint32_t k = 0; k < 32; ++k)
    {
      std::uint32_t out = 0;
      for (std::uint32_t p = 0; p < 32; ++p)
        out |= Parity(_Directions[32 * d + k] & rows[p]) << p;
      result.Directions[32 * d + k] = out;
    }
    result.Shift.push_back(random.Next());
  }
  return result;
}

void QAVTasSobolSequence::Fill(const Scrambling& iScrambling, std::size_t iDim, std::uint64_t iFirst,
                               std::size_t iCount, double* opU)
{
  const std::uint32_t* v = &iScrambling.Directions[32 * iDim];
  const std::uint64_t shift = iScrambling.Shift[iDim];
  std::uint32_t x = 0;
  for (std::uint64_t gray = iFirst ^ (iFirst >> 1), k = 0; gray; gray >>= 1, ++k)
    if (gray & 1)
      x ^= v[k];
  for (std::size_t i = 0; i < iCount; ++i)
  {
    opU[i] = (static_cast<double>(((static_cast<std::uint64_t>(x) << 32) ^ shift) >> 11) + 0.5) * 0x1.0p-53;
    if (i + 1 < iCount)
      x ^= v[__builtin_ctzll(iFirst + i + 1)];
  }
}

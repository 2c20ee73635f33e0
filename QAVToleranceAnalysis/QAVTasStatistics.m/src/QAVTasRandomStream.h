#ifndef QAVTasRandomStream_H
#define QAVTasRandomStream_H

#include <cstdint>

// xoshiro256** seeded through splitmix64 from a (seed, stream) pair, so that every block of
// samples draws its own stream whatever thread runs it. Uniform() is in (0, 1): never 0 or 1,
// so it can go through an inverse distribution function.
class QAVTasRandomStream
{
public:
  QAVTasRandomStream(std::uint64_t iSeed, std::uint64_t iStream)
  {
    std::uint64_t x = iSeed ^ (iStream * 0xD1B54A32D192ED03ull);
    for (std::uint64_t& s : _S)
      s = SplitMix(x);
  }

  std::uint64_t Next()
  {
    const std::uint64_t result = Rotl(_S[1] * 5, 7) * 9, t = _S[1] << 17;
    _S[2] ^= _S[0];
    _S[3] ^= _S[1];
    _S[1] ^= _S[2];
    _S[0] ^= _S[3];
    _S[2] ^= t;
    _S[3] = Rotl(_S[3], 45);
    return result;
  }

  double Uniform() { return (static_cast<double>(Next() >> 11) + 0.5) * 0x1.0p-53; }

private:
  static std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  static std::uint64_t SplitMix(std::uint64_t& ioX)
  {
    std::uint64_t z = (ioX += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  std::uint64_t _S[4];
};

#endif

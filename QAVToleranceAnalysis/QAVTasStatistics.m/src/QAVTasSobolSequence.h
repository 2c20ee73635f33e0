#ifndef QAVTasSobolSequence_H
#define QAVTasSobolSequence_H

#include <cstddef>
#include <cstdint>
#include <vector>

// Scrambled Sobol points, coordinate by coordinate, for QAVTasYieldEstimator.
//
// Coordinate d of point n is the XOR of the direction numbers v_dk over the bits k of the Gray code
// of n, so consecutive points differ by one direction number. The first coordinate is van der
// Corput's; the next 30 use the primitive polynomials and initial numbers of Joe and Kuo (2008,
// "new-joe-kuo-6.21201"); beyond them, primitive polynomials of degree 8 and up are found by
// testing the order of x, with odd initial numbers from a fixed stream.
//
// A scrambling (Matousek's linear scrambling with a digital shift) multiplies every direction
// number, as a vector of 32 binary digits, by a random lower-triangular matrix with unit diagonal
// and XORs each point with a random 64-bit shift. Scrambled points keep the net structure and are
// each uniform on (0, 1), so independent scramblings give independent unbiased estimates.
class QAVTasSobolSequence
{
public:
  struct Scrambling
  {
    std::vector<std::uint32_t> Directions; // 32 per coordinate
    std::vector<std::uint64_t> Shift;      // one per coordinate
  };

  explicit QAVTasSobolSequence(std::size_t iDimensions);

  Scrambling Scramble(std::uint64_t iSeed, std::uint64_t iStream) const;
  // Coordinate iDim of points iFirst, ..., iFirst + iCount - 1 (iFirst + iCount <= 2^32), in (0, 1).
  static void Fill(const Scrambling& iScrambling, std::size_t iDim, std::uint64_t iFirst, std::size_t iCount,
                   double* opU);

private:
  std::size_t _Dimensions;
  std::vector<std::uint32_t> _Directions; // 32 per coordinate
};

#endif

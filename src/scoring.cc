#include "scoring.h"

#include <cstddef>

// The expected statistics of each benchmark, a line a scoring group:
// instructions, cycles, CPI; unique PCs; the ALU, LD, ST, CBR and OTHER
// counts; the same five as percentages.
// clang-format off
const StatVector kReferenceLibq = {
    10000000, 15454546, 1.545,
    9,
    3636363, 1818182, 1818182, 909091, 1818182,
    36.364, 18.182, 18.182, 9.091, 18.182,
};
const StatVector kReferenceBzip2 = {
    10000000, 18227596, 1.823,
    764,
    917623, 4975348, 1159778, 1046235, 1901016,
    9.176, 49.753, 11.598, 10.462, 19.01,
};
const StatVector kReferenceMcf = {
    10000000, 18964224, 1.896,
    524,
    1653889, 4736164, 1128012, 1550024, 931911,
    16.539, 47.362, 11.28, 15.5, 9.319,
};
const StatVector kReferenceGcc = {
    10000000, 18536679, 1.854,
    820,
    1251981, 4165105, 2441200, 965187, 1176527,
    12.52, 41.651, 24.412, 9.652, 11.765,
};
// clang-format on

namespace {

// The band is the closed interval between these multiples of the
// reference, each product taken in double precision with nothing added.
constexpr double kBandLow = 0.99;
constexpr double kBandHigh = 1.01;

// 1 when positions first to last are all in band; a NaN fails every
// comparison and so the whole group.
int groupInBand(const StatVector &results, const StatVector &reference,
                std::size_t first, std::size_t last) {
  for (std::size_t i = first; i <= last; ++i) {
    if (!(results[i] <= kBandHigh * reference[i] &&
          results[i] >= kBandLow * reference[i])) {
      return 0;
    }
  }
  return 1;
}

}  // namespace

void compareResults(const StatVector &results, const StatVector &reference,
                    int *totalsMatch, int *uniquePcMatch, int *mixMatch) {
  *totalsMatch = groupInBand(results, reference, 0, 2);
  *uniquePcMatch = groupInBand(results, reference, 3, 3);
  *mixMatch = groupInBand(results, reference, 4, 13);
}

double calscore(int first, int second, int third) {
  double score = 0.0;
  if (first) score += 0.25;
  if (second) score += 0.5;
  if (third) score += 0.5;
  return score;
}

#include "scoring.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const StatVector *const kReferences[] = {&kReferenceLibq, &kReferenceBzip2,
                                         &kReferenceMcf, &kReferenceGcc};

struct Flags {
  int totals, uniquePc, mix;
};

Flags compare(const StatVector &results, const StatVector &reference) {
  Flags f{-1, -1, -1};
  compareResults(results, reference, &f.totals, &f.uniquePc, &f.mix);
  return f;
}

double score(const Flags &f) { return calscore(f.mix, f.totals, f.uniquePc); }

// A position out of band clears its own group's flag and no other.
TEST(ScoringTest, EachPositionFailsOnlyItsGroup) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const StatVector *reference : kReferences) {
    for (std::size_t i = 0; i < kStatCount; ++i) {
      for (double factor : {0.98, 1.02, nan}) {
        StatVector results = *reference;
        results[i] *= factor;
        Flags f = compare(results, *reference);
        EXPECT_EQ(f.totals, i <= 2 ? 0 : 1) << "position " << i;
        EXPECT_EQ(f.uniquePc, i == 3 ? 0 : 1) << "position " << i;
        EXPECT_EQ(f.mix, i >= 4 ? 0 : 1) << "position " << i;
        EXPECT_EQ(score(f), i >= 4 ? 1.0 : 0.75) << "position " << i;
      }
    }
  }
}

TEST(ScoringTest, BandEdges) {
  struct Row {
    const StatVector &reference;
    std::size_t position;
    double value;
    bool inBand;
  } rows[] = {
      {kReferenceLibq, 0, 9900000, true},  {kReferenceLibq, 0, 10100000, true},
      {kReferenceLibq, 0, 9899999, false}, {kReferenceLibq, 0, 10100001, false},
      {kReferenceLibq, 3, 8, false},       {kReferenceLibq, 3, 9, true},
      {kReferenceLibq, 3, 10, false},      {kReferenceLibq, 3, 8.91, true},
      {kReferenceBzip2, 3, 756, false},    {kReferenceBzip2, 3, 757, true},
      {kReferenceBzip2, 3, 771, true},     {kReferenceBzip2, 3, 772, false},
      {kReferenceGcc, 3, 811.8, true},     {kReferenceGcc, 3, 828.2, true},
      {kReferenceMcf, 2, 1.877, false},    {kReferenceMcf, 2, 1.87704, true},
      {kReferenceGcc, 10, 41.2344, false}, {kReferenceGcc, 10, 41.2345, true},
  };
  for (const Row &r : rows) {
    StatVector results = r.reference;
    results[r.position] = r.value;
    Flags f = compare(results, r.reference);
    int groupFlag = r.position <= 2   ? f.totals
                    : r.position == 3 ? f.uniquePc
                                      : f.mix;
    EXPECT_EQ(groupFlag, r.inBand ? 1 : 0)
        << "position " << r.position << ", value " << r.value;
  }
}

TEST(ScoringTest, Weights) {
  struct Row {
    int first, second, third;
    double score;
  } rows[] = {
      {0, 0, 0, 0.0}, {1, 0, 0, 0.25}, {0, 1, 0, 0.5},
      {0, 0, 1, 0.5}, {1, 1, 0, 0.75}, {1, 0, 1, 0.75},
      {0, 1, 1, 1.0}, {1, 1, 1, 1.25}, {7, -1, 2, 1.25},
  };
  for (const Row &r : rows) {
    EXPECT_EQ(calscore(r.first, r.second, r.third), r.score)
        << r.first << " " << r.second << " " << r.third;
  }
}

}  // namespace

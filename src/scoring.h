// Grading of one benchmark: its results vector against its reference
// vector, position by position, each within 1 % of the reference.
#ifndef GRADE_SCORING_H_
#define GRADE_SCORING_H_

#include "stat_vector.h"

extern const StatVector kReferenceLibq;
extern const StatVector kReferenceBzip2;
extern const StatVector kReferenceMcf;
extern const StatVector kReferenceGcc;

// Sets each flag to 1 when every position of its group is in band, else 0:
// run totals (0-2), unique PCs (3), instruction mix (4-13). A NaN is never
// in band.
void compareResults(const StatVector &results, const StatVector &reference,
                    int *totalsMatch, int *uniquePcMatch, int *mixMatch);

// The score that the flags earn: 0.25 for the first, 0.5 each for the
// second and third. The run passes (mixMatch, totalsMatch, uniquePcMatch).
double calscore(int first, int second, int third);

#endif  // GRADE_SCORING_H_

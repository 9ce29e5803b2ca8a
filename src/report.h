// The statistics table: the measured values of the four benchmarks, a
// column each, for the user to set beside the score.
#ifndef GRADE_REPORT_H_
#define GRADE_REPORT_H_

#include "stat_vector.h"

// Writes the header and seven rows to standard output. Each line begins
// with its own line feed and none ends the last row.
void printStatsTable(const StatVector &libq, const StatVector &bzip2,
                     const StatVector &mcf, const StatVector &gcc);

#endif  // GRADE_REPORT_H_
